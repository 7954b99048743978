#include "app/run_monitor.h"

#include <QEventLoop>
#include <QFileInfo>
#include <exception>
#include <string>
#include <thread>

namespace morvane {

namespace {

// Nothing thrown leaves the run's thread: it ends the run as an error
// carrying its message.
bool executeCatching(Script& script, ScriptError* error) {
  std::string what;
  try {
    return script.execute(error);
  } catch (const std::exception& e) {
    what = e.what();
  } catch (...) {
    what = "unknown exception";
  }
  *error = ScriptError{};
  error->info = {{"message", "the conversion stopped on an unexpected error: " + what}};
  return false;
}

}  // namespace

bool RunMonitor::execute(Script& script, ScriptError* error) {
  running_ = true;
  emit started();
  QEventLoop loop;
  bool executed = false;
  std::thread worker([&] {
    executed = executeCatching(script, error);
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  });
  loop.exec();
  worker.join();
  running_ = false;
  lastSucceeded_ = executed;
  lastCancelled_ = !executed && error->cancelled;
  emit finished();
  return executed;
}

void RunMonitor::report(std::size_t opened, std::size_t total, const std::string& document) {
  const QString name = QFileInfo(QString::fromStdString(document)).fileName();
  QMetaObject::invokeMethod(
      this, [this, opened, total, name] {
        emit progressed(static_cast<int>(opened), static_cast<int>(total), name);
      },
      Qt::QueuedConnection);
}

void RunMonitor::cancel() {
  if (running_) cancellation_.cancel();
}

}  // namespace morvane
