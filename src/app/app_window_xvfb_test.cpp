// The application's window on a real X server (run under xvfb-run): it is
// shown, and closing it ends the application.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMainWindow>
#include <QTest>
#include <QTimer>

#include "app/app_delegate.h"
#include "testing/recording_fakes.h"
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
  delegate.applicationDidFinishLaunching();
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

}  // namespace
}  // namespace morvane
