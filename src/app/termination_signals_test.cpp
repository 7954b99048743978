#include "app/termination_signals.h"

#include <spawn.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMainWindow>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTimer>
#include <atomic>
#include <condition_variable>
#include <csignal>
#include <mutex>

#include "app/app_delegate.h"
#include "app/qt_alert_service.h"
#include "testing/processes.h"
#include "testing/qt_helpers.h"
#include "testing/recording_fakes.h"
#include "testing/temp_dir.h"
#include "testing/ui_fakes.h"

extern char** environ;

namespace morvane {
namespace {

sighandler_t handlerOf(int signal) {
  struct sigaction action {};
  sigaction(signal, nullptr, &action);
  return action.sa_handler;
}

TEST(TerminationSignalsTest, ASignalArrivesOnTheEventLoopOnce) {
  {
    TerminationSignals handler;
    QSignalSpy received(&handler, &TerminationSignals::received);
    ASSERT_NE(handlerOf(SIGTERM), SIG_DFL);
    ASSERT_EQ(::raise(SIGHUP), 0);  // would end the test process unhandled
    ASSERT_TRUE(received.wait(5000));
    EXPECT_EQ(received[0][0].toInt(), SIGHUP);
    // The next one would end the process the default way.
    EXPECT_EQ(handlerOf(SIGTERM), SIG_DFL);
    EXPECT_EQ(handlerOf(SIGINT), SIG_DFL);
  }
  TerminationSignals again;
  EXPECT_NE(handlerOf(SIGINT), SIG_DFL);
}

TEST(TerminationSignalsTest, TheDefaultsAreBackWhenItGoes) {
  { TerminationSignals handler; }
  for (int s : {SIGTERM, SIGINT, SIGHUP}) EXPECT_EQ(handlerOf(s), SIG_DFL) << s;
}

TEST(TerminationSignalsTest, ASignalStartedIgnoredStaysIgnored) {
  // As under `nohup morvane &`: closing the terminal must not end it.
  std::signal(SIGHUP, SIG_IGN);
  {
    TerminationSignals handler;
    EXPECT_EQ(handlerOf(SIGHUP), SIG_IGN);
    EXPECT_NE(handlerOf(SIGTERM), SIG_DFL);
    QSignalSpy received(&handler, &TerminationSignals::received);
    ASSERT_EQ(::raise(SIGHUP), 0);
    ASSERT_EQ(::raise(SIGINT), 0);
    ASSERT_TRUE(received.wait(5000));
    EXPECT_EQ(received[0][0].toInt(), SIGINT);
    EXPECT_EQ(handlerOf(SIGHUP), SIG_IGN);
    EXPECT_EQ(handlerOf(SIGINT), SIG_DFL);
  }
  EXPECT_EQ(handlerOf(SIGHUP), SIG_IGN);
  std::signal(SIGHUP, SIG_DFL);
}

// Scripts that run a child process, as the office workers are, until
// they are cancelled; a cancel ends the child and waits for it.
class ChildProcessScripts : public ScriptService {
 public:
  std::unique_ptr<Script> create(const std::string&, ScriptError*) override {
    ++created;
    return std::make_unique<Running>(*this);
  }
  // Asks before the run, as osascript does: a signal may come meanwhile.
  bool drivesUserApplications() const override { return true; }
  std::atomic<int> created = 0;
  std::atomic<bool> childRunning = false;
  std::atomic<bool> cancelled = false;

 private:
  struct Running : Script {
    explicit Running(ChildProcessScripts& s) : service(s) {}
    bool execute(ScriptError* error) override {
      char sleep[] = "sleep", seconds[] = "60";
      char* argv[] = {sleep, seconds, nullptr};
      pid_t child = 0;
      if (posix_spawnp(&child, "sleep", nullptr, nullptr, argv, environ) != 0) return false;
      service.childRunning = true;
      std::unique_lock lock(mutex);
      changed.wait(lock, [&] { return stop; });
      ::kill(child, SIGKILL);
      ::waitpid(child, nullptr, 0);
      service.childRunning = false;
      service.cancelled = true;
      error->info = {{"message", "the conversion was cancelled"}};
      error->cancelled = true;
      return false;
    }
    void cancel() override {
      std::lock_guard lock(mutex);
      stop = true;
      changed.notify_all();
    }
    ChildProcessScripts& service;
    std::mutex mutex;
    std::condition_variable changed;
    bool stop = false;
  };
};

// The texts of the message boxes shown, as they are shown.
class ShownBoxes : public QObject {
 public:
  ShownBoxes() { qApp->installEventFilter(this); }
  ~ShownBoxes() override { qApp->removeEventFilter(this); }
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show) {
      if (auto* box = qobject_cast<QMessageBox*>(watched)) texts << box->text();
    }
    return false;
  }
  std::string shown() const { return texts.join(" | ").toStdString(); }
  QStringList texts;
};

