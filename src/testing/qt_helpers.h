// Helpers for widget tests: answering the modal dialog that a call is about
// to open, and letting queued work run.
#pragma once

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace morvane::testing {

// Runs `answer` on the first modal widget that appears (the dialog the
// next call opens), checking every few milliseconds.
template <typename Dialog>
void whenModal(std::function<void(Dialog*)> answer) {
  auto* timer = new QTimer;
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, [timer, answer] {
    if (auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget())) {
      timer->stop();
      timer->deleteLater();
      answer(dialog);
    }
  });
  timer->start();
}

// Runs the event loop until `done` holds, for at most `ms` milliseconds.
inline bool waitFor(const std::function<bool()>& done, int ms = 5000) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}

// Lets the work queued on the event loop run.
inline void runQueued() {
  for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
}

}  // namespace morvane::testing
