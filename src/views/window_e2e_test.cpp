// End-to-end through the real window (offscreen): documents added, a target
// set, Run pressed, the questions answered OK, and the converted files made
// by the real LibreOffice service found in the target folder.
#include <gtest/gtest.h>

#include <unistd.h>

#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <fstream>
#include <sstream>

#include "app/app_delegate.h"
#include "app/qt_alert_service.h"
#include "office/office_script_service.h"
#include "platform/real_env.h"
#include "testing/fixtures.h"
#include "testing/processes.h"
#include "testing/qt_helpers.h"
#include "testing/recording_fakes.h"
#include "testing/temp_dir.h"
#include "testing/ui_fakes.h"
#include "views/content_view.h"
#include "views/run_texts.h"
#include "views/side_bar_view.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;

// The real worker and LibreOffice, with the tests' profile template.
OfficeConfig testConfig() {
  OfficeConfig config;
  config.workerPath = MORVANE_TEST_WORKER;
  config.installPath = "/usr/lib/libreoffice/program";
  config.profileTemplate = MORVANE_TEST_PROFILE_TEMPLATE;
  config.readerLibraryDir = MORVANE_TEST_IWORK_READER_DIR;
  config.statementLimit = std::chrono::seconds(120);
  return config;
}

TEST(WindowEndToEndTest, RunConvertsTheListedDocuments) {
  testing::TempDir tmp;
  MORVANE_FIXTURES_OR_SKIP(samples, "iwork");
  for (const char* name : {"pages5-file.pages", "numbers3-file.numbers"}) {
    fs::copy_file(samples / name, tmp.path() / name);
  }
  OfficeScriptService scripts(testConfig());
  RealEnv env;
  testing::FixedSystemVersion version({25, 0, 0});
  QtAlertService alerts;
  testing::FakeOpenPanel panel;
  AppDelegate delegate({env, version, scripts, alerts, panel,
                        [] { return std::make_unique<testing::CountingUpdates>(); },
                        contentViewFor});
  delegate.openFiles({QString::fromStdString((tmp.path() / "pages5-file.pages").string()),
                      QString::fromStdString((tmp.path() / "numbers3-file.numbers").string())});
  delegate.options().setPdfExport(true);
  delegate.options().setTargetFolder(tmp.path() / "Converted");
  delegate.setUpMainWindow();
  alerts.setParentWindow(delegate.window());
  auto* content = static_cast<ContentView*>(delegate.contentView());
  QPushButton* run = content->sideBar()->runButton();
  ASSERT_TRUE(testing::waitFor([&] { return run->isEnabled(); }));

  // Every alert of the run is answered OK: LibreOffice's workers touch no
  // open document, so the run asks nothing before it starts.
  QStringList asked;
  QTimer answer;
  answer.setInterval(20);
  QObject::connect(&answer, &QTimer::timeout, [&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      asked << box->text();
      for (QAbstractButton* b : box->buttons()) {
        if (b->text() == "OK") b->click();
      }
    }
  });
  answer.start();
  run->click();
  answer.stop();

  EXPECT_EQ(asked, (QStringList{"Success"}));
  const fs::path out = tmp.path() / "Converted";
  for (const char* made : {"pages5-file.docx", "pages5-file.pdf", "numbers3-file.xlsx",
                           "numbers3-file.pdf"}) {
    EXPECT_TRUE(fs::is_regular_file(out / made)) << made;
    EXPECT_GT(fs::file_size(out / made), 1000u) << made;
  }
}

// Cancel in the window during a real run of 40 documents: the target
// holds only complete files, nothing hidden or half-written, and no worker
// or private folder of the run is left.
TEST(WindowEndToEndTest, CancelDuringARealRunLeavesOnlyCompleteFiles) {
  testing::TempDir tmp;
  const fs::path in = tmp.mkdir("in"), out = tmp.path() / "out";
  MORVANE_FIXTURES_OR_SKIP(samples, "iwork");
  for (int i = 10; i < 50; ++i) {
    fs::copy_file(samples / "pages5-file.pages",
                  in / ("doc" + std::to_string(i) + ".pages"));
  }
  OfficeConfig config = testConfig();
  config.workers = 2;
  AppDelegate* running = nullptr;
  OfficeScriptService scripts(config, [&running](const ScriptProgress& p) {
    running->runMonitor().report(p.documentsOpened, p.documentsTotal, p.document);
  });
  RealEnv env;
  testing::FixedSystemVersion version({25, 0, 0});
  testing::FakeAlertService alerts;
  testing::FakeOpenPanel panel;
  AppDelegate delegate({env, version, scripts, alerts, panel,
                        [] { return std::make_unique<testing::CountingUpdates>(); },
                        contentViewFor});
  running = &delegate;
  delegate.options().addFile(in);
  delegate.options().setOfficeExport(false);
  delegate.options().setPdfExport(true);
  delegate.options().setTargetFolder(out);
  delegate.setUpMainWindow();
  auto* content = static_cast<ContentView*>(delegate.contentView());

  QTimer watch;  // Cancel once the first exports have landed
  watch.setInterval(20);
  QObject::connect(&watch, &QTimer::timeout, [&] {
    std::error_code ec;
    int landed = 0;
    for (fs::directory_iterator it(out, ec), end; !ec && it != end; it.increment(ec)) {
      landed += it->path().extension() == ".pdf" && !it->path().filename().string().starts_with(".");
    }
    if (landed >= 2) content->sideBar()->cancelButton()->click();
  });
  watch.start();
  content->sideBar()->runButton()->click();
  watch.stop();

  ASSERT_EQ(alerts.titles(), (std::vector<std::string>{"Conversion cancelled"}));
  std::size_t landed = 0;
  for (const auto& e : fs::directory_iterator(out)) {
    const std::string name = e.path().filename().string();
    EXPECT_FALSE(name.starts_with(".") || name.starts_with("lu")) << name;
    std::ifstream pdf(e.path(), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(pdf)), {});
    EXPECT_TRUE(bytes.starts_with("%PDF-") && bytes.find("%%EOF", bytes.size() - 64) != std::string::npos)
        << name;
    ++landed;
  }
  EXPECT_GE(landed, 2u);
  EXPECT_LT(landed, 40u);
  ASSERT_TRUE(alerts.shown.back().report.has_value());
  EXPECT_EQ(alerts.shown.back().report->converted, landed);
  EXPECT_EQ(RunTexts::summary(*alerts.shown.back().report).toStdString(),
            std::to_string(landed) + " documents converted");
  const std::string mine = "morvane-office-" + std::to_string(::getpid()) + "-";
  for (const auto& e : fs::directory_iterator(workerFolderRoot())) {
    EXPECT_FALSE(e.path().filename().string().starts_with(mine)) << e.path();
  }
  EXPECT_EQ(testing::childProcesses(), 0);  // no worker of ours is left
}

}  // namespace
}  // namespace morvane
