// SignalCanceller: SIGINT, SIGTERM and SIGHUP end a run of the command
// line the way Cancel does: the first one cancels the running script (its
// workers end at once, what has landed stays) and says so in one line;
// later ones are absorbed while the run cleans up. Between runs of the
// script (planning, a question) there is nothing to clean up and the
// program ends at once. Make it before any other thread is started.
#pragma once

#include <atomic>
#include <csignal>
#include <iosfwd>
#include <thread>

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

 private:
  void watch();

  ScriptCancellation& cancellation_;
  std::ostream& err_;
  sigset_t signals_;
  std::atomic<int> signal_{0};
  std::atomic<bool> stopping_{false};
  std::thread watcher_;
};

}  // namespace morvane
