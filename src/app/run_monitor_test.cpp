// A run seen from the window: its script waits until the test releases or
// cancels it, while the window's event loop keeps turning, the side bar and
// the title show the progress, and the list and options rest.
#include "app/run_monitor.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QToolBar>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>

#include "app/app_delegate.h"
#include "testing/recording_fakes.h"
#include "testing/temp_dir.h"
#include "testing/ui_fakes.h"
#include "views/content_view.h"
#include "views/export_options_view.h"
#include "views/file_list_view.h"
#include "views/side_bar_view.h"

namespace morvane {
namespace {

// A script service whose scripts tell their first document and then wait
// until released or cancelled.
class WaitingScriptService : public ScriptService {
 public:
  std::unique_ptr<Script> create(const std::string&, ScriptError*) override {
    return std::make_unique<Waiting>(*this);
  }
  // Asks before the run, as osascript does: the tests answer it.
  bool drivesUserApplications() const override { return true; }
  void release() {
    std::lock_guard lock(mutex_);
    released_ = true;
    changed_.notify_all();
  }
  RunMonitor* monitor = nullptr;

 private:
  struct Waiting : Script {
    explicit Waiting(WaitingScriptService& s) : service(s) {}
    bool execute(ScriptError* error) override {
      service.monitor->report(1, 3, "/somewhere/Report.docx");
      std::unique_lock lock(service.mutex_);
      service.changed_.wait(lock, [&] { return service.released_ || cancelled; });
      if (!cancelled) return true;
      error->info = {{"message", "the conversion was cancelled"}, {"converted", "0"}};
      error->cancelled = true;
      return false;
    }
    void cancel() override {
      std::lock_guard lock(service.mutex_);
      cancelled = true;
      service.changed_.notify_all();
    }
    WaitingScriptService& service;
    bool cancelled = false;
  };

  std::mutex mutex_;
  std::condition_variable changed_;
  bool released_ = false;
};

// What the desktop was shown.
struct RecordingDesktop : DesktopProgress {
  void showProgress(double fraction) override { shown.push_back(fraction); }
  void hideProgress() override { ++hidden; }
  void notify(const QString& summary, const QString&) override { notified << summary; }
  std::vector<double> shown;
  int hidden = 0;
  QStringList notified;
};

class RunMonitorTest : public ::testing::Test {
 protected:
  RunMonitorTest()
      : delegate_({env_, version_, scripts_, alerts_, panel_,
                   [] { return std::make_unique<testing::CountingUpdates>(); },
                   contentViewFor, &desktop_}) {
    scripts_.monitor = &delegate_.runMonitor();
    delegate_.setUpMainWindow();
    content_ = static_cast<ContentView*>(delegate_.contentView());
    delegate_.options().addFile(tmp_.write("in/a.pages"));
    delegate_.options().setTargetFolder(tmp_.mkdir("out"));
  }
  SideBarView* sideBar() { return content_->sideBar(); }

