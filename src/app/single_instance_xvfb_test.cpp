// One Morvane per display, with the real program on a real X server (run
// under xvfb-run): a later `morvane FILE` hands the file to the running
// window and ends with 0, only one window exists, starts at the same
// moment end with one window, and SIGTERM leaves nothing behind. The
// windows are counted on the X server itself; the list's content is read
// where the receiving window lives in this process.
#include <unistd.h>
#include <xcb/xcb.h>

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QMainWindow>
#include <QProcess>
#include <memory>
#include <set>
#include <vector>

#include "app/app_delegate.h"
#include "app/open_request_handler.h"
#include "app/single_instance.h"
#include "testing/qt_helpers.h"
#include "testing/recording_fakes.h"
#include "testing/temp_dir.h"
#include "testing/ui_fakes.h"

#ifndef MORVANE_TEST_APP
#error "MORVANE_TEST_APP names the morvane program"
#endif

namespace morvane {
namespace {

namespace fs = std::filesystem;

QString q(const fs::path& p) { return QString::fromStdString(p.string()); }

// The top-level windows that are shown on the X server, whoever made them
// (on this private server only the programs of the test draw).
int shownWindows() {
  xcb_connection_t* x = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(x)) {
    xcb_disconnect(x);
    return -1;
  }
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x)).data->root;
  int shown = 0;
  if (xcb_query_tree_reply_t* tree = xcb_query_tree_reply(x, xcb_query_tree(x, root), nullptr)) {
    const xcb_window_t* children = xcb_query_tree_children(tree);
    for (int i = 0; i < xcb_query_tree_children_length(tree); ++i) {
      auto* attributes =
          xcb_get_window_attributes_reply(x, xcb_get_window_attributes(x, children[i]), nullptr);
      if (attributes != nullptr && attributes->map_state == XCB_MAP_STATE_VIEWABLE) ++shown;
      free(attributes);
    }
    free(tree);
  }
  xcb_disconnect(x);
  return shown;
}

class SingleInstanceXvfbTest : public ::testing::Test {
 protected:
  SingleInstanceXvfbTest() {
    runtime_ = tmp_.mkdir("run");
    fs::permissions(runtime_, fs::perms::owner_all);
    docs_ = tmp_.mkdir("docs");
    env_ = QProcessEnvironment::systemEnvironment();
    // A session of the test's own: its runtime folder, home and caches,
    // no session bus and no Wayland display of whoever runs the tests.
    env_.insert("XDG_RUNTIME_DIR", q(runtime_));
    env_.insert("HOME", q(tmp_.mkdir("home")));
    env_.insert("XDG_CACHE_HOME", q(tmp_.mkdir("home/.cache")));
    env_.insert("XDG_CONFIG_HOME", q(tmp_.mkdir("home/.config")));
    env_.insert("QT_QPA_PLATFORM", "xcb");
    env_.remove("WAYLAND_DISPLAY");
    env_.remove("DBUS_SESSION_BUS_ADDRESS");
    socket_ = socketPathFor({q(runtime_), {}, env_.value("DISPLAY"), geteuid(), q(tmp_.path())});
  }
  ~SingleInstanceXvfbTest() override {
    for (auto& p : processes_) {
      if (p->state() != QProcess::NotRunning) {
        p->kill();
        p->waitForFinished(5000);
      }
    }
  }

  QProcess& morvane(const QStringList& arguments) {
    processes_.push_back(std::make_unique<QProcess>());
    QProcess& p = *processes_.back();
    p.setProcessEnvironment(env_);
    p.setWorkingDirectory(q(docs_));
    p.start(QStringLiteral(MORVANE_TEST_APP), arguments);
    EXPECT_TRUE(p.waitForStarted(5000));
    return p;
  }
  // Waits for `p` to end, turning this process's event loop meanwhile
  // (the running instance may be this process).
  static bool ended(QProcess& p, int ms = 15000) {
    return testing::waitFor([&] { return p.state() == QProcess::NotRunning; }, ms);
  }
  bool windowsShown(int count) {
    return testing::waitFor([&] { return shownWindows() == count; }, 15000);
  }

  testing::TempDir tmp_;
  fs::path runtime_, docs_;
  QProcessEnvironment env_;
  QString socket_;
  std::vector<std::unique_ptr<QProcess>> processes_;
};

