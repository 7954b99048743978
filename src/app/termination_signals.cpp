#include "app/termination_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <atomic>
#include <cerrno>
#include <csignal>

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

void handleWith(void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int s : kSignals) sigaction(s, &action, nullptr);
}

}  // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {
  if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) return;  // signals keep their defaults
  gWriteEnd = pipe_[1];
  notifier_ = new QSocketNotifier(pipe_[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &TerminationSignals::readSignal);
  handleWith(onSignal);
}

TerminationSignals::~TerminationSignals() {
  if (pipe_[0] < 0) return;
  handleWith(SIG_DFL);
  gWriteEnd = -1;
  delete notifier_;
  ::close(pipe_[0]);
  ::close(pipe_[1]);
}

void TerminationSignals::readSignal() {
  unsigned char byte = 0;
  if (::read(pipe_[0], &byte, 1) != 1) return;
  handleWith(SIG_DFL);
  notifier_->setEnabled(false);
  emit received(byte);
}

}  // namespace morvane
