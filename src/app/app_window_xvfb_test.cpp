// The application's window on a real X server (run under xvfb-run): it is
// shown, closing it ends the application, and so does a termination
// signal while an alert waits for an answer.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMainWindow>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <csignal>

#include "app/app_delegate.h"
#include "app/qt_alert_service.h"
#include "app/termination_signals.h"
#include "testing/qt_helpers.h"
#include "testing/recording_fakes.h"
#include "testing/temp_dir.h"
#include "testing/ui_fakes.h"

namespace morvane {
namespace {

TEST(AppWindowTest, ClosingTheWindowQuitsTheApplication) {
  ASSERT_EQ(QGuiApplication::platformName(), "xcb");
  testing::RecordingEnv env;
  testing::FixedSystemVersion version({25, 0, 0});
  testing::FakeScriptService scripts;
  testing::FakeAlertService alerts;
  testing::FakeOpenPanel panel;
  AppDelegate delegate({env, version, scripts, alerts, panel,
                        [] { return std::make_unique<testing::CountingUpdates>(); },
                        testing::plainContent});
  delegate.setUpMainWindow();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(delegate.window()));
  EXPECT_GE(delegate.window()->width(), 800);

  bool quitByClosing = true;
  QTimer::singleShot(0, delegate.window(), [&] { delegate.window()->close(); });
  QTimer::singleShot(10000, [&] {
    quitByClosing = false;
    QCoreApplication::exit(1);
  });
  EXPECT_EQ(QApplication::exec(), 0);
  EXPECT_TRUE(quitByClosing);
  EXPECT_FALSE(delegate.window()->isVisible());
}

TEST(AppWindowTest, ATerminationSignalClosesTheAlertAndEndsTheApplication) {
  testing::TempDir tmp;
  testing::RecordingEnv env;
  testing::FixedSystemVersion version({25, 0, 0});
  testing::FakeScriptService scripts;
  QtAlertService alerts;
  testing::FakeOpenPanel panel;
  AppDelegate delegate({env, version, scripts, alerts, panel,
                        [] { return std::make_unique<testing::CountingUpdates>(); },
                        testing::plainContent});
  delegate.setUpMainWindow();
  alerts.setParentWindow(delegate.window());
  delegate.options().addFile(tmp.write("in/Report.pages"));
  delegate.options().setTargetFolder(tmp.mkdir("out"));
  TerminationSignals termination;
  endOnTermination(termination, delegate, alerts);

  // "Before we start conversion" is on the screen when the signal comes.
  bool exposed = false;
  testing::whenModal<QMessageBox>([&exposed](QMessageBox* box) {
    exposed = QTest::qWaitForWindowExposed(box);
    ::raise(SIGTERM);
  });
  QTimer::singleShot(0, &delegate, &AppDelegate::runConversion);
  QTimer guard;
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(-1); });
  guard.start(15000);
  EXPECT_EQ(QApplication::exec(), 0);
  EXPECT_TRUE(exposed);
  EXPECT_TRUE(scripts.executed.empty());  // answered as Cancel
  for (QWidget* window : QApplication::topLevelWidgets()) {
    EXPECT_FALSE(qobject_cast<QMessageBox*>(window) != nullptr && window->isVisible());
  }
}

}  // namespace
}  // namespace morvane
