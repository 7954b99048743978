// RunMonitor: executes a run's script on a thread of its own while the
// window's event loop keeps turning, tells the window how far the run has
// come, and cancels it on request. The engine waits through it (it is the
// run's ScriptExecutor); the script service reports progress to it from
// its own threads.
#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <string>

#include "engine/script_service.h"

namespace morvane {

class RunMonitor : public QObject, public ScriptExecutor {
  Q_OBJECT
 public:
  explicit RunMonitor(QObject* parent = nullptr) : QObject(parent) {}

  // Runs script.execute on another thread; returns when it has ended,
  // turning the event loop meanwhile. Whatever the script throws ends the
  // run as an error carrying its message.
  bool execute(Script& script, ScriptError* error) override;

  bool running() const { return running_; }
  // How the last script ended: executed to the end, or cancelled.
  bool lastSucceeded() const { return lastSucceeded_; }
  bool lastCancelled() const { return lastCancelled_; }
  ScriptCancellation& cancellation() { return cancellation_; }

  // From any thread: `opened` of `total` documents opened, the last one
  // at `document`.
  void report(std::size_t opened, std::size_t total, const std::string& document);

 public slots:
  // Ends the running script as soon as it can; nothing when none runs.
  void cancel();

 signals:
  void started();
  // "Converting `opened` of `total`", the document's file name.
  void progressed(int opened, int total, const QString& document);
  void finished();

 private:
  ScriptCancellation cancellation_;
  std::atomic<bool> running_{false};
  bool lastSucceeded_ = false;
  bool lastCancelled_ = false;
};

}  // namespace morvane
