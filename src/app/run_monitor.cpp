#include "app/run_monitor.h"

#include <QEventLoop>
#include <QFileInfo>
#include <thread>

namespace morvane {

bool RunMonitor::execute(Script& script, ScriptError* error) {
  running_ = true;
  emit started();
  QEventLoop loop;
  bool executed = false;
  std::thread worker([&] {
    executed = script.execute(error);
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
