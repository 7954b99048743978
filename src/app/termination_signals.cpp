#include "app/termination_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <iterator>

namespace morvane {
namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

// The handler's only way out: the write end of the pipe.
std::atomic<int> gWriteEnd{-1};

void onSignal(int signal) {
  const int saved = errno;
  const auto byte = static_cast<unsigned char>(signal);
  if (::write(gWriteEnd.load(), &byte, 1) < 0) {
    // The pipe is full: a signal is waiting to be read already.
  }
  errno = saved;
}

}  // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {
  for (std::size_t i = 0; i < std::size(kSignals); ++i) {
    sigaction(kSignals[i], nullptr, &before_[i]);
  }
  if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) return;  // signals keep their handling
  gWriteEnd = pipe_[1];
  notifier_ = new QSocketNotifier(pipe_[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &TerminationSignals::readSignal);
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (std::size_t i = 0; i < std::size(kSignals); ++i) {
    if (before_[i].sa_handler != SIG_IGN) sigaction(kSignals[i], &action, nullptr);
  }
}

TerminationSignals::~TerminationSignals() {
  if (pipe_[0] < 0) return;
  restore();
  gWriteEnd = -1;
  delete notifier_;
  ::close(pipe_[0]);
  ::close(pipe_[1]);
}

void TerminationSignals::restore() {
  for (std::size_t i = 0; i < std::size(kSignals); ++i) {
    sigaction(kSignals[i], &before_[i], nullptr);
  }
}

void TerminationSignals::readSignal() {
  unsigned char byte = 0;
  if (::read(pipe_[0], &byte, 1) != 1) return;
  restore();
  notifier_->setEnabled(false);
  emit received(byte);
}

}  // namespace morvane
