// End-to-end through the real window (offscreen): documents added, a target
// set, Run pressed, the questions answered OK, and the converted files made
// by the real LibreOffice service found in the target folder.
#include <gtest/gtest.h>

#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "app/app_delegate.h"
#include "app/qt_alert_service.h"
#include "office/office_script_service.h"
#include "testing/qt_helpers.h"
#include "testing/recording_fakes.h"
#include "testing/temp_dir.h"
#include "testing/ui_fakes.h"
#include "views/content_view.h"
#include "views/side_bar_view.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;

TEST(WindowEndToEndTest, RunConvertsTheListedDocuments) {
  testing::TempDir tmp;
  ASSERT_TRUE(fs::is_directory(MORVANE_TEST_FIXTURES));
  for (const char* name : {"pages5-file.pages", "numbers3-file.numbers"}) {
    fs::copy_file(fs::path(MORVANE_TEST_FIXTURES) / name, tmp.path() / name);
  }
  OfficeConfig config;
  config.workerPath = MORVANE_TEST_WORKER;
  config.installPath = "/usr/lib/libreoffice/program";
  config.profileTemplate = MORVANE_TEST_PROFILE_TEMPLATE;
  config.readerLibraryDir = MORVANE_TEST_IWORK_READER_DIR;
  config.statementLimit = std::chrono::seconds(120);
  OfficeScriptService scripts(config);
  RealEnv env;
  testing::FixedSystemVersion version({25, 0, 0});
  QtAlertService alerts;
  testing::FakeOpenPanel panel;
  AppDelegate delegate({env, version, scripts, alerts, panel,
                        [] { return std::make_unique<testing::CountingUpdates>(); },
                        [](AppDelegate& d) { return new ContentView(d); }});
  delegate.openFiles({QString::fromStdString((tmp.path() / "pages5-file.pages").string()),
                      QString::fromStdString((tmp.path() / "numbers3-file.numbers").string())});
  delegate.options().setPdfExport(true);
  delegate.options().setTargetFolder(tmp.path() / "Converted");
  delegate.applicationDidFinishLaunching();
  alerts.setParentWindow(delegate.window());
  auto* content = static_cast<ContentView*>(delegate.contentView());
  QPushButton* run = content->sideBar()->runButton();
  ASSERT_TRUE(testing::waitFor([&] { return run->isEnabled(); }));

  // Every question of the run is answered OK.
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

  EXPECT_EQ(asked, (QStringList{"Before we start conversion", "Success"}));
  const fs::path out = tmp.path() / "Converted";
  for (const char* made : {"pages5-file.docx", "pages5-file.pdf", "numbers3-file.xlsx",
                           "numbers3-file.pdf"}) {
    EXPECT_TRUE(fs::is_regular_file(out / made)) << made;
    EXPECT_GT(fs::file_size(out / made), 1000u) << made;
  }
}

}  // namespace
}  // namespace morvane