// The application as main() wires it, with the real alerts and a script
// that runs until it is cancelled.
class TerminationTest : public ::testing::Test {
 protected:
  TerminationTest()
      : delegate_({env_, version_, scripts_, alerts_, panel_,
                   [] { return std::make_unique<testing::CountingUpdates>(); },
                   testing::plainContent}) {
    delegate_.setUpMainWindow();
    alerts_.setParentWindow(delegate_.window());
    delegate_.options().addFile(tmp_.write("in/Report.pages"));
    delegate_.options().setTargetFolder(tmp_.mkdir("out"));
    endOnTermination(signals_, delegate_, alerts_);
  }
  // Runs the application from a press of Run until it ends; -1 when it
  // is still running after 20 s.
  int runUntilItEnds() {
    QTimer::singleShot(0, &delegate_, &AppDelegate::runConversion);
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(-1); });
    guard.start(20000);
    return QApplication::exec();
  }

  testing::TempDir tmp_;
  testing::RecordingEnv env_;
  testing::FixedSystemVersion version_{{25, 0, 0}};
  ChildProcessScripts scripts_;
  QtAlertService alerts_;
  testing::FakeOpenPanel panel_;
  AppDelegate delegate_;
  TerminationSignals signals_;
  ShownBoxes shown_;
};

TEST_F(TerminationTest, ASignalDuringARunCancelsItAndEndsWithoutAnotherAlert) {
  const int children = testing::childProcesses();
  testing::whenModal<QMessageBox>([](QMessageBox* box) { box->buttons().front()->click(); });
  int childrenDuringRun = 0;
  QTimer signalOnceRunning;
  QObject::connect(&signalOnceRunning, &QTimer::timeout, [&] {
    if (!scripts_.childRunning) return;
    signalOnceRunning.stop();
    childrenDuringRun = testing::childProcesses();
    ::raise(SIGTERM);
  });
  signalOnceRunning.start(10);
  EXPECT_EQ(runUntilItEnds(), 0);
  EXPECT_EQ(childrenDuringRun, children + 1);
  // The run was cancelled and its child waited for; "Conversion
  // cancelled" was not shown to anyone.
  EXPECT_TRUE(scripts_.cancelled);
  EXPECT_EQ(testing::childProcesses(), children);
  EXPECT_FALSE(delegate_.runMonitor().running());
  EXPECT_EQ(shown_.shown(), "Before we start conversion");
  EXPECT_EQ(env_.linesContaining("conversion cancelled").size(), 1u);
  // Nothing shows any more, and no run starts.
  EXPECT_EQ(alerts_.runModal(makeAlert({"Success", ""}, {"", ""})), kAlertSecondButtonReturn);
  EXPECT_EQ(alerts_.showOpenTargetFolderPanel(), std::nullopt);
  delegate_.runConversion();
  EXPECT_EQ(scripts_.created, 1);
  EXPECT_EQ(shown_.shown(), "Before we start conversion");
}

TEST_F(TerminationTest, ASignalWhileAnAlertAsksClosesItAsCancel) {
  testing::whenModal<QMessageBox>([](QMessageBox*) { ::raise(SIGINT); });
  EXPECT_EQ(runUntilItEnds(), 0);
  EXPECT_EQ(shown_.shown(), "Before we start conversion");
  EXPECT_EQ(scripts_.created, 0);  // answered as Cancel: no run
  EXPECT_TRUE(alerts_.ended());
}

}  // namespace
}  // namespace morvane
