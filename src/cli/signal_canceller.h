// SignalCanceller: SIGINT, SIGTERM and SIGHUP end a run of the command
// line the way Cancel does: the first one cancels the run (its walk stops
// between two items, a copy under way is stopped and removed, the script's
// workers end at once; what has landed stays) and says so in one line; the
// program then exits with 128 + the signal. Later ones are absorbed while
// the run cleans up. Only where nothing is in flight (a stretch of
// interruptible(): a question waiting for its answer, the scan of the
// folders given) does a signal end the program at once. A signal the process was started ignoring (`nohup
// morvane-cli …`) stays ignored. Make it before any other thread is started.
#pragma once

#include <atomic>
#include <csignal>
#include <iosfwd>
#include <thread>

#include "cli/interruptible.h"
#include "engine/script_service.h"

namespace morvane {

class SignalCanceller {
 public:
  SignalCanceller(ScriptCancellation& cancellation, std::ostream& err);
  ~SignalCanceller();
  SignalCanceller(const SignalCanceller&) = delete;
  SignalCanceller& operator=(const SignalCanceller&) = delete;

  // The signal that cancelled the run, or 0.
  int signal() const { return signal_; }

  // Where a signal ends the program at once.
  Interruptible& interruptible() { return interruptible_; }

 private:
  void watch();
  void handle(int signal);

  ScriptCancellation& cancellation_;
  std::ostream& err_;
  Interruptible interruptible_;
  sigset_t signals_;
  std::atomic<int> signal_{0};
  std::atomic<bool> stopping_{false};
  std::thread watcher_;
};

}  // namespace morvane
