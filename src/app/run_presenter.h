// RunPresenter: shows a run while it goes on and as it ends: in the window
// title ("Morvane – 12 of 240"), in the content view, in the desktop's
// launcher entry, and in a desktop notification after a long run that ends
// while the window is not active.
#pragma once

#include <QObject>
#include <QString>
#include <chrono>

#include "engine/run_report.h"

class QMainWindow;
class QWidget;

namespace morvane {

class AppDelegate;
class DesktopProgress;
class RunMonitor;

class RunPresenter : public QObject {
  Q_OBJECT
 public:
  // `delegate` outlives the presenter; `desktop` too, where there is one.
  RunPresenter(AppDelegate& delegate, DesktopProgress* desktop);

  // Follows the delegate's runs in `window` and in `content` (when it is a
  // ContentView); both belong to the main window.
  void follow(QMainWindow* window, QWidget* content);

  // A run longer than this that ends while the window is not active is
  // told in a desktop notification.
  void setNotifyAfter(std::chrono::milliseconds after) { notifyAfter_ = after; }

 private:
  void showRunInTitle();
  void showRunInContent(QWidget* content);
  void showRunOnDesktop();
  void notifyEnd(RunOutcome outcome);

  AppDelegate& delegate_;
  RunMonitor& monitor_;
  DesktopProgress* desktop_;
  QMainWindow* window_ = nullptr;
  std::chrono::milliseconds notifyAfter_{10'000};
  std::chrono::steady_clock::time_point runStarted_;
};

}  // namespace morvane
