#include "app/run_presenter.h"

#include <QApplication>
#include <QMainWindow>

#include "app/app_delegate.h"
#include "app/desktop_progress.h"
#include "app/run_monitor.h"
#include "views/content_view.h"

namespace morvane {

RunPresenter::RunPresenter(AppDelegate& delegate, DesktopProgress* desktop)
    : delegate_(delegate), monitor_(delegate.runMonitor()), desktop_(desktop) {}

void RunPresenter::follow(QMainWindow* window, QWidget* content) {
  window_ = window;
  showRunInTitle();
  showRunInContent(content);
  showRunOnDesktop();
}

// "Morvane – 12 of 240" while a run goes on.
void RunPresenter::showRunInTitle() {
  window_->setWindowTitle(QApplication::applicationName());
  connect(&monitor_, &RunMonitor::progressed, window_,
          [this](int opened, int total) {
            window_->setWindowTitle(
                tr("%1 – %2 of %3", "Window title while converting: the application, the "
                                    "document being converted, how many there are")
                    .arg(QApplication::applicationName())
                    .arg(opened)
                    .arg(total));
          });
  connect(&monitor_, &RunMonitor::finished, window_,
          [this] { window_->setWindowTitle(QApplication::applicationName()); });
}

// The content view (when it is the window's own) follows the run.
void RunPresenter::showRunInContent(QWidget* contentView) {
  auto* content = qobject_cast<ContentView*>(contentView);
  if (content == nullptr) return;
  connect(&monitor_, &RunMonitor::started, content, &ContentView::showRunStarted);
  connect(&monitor_, &RunMonitor::progressed, content, &ContentView::showRunProgress);
  connect(&monitor_, &RunMonitor::finished, content, &ContentView::showRunEnded);
  connect(&delegate_, &AppDelegate::lastRunChanged, content, &ContentView::showLastRun);
}

// The launcher entry follows the run; it starts the clock of the
// notification at its end.
void RunPresenter::showRunOnDesktop() {
  connect(&monitor_, &RunMonitor::started, this,
          [this] { runStarted_ = std::chrono::steady_clock::now(); });
  // Told as the script ends, before the window's own alert asks for the user.
  connect(&monitor_, &RunMonitor::finished, this, [this] {
    notifyEnd(monitor_.lastSucceeded()   ? RunOutcome::succeeded
              : monitor_.lastCancelled() ? RunOutcome::cancelled
                                            : RunOutcome::failed);
  });
  if (desktop_ == nullptr) return;
  DesktopProgress& desktop = *desktop_;
  connect(&monitor_, &RunMonitor::progressed, this, [&desktop](int opened, int total) {
    desktop.showProgress(total > 0 ? static_cast<double>(opened) / total : 0);
  });
  connect(&monitor_, &RunMonitor::finished, this, [&desktop] { desktop.hideProgress(); });
}

void RunPresenter::notifyEnd(RunOutcome outcome) {
  if (desktop_ == nullptr || delegate_.terminating() ||
      runStarted_ == std::chrono::steady_clock::time_point() ||
      std::chrono::steady_clock::now() - runStarted_ < notifyAfter_ ||
      (window_ && window_->isActiveWindow())) {
    runStarted_ = {};
    return;
  }
  runStarted_ = {};
  const QString summary =
      outcome == RunOutcome::succeeded ? tr("Conversion finished", "Desktop notification")
      : outcome == RunOutcome::cancelled ? tr("Conversion cancelled", "Desktop notification")
                                         : tr("Conversion failed", "Desktop notification");
  desktop_->notify(summary, tr("Morvane has ended the conversion.",
                                        "Desktop notification text after a long run"));
}

}  // namespace morvane
