#include "cli/signal_canceller.h"

#include <pthread.h>

#include <cstdlib>
#include <cstring>
#include <ostream>

namespace morvane {

SignalCanceller::SignalCanceller(ScriptCancellation& cancellation, std::ostream& err)
    : cancellation_(cancellation), err_(err) {
  sigemptyset(&signals_);
  for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&signals_, s);
  // Blocked here, so in every thread started later: they come to watch().
  pthread_sigmask(SIG_BLOCK, &signals_, nullptr);
  watcher_ = std::thread([this] { watch(); });
}

SignalCanceller::~SignalCanceller() {
  stopping_ = true;
  watcher_.join();
}

void SignalCanceller::watch() {
  const timespec pause{0, 100'000'000};
  while (!stopping_) {
    const int s = sigtimedwait(&signals_, nullptr, &pause);
    if (s <= 0) continue;
    if (signal_ != 0) {
      // While the run cleans up a second signal changes nothing; once it
      // has (a question may wait at the end), it ends the program.
      if (!cancellation_.running()) std::_Exit(128 + signal_);
      continue;
    }
    const char* name = sigabbrev_np(s);
    if (!cancellation_.running()) {
      err_ << "\nmorvane-cli: SIG" << name << " received; stopping" << std::endl;
      std::_Exit(128 + s);
    }
    signal_ = s;
    err_ << "\nmorvane-cli: SIG" << name
         << " received; cancelling the run (what is converted stays)" << std::endl;
    cancellation_.cancel();
  }
}

}  // namespace morvane