TEST_F(SingleInstanceXvfbTest, ASecondStartHandsOverAndEnds) {
  ASSERT_EQ(QGuiApplication::platformName(), "xcb");
  tmp_.write("docs/Report.pages");
  QProcess& first = morvane({});
  ASSERT_TRUE(windowsShown(1));
  ASSERT_TRUE(QFile::exists(socket_));

  QProcess& second = morvane({"Report.pages"});
  ASSERT_TRUE(ended(second));
  EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(second.exitCode(), 0);
  EXPECT_EQ(second.readAllStandardError(), "");
  EXPECT_EQ(shownWindows(), 1);

  // A missing file is named on the sender's terminal and in a warning
  // beside the first window; it is the only new window.
  QProcess& third = morvane({"Gone.pages"});
  ASSERT_TRUE(ended(third));
  EXPECT_EQ(third.exitCode(), 0);
  EXPECT_EQ(QString::fromLocal8Bit(third.readAllStandardError()),
            "morvane: " + q(docs_ / "Gone.pages") + ": no such file or folder\n");
  EXPECT_TRUE(windowsShown(2));

  // SIGTERM: a clean end, and the socket and its lock are gone.
  first.terminate();
  ASSERT_TRUE(ended(first));
  EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(first.exitCode(), 0);
  EXPECT_EQ(fs::directory_iterator(runtime_), fs::directory_iterator());
  EXPECT_TRUE(windowsShown(0));
}

TEST_F(SingleInstanceXvfbTest, TheRunningWindowListsWhatALaterStartHandsOver) {
  const auto report = tmp_.write("docs/Report.pages");
  const auto inFolder = tmp_.write("docs/folder/Sheet.numbers");
  // The running instance is this process, wired as the program wires it.
  testing::RecordingEnv env;
  testing::FixedSystemVersion version({25, 0, 0});
  testing::FakeScriptService scripts;
  testing::FakeAlertService alerts;
  testing::FakeOpenPanel panel;
  AppDelegate delegate({env, version, scripts, alerts, panel,
                        [] { return std::make_unique<testing::CountingUpdates>(); },
                        testing::plainContent});
  delegate.setUpMainWindow();
  SingleInstance instance(socket_);
  ASSERT_EQ(instance.start({}).role, SingleInstance::Role::primary);
  OpenRequestHandler handler(delegate);
  QObject::connect(&instance, &SingleInstance::openRequested, &handler, &OpenRequestHandler::serve);
  ASSERT_TRUE(windowsShown(1));
  delegate.window()->hide();
  ASSERT_TRUE(windowsShown(0));

  QProcess& second = morvane({"Report.pages", "folder"});
  ASSERT_TRUE(ended(second));
  EXPECT_EQ(second.exitCode(), 0);
  ASSERT_TRUE(testing::waitFor([&] { return delegate.options().fileList().size() == 2; }));
  EXPECT_EQ(delegate.options().fileList()[0].url, report);
  EXPECT_EQ(delegate.options().fileList()[1].url, inFolder);
  // The hidden window is shown again; no other window came.
  EXPECT_TRUE(windowsShown(1));
  EXPECT_TRUE(delegate.window()->isVisible());
}

TEST_F(SingleInstanceXvfbTest, StartsAtTheSameMomentEndWithOneWindow) {
  tmp_.write("docs/Report.pages");
  std::vector<QProcess*> starts;
  for (int i = 0; i < 3; ++i) starts.push_back(&morvane({"Report.pages"}));
  // Two hand over and end with 0; one keeps the window.
  ASSERT_TRUE(testing::waitFor(
      [&] {
        int ended = 0;
        for (QProcess* p : starts) ended += p->state() == QProcess::NotRunning;
        return ended == 2;
      },
      20000));
  QProcess* running = nullptr;
  for (QProcess* p : starts) {
    if (p->state() != QProcess::NotRunning) {
      running = p;
    } else {
      EXPECT_EQ(p->exitCode(), 0) << p->readAllStandardError().toStdString();
    }
  }
  ASSERT_NE(running, nullptr);
  EXPECT_TRUE(windowsShown(1));
  running->terminate();
  ASSERT_TRUE(ended(*running));
  EXPECT_EQ(running->exitCode(), 0);
  EXPECT_FALSE(QFile::exists(socket_));
}

TEST_F(SingleInstanceXvfbTest, HelpAndVersionNeedNoDisplayUsageErrorsSayWhatIsWrong) {
  env_.remove("DISPLAY");
  QProcess& version = morvane({"--version"});
  ASSERT_TRUE(ended(version));
  EXPECT_EQ(version.exitCode(), 0);
  EXPECT_TRUE(version.readAllStandardOutput().startsWith("Morvane "));
  QProcess& help = morvane({"-h"});
  ASSERT_TRUE(ended(help));
  EXPECT_EQ(help.exitCode(), 0);
  EXPECT_TRUE(help.readAllStandardOutput().startsWith("Usage: morvane [options] [FILE"));

  env_.insert("DISPLAY", qEnvironmentVariable("DISPLAY"));
  QProcess& wrong = morvane({"--bogus", "Report.pages"});
  ASSERT_TRUE(ended(wrong));
  EXPECT_EQ(wrong.exitCode(), 2);
  EXPECT_EQ(wrong.readAllStandardError(),
            "morvane: Unknown option 'bogus'. Try 'morvane --help'.\n");
  EXPECT_EQ(shownWindows(), 0);
}

}  // namespace
}  // namespace morvane
