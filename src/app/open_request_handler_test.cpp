#include "app/open_request_handler.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>
#include <QUrl>

#include "app/app_delegate.h"
#include "testing/qt_helpers.h"
#include "testing/recording_fakes.h"
#include "testing/temp_dir.h"
#include "testing/ui_fakes.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;

QString q(const fs::path& p) { return QString::fromStdString(p.string()); }

class OpenRequestHandlerTest : public ::testing::Test {
 protected:
  OpenRequestHandlerTest()
      : delegate_({env_, version_, scripts_, alerts_, panel_,
                   [] { return std::make_unique<testing::CountingUpdates>(); },
                   testing::plainContent}) {
    delegate_.setUpMainWindow();
  }
  ~OpenRequestHandlerTest() override {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (w->objectName() == "missingFilesWarning") delete w;
    }
  }
  std::vector<fs::path> listed() {
    std::vector<fs::path> paths;
    for (const auto& entry : delegate_.options().fileList()) paths.push_back(entry.url);
    return paths;
  }
  QMessageBox* warning() const {
    return delegate_.window()->findChild<QMessageBox*>("missingFilesWarning");
  }

  testing::TempDir tmp_;
  testing::RecordingEnv env_;
  testing::FixedSystemVersion version_{{25, 0, 0}};
  testing::FakeScriptService scripts_;
  testing::FakeAlertService alerts_;
  testing::FakeOpenPanel panel_;
  AppDelegate delegate_;
};

TEST_F(OpenRequestHandlerTest, AddsAsTheDesktopDoesAndBringsTheWindowBack) {
  const auto a = tmp_.write("a.pages");
  const auto b = tmp_.write("folder/b.key");
  const auto c = tmp_.write("folder/sub/c.numbers");
  const auto d = tmp_.write("d e.docx");
  delegate_.window()->showMinimized();
  OpenRequestHandler handler(delegate_);
  handler.serve(
      {{q(a), q(tmp_.path() / "folder"), QUrl::fromLocalFile(q(d)).toString(QUrl::FullyEncoded)},
       {}});
  // The folder brings the files below it, not itself.
  auto paths = listed();
  ASSERT_EQ(paths.size(), 4u);
  EXPECT_EQ(paths[0], a);
  EXPECT_EQ(std::set<fs::path>(paths.begin() + 1, paths.begin() + 3), (std::set<fs::path>{b, c}));
  EXPECT_EQ(paths[3], d);
  EXPECT_TRUE(delegate_.window()->isVisible());
  EXPECT_FALSE(delegate_.window()->isMinimized());
  EXPECT_EQ(warning(), nullptr);  // nothing was missing

  delegate_.window()->hide();
  handler.serve({});  // a start without files only asks for the window
  EXPECT_TRUE(delegate_.window()->isVisible());
  EXPECT_EQ(listed().size(), 4u);
}

TEST_F(OpenRequestHandlerTest, MissingPathsAreListedInAWarningThatDoesNotBlock) {
  const auto a = tmp_.write("a.pages");
  OpenRequestHandler handler(delegate_);
  handler.serve({{q(a)}, {"/no/such.pages", "/gone"}});
  EXPECT_EQ(listed(), std::vector<fs::path>{a});  // the missing ones are not added
  QMessageBox* box = warning();
  ASSERT_NE(box, nullptr);
  EXPECT_TRUE(box->isVisible());
  EXPECT_EQ(box->windowModality(), Qt::NonModal);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  EXPECT_EQ(box->icon(), QMessageBox::Warning);
  EXPECT_EQ(box->informativeText(), "/no/such.pages\n/gone");
  box->close();
  EXPECT_TRUE(testing::waitFor([&] { return warning() == nullptr; }));  // deleted on close
}

TEST_F(OpenRequestHandlerTest, ALongListOfMissingPathsIsCut) {
  OpenRequest request;
  for (int i = 0; i < 25; ++i) request.missing.push_back(QString("/gone/%1").arg(i));
  OpenRequestHandler(delegate_).serve(request);
  ASSERT_NE(warning(), nullptr);
  const QStringList lines = warning()->informativeText().split('\n');
  ASSERT_EQ(lines.size(), 21);
  EXPECT_EQ(lines[19], "/gone/19");
  EXPECT_EQ(lines[20], "and 5 more");
}

}  // namespace
}  // namespace morvane
