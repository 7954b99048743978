// LaneProcess: the worker process that one lane of the pool sends its
// statements to. It is started when a statement first needs it, and
// replaced between documents once it has served its share of them or
// holds more memory than allowed, since LibreOffice keeps a little of
// every document it loads.
#pragma once

#include <cstddef>
#include <memory>

#include "office/office_worker.h"
#include "platform/status.h"

namespace morvane {

class LaneProcess {
 public:
  // `running` (may be null) learns of every process started, so that a
  // cancel reaches it.
  LaneProcess(const OfficeConfig& config, RunningWorkers* running)
      : config_(config), running_(running) {}
  // The process, if any, is ended with the lane.

  // Starts a process when there is none; a cancel reaches it while it starts.
  Status ensureStarted();

  // The process now serving the lane; null before the first start and
  // between documents once it was let go.
  OfficeWorker* current() const { return process_.get(); }
  RunningWorkers* running() const { return running_; }

  // A document has ended with nothing of it left open.
  void documentServed();

  // A process that has ended is let go; the next statement starts another.
  void dropIfEnded();

  // Asks the process to quit and lets it go.
  Status quit();

  // Ends the process at once (after an unexpected error, its state is not
  // known); the next statement starts another.
  void drop() { process_.reset(); }

 private:
  bool heavy() const;

  const OfficeConfig& config_;
  RunningWorkers* running_;  // may be null
  std::unique_ptr<OfficeWorker> process_;
  std::size_t served_ = 0;  // documents the current process has served
};

}  // namespace morvane