  testing::TempDir tmp_;
  testing::RecordingEnv env_;
  testing::FixedSystemVersion version_{{25, 0, 0}};
  WaitingScriptService scripts_;
  testing::FakeAlertService alerts_;
  testing::FakeOpenPanel panel_;
  RecordingDesktop desktop_;
  AppDelegate delegate_;
  ContentView* content_;
};

TEST_F(RunMonitorTest, TheWindowLivesDuringARunAndCancelEndsIt) {
  int ticks = 0;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
  ticker.start(10);
  struct During {
    int ticks = 0;
    bool progressShown = false, listEnabled = true, optionsEnabled = true, runEnabled = true,
         toolbarEnabled = true;
    QString label, title;
  } during;
  // Once the progress shows and the ticker has fired a few times during
  // the run (or after 20 s at the most), look and cancel.
  QTimer look;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  QObject::connect(&look, &QTimer::timeout, [&] {
    const bool shown = sideBar()->progressLabel()->text() != "Preparing the conversion…";
    if ((!shown || ticks < 5) && std::chrono::steady_clock::now() < deadline) return;
    look.stop();
    during = {ticks,
              sideBar()->progressBar()->isVisible(),
              content_->fileList()->isEnabled(),
              sideBar()->exportOptions()->isEnabled(),
              sideBar()->runButton()->isEnabled(),
              delegate_.window()->findChild<QToolBar*>()->isEnabled(),
              sideBar()->progressLabel()->text(),
              delegate_.window()->windowTitle()};
    sideBar()->cancelButton()->click();
  });
  look.start(20);
  delegate_.runConversion();  // returns when the cancelled run has ended
  EXPECT_GE(during.ticks, 5) << "the event loop stood still during the run";
  EXPECT_TRUE(during.progressShown);
  EXPECT_EQ(during.label, "Converting 1 of 3");
  EXPECT_EQ(during.title, QApplication::applicationName() + " – 1 of 3");
  EXPECT_FALSE(during.listEnabled);
  EXPECT_FALSE(during.optionsEnabled);
  EXPECT_FALSE(during.runEnabled);
  EXPECT_FALSE(during.toolbarEnabled);
  EXPECT_EQ(alerts_.titles(),
            (std::vector<std::string>{"Before we start conversion", "Conversion cancelled"}));
  EXPECT_TRUE(content_->fileList()->isEnabled());
  EXPECT_TRUE(sideBar()->exportOptions()->isEnabled());
  EXPECT_TRUE(sideBar()->runButton()->isEnabled());
  EXPECT_FALSE(sideBar()->progressBar()->isVisible());
  EXPECT_EQ(delegate_.window()->windowTitle(), QApplication::applicationName());
  EXPECT_EQ(sideBar()->lastRunLabel()->text(), "Last run: Cancelled after 0 of 1");
  EXPECT_FALSE(sideBar()->showInFolderButton()->isHidden());
  EXPECT_EQ(desktop_.shown, std::vector<double>{1.0 / 3});  // on the launcher entry too
  EXPECT_EQ(desktop_.hidden, 1);
  EXPECT_TRUE(desktop_.notified.isEmpty());  // a short run
}

TEST_F(RunMonitorTest, ALongRunEndingUnseenIsNotified) {
  delegate_.setNotifyAfter(std::chrono::milliseconds(50));
  QWidget elsewhere;  // the user looks at another window
  elsewhere.show();
  QApplication::setActiveWindow(&elsewhere);
  QTimer::singleShot(200, [&] { scripts_.release(); });
  delegate_.runConversion();
  EXPECT_EQ(alerts_.titles(), (std::vector<std::string>{"Before we start conversion", "Success"}));
  EXPECT_EQ(desktop_.notified, QStringList{"Conversion finished"});
}

TEST_F(RunMonitorTest, ClosingTheWindowDuringARunAsksAndCancels) {
  alerts_.responses = {kAlertFirstButtonReturn, kAlertSecondButtonReturn, kAlertFirstButtonReturn};
  bool stillOpen = false;
  QTimer::singleShot(200, [&] {
    delegate_.window()->close();  // declined: the run goes on
    stillOpen = delegate_.window()->isVisible();
    QTimer::singleShot(100, [&] { delegate_.window()->close(); });  // agreed
  });
  delegate_.runConversion();
  EXPECT_TRUE(stillOpen);
  EXPECT_EQ(alerts_.titles(),
            (std::vector<std::string>{"Before we start conversion", "A conversion is running",
                                      "A conversion is running", "Conversion cancelled"}));
  EXPECT_FALSE(delegate_.window()->isVisible());
}

// Whatever a script throws on the run's thread ends the run as an error
// carrying its message, and the window goes on.
TEST(RunMonitorThrowTest, AThrowingScriptEndsTheRunAsAnError) {
  struct Throwing : Script {
    bool execute(ScriptError*) override { throw std::runtime_error("the disk went away"); }
  } throwing;
  RunMonitor monitor;
  int finished = 0;
  QObject::connect(&monitor, &RunMonitor::finished, [&] { ++finished; });
  ScriptError error;
  EXPECT_FALSE(monitor.execute(throwing, &error));
  EXPECT_FALSE(error.cancelled);
  ASSERT_EQ(error.info.size(), 1u);
  EXPECT_EQ(error.info[0].second, "the conversion stopped on an unexpected error: the disk went away");
  EXPECT_FALSE(monitor.running());
  EXPECT_FALSE(monitor.lastSucceeded());
  EXPECT_FALSE(monitor.lastCancelled());
  EXPECT_EQ(finished, 1);
}

}  // namespace
}  // namespace morvane
