#include "cli/signal_canceller.h"

#include <pthread.h>

#include <cstdlib>
#include <cstring>
#include <ostream>

namespace morvane {

SignalCanceller::SignalCanceller(ScriptCancellation& cancellation, std::ostream& err)
    : cancellation_(cancellation), err_(err) {
  sigemptyset(&signals_);
  for (int s : {SIGINT, SIGTERM, SIGHUP}) {
    // An ignored signal is left as it is: blocked, it would wait pending
    // for watch() to take it.
    struct sigaction before {};
    if (sigaction(s, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
    sigaddset(&signals_, s);
  }
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
    if (s > 0) handle(s);
  }
}

void SignalCanceller::handle(int s) {
  const int first = signal_ != 0 ? signal_.load() : s;
  interruptible_.endIfInside([&] {
    err_ << "\nmorvane-cli: SIG" << sigabbrev_np(s) << " received; stopping" << std::endl;
    std::_Exit(128 + first);
  });
  if (signal_ != 0) return;  // the run is cleaning up already
  signal_ = s;
  err_ << "\nmorvane-cli: SIG" << sigabbrev_np(s)
       << " received; cancelling the run (what is converted stays)" << std::endl;
  cancellation_.cancel();
}

}  // namespace morvane
