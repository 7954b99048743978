#include "app/app_delegate.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QIcon>
#include <QLabel>
#include <atomic>
#include <thread>
#include <QMainWindow>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QToolBar>
#include <deque>

#include "app/about_dialog.h"
#include "app/toolbar_buttons.h"
#include "testing/qt_helpers.h"
#include "testing/recording_fakes.h"
#include "testing/temp_dir.h"
#include "testing/ui_fakes.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;
using testing::runQueued;

class AppDelegateTest : public ::testing::Test {
 protected:
  std::unique_ptr<AppDelegate> makeDelegate(OperatingSystemVersion v) {
    version_ = std::make_unique<testing::FixedSystemVersion>(v);
    return std::make_unique<AppDelegate>(AppServices{
        env_, *version_, scripts_, alerts_, panel_,
        [this] { return std::make_unique<testing::CountingUpdates>(&checks_); },
        testing::plainContent});
  }
  std::vector<std::string> listNames(AppDelegate& d) {
    std::vector<std::string> names;
    for (const auto& e : d.options().fileList()) names.push_back(lastPathComponent(e.url));
    return names;
  }

  testing::TempDir tmp_;
  testing::RecordingEnv env_;
  testing::FakeScriptService scripts_;
  testing::FakeAlertService alerts_;
  testing::FakeOpenPanel panel_;
  std::unique_ptr<testing::FixedSystemVersion> version_;
  int checks_ = 0;
};

TEST_F(AppDelegateTest, UnifiedToolbarFromSystem26) {
  auto delegate = makeDelegate({26, 0, 0});
  delegate->setUpMainWindow();
  auto* toolbar = delegate->window()->findChild<QToolBar*>("MainToolbar");
  ASSERT_NE(toolbar, nullptr);
  EXPECT_EQ(toolbar->toolButtonStyle(), Qt::ToolButtonIconOnly);
  ASSERT_EQ(toolbar->actions().size(), 1);
  QAction* plus = toolbar->actions()[0];
  EXPECT_EQ(plus->objectName(), "plusToolbarItem");
  EXPECT_EQ(plus->text(), "+");
  EXPECT_EQ(plus->toolTip(), "Add files for conversion…");
  EXPECT_EQ(delegate->window()->findChild<ToolbarButtons*>(), nullptr);
  EXPECT_TRUE(delegate->options().useCreatorStudio());

  panel_.answer = {tmp_.write("a.docx"), tmp_.mkdir("F")};
  plus->trigger();
  EXPECT_EQ(panel_.runs, 1);
  EXPECT_TRUE(delegate->options().fileList().empty());  // added on later turns of the loop
  runQueued();
  EXPECT_EQ(listNames(*delegate), (std::vector<std::string>{"a.docx", "F"}));
}

TEST_F(AppDelegateTest, TitleBarButtonsBeforeSystem26) {
  auto delegate = makeDelegate({25, 4, 1});
  delegate->setUpMainWindow();
  EXPECT_EQ(delegate->window()->findChild<QToolBar*>("MainToolbar"), nullptr);
  auto* buttons = delegate->window()->findChild<ToolbarButtons*>();
  ASSERT_NE(buttons, nullptr);
  EXPECT_EQ(buttons->plusButton()->text(), "+");
  EXPECT_EQ(buttons->minusButton()->text(), "-");
  EXPECT_FALSE(delegate->options().useCreatorStudio());

  tmp_.write("F/Sub/deep.docx");
  tmp_.write("F/other.docx");
  panel_.answer = {tmp_.write("top.docx"), tmp_.path() / "F"};
  buttons->plusButton()->click();
  runQueued();
  ASSERT_EQ(delegate->options().fileList().size(), 2u);
  const NQFileDataObject& folder = delegate->options().fileList()[1];
  const NQFileDataObject& deep = (*(*folder.dirContents)[0].dirContents)[0];
  delegate->options().setSelection({delegate->options().fileList()[0].id, deep.id});
  runQueued();  // "-" follows the selection
  buttons->minusButton()->click();
  EXPECT_EQ(listNames(*delegate), std::vector<std::string>{"F"});
  EXPECT_TRUE((*delegate->options().fileList()[0].dirContents)[0].dirContents->empty());
  // The selection moves on to F, the next row after top.docx.
  EXPECT_EQ(delegate->options().selection(),
            std::unordered_set<Uuid>{delegate->options().fileList()[0].id});
  EXPECT_TRUE(fs::exists(tmp_.path() / "F/Sub/deep.docx"));
}

TEST_F(AppDelegateTest, ToolbarKnowsOnlyThePlusItem) {
  auto delegate = makeDelegate({26, 1, 0});
  EXPECT_EQ(delegate->mainWindow().defaultToolbarItems(), QStringList{"plusToolbarItem"});
  EXPECT_EQ(delegate->mainWindow().allowedToolbarItems(), QStringList{"plusToolbarItem"});
  EXPECT_TRUE(delegate->mainWindow().selectableToolbarItems().isEmpty());
  QObject owner;
  EXPECT_EQ(delegate->mainWindow().makeToolbarItem("minusToolbarItem", &owner), nullptr);
  EXPECT_EQ(delegate->mainWindow().makeToolbarItem("", &owner), nullptr);
  QAction* item = delegate->mainWindow().makeToolbarItem("plusToolbarItem", &owner);
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->parent(), &owner);
}

TEST_F(AppDelegateTest, WindowFollowsItsContentAndIsCentred) {
  auto delegate = makeDelegate({25, 0, 0});
  delegate->setUpMainWindow();
  QMainWindow* window = delegate->window();
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(delegate->contentView()->size(), QSize(800, 600));
  EXPECT_GE(window->width(), 800);
  EXPECT_GE(window->height(), 600);
  EXPECT_EQ(window->minimumSize(), QSize(800, 600));
  EXPECT_FALSE(window->windowIcon().pixmap(64, 64).isNull());
  EXPECT_FALSE(QIcon(":/morvane/morvane.svg").pixmap(64, 64).isNull());  // the built-in one
  const QPoint centre = QGuiApplication::primaryScreen()->availableGeometry().center();
  EXPECT_LE((window->frameGeometry().center() - centre).manhattanLength(), 2);
  EXPECT_TRUE(window->testAttribute(Qt::WA_QuitOnClose));
  EXPECT_TRUE(QApplication::quitOnLastWindowClosed());
}

TEST_F(AppDelegateTest, OpenRequestsFlattenFolders) {
  tmp_.write("Drop/b.docx");
  tmp_.write("Drop/.hidden.docx");
  tmp_.write("Drop/.secret/c.docx");
  tmp_.write("Drop/Report.pages/Index/Document.iwa");
  tmp_.write("Drop/Sub/a.xlsx");
  const fs::path single = tmp_.write("single.pptx");
  auto delegate = makeDelegate({25, 0, 0});  // before the window exists
  delegate->openFiles({QString::fromStdString((tmp_.path() / "Drop").string()),
                       "https://example.com/x.docx",
                       QUrl::fromLocalFile(QString::fromStdString(single.string())).toString(),
                       QString::fromStdString((tmp_.path() / "gone.docx").string())});
  std::vector<std::string> names = listNames(*delegate);
  std::sort(names.begin(), names.begin() + 3);  // the file system's order
  // The package document comes as one entry, as the add-files panel adds it.
  EXPECT_EQ(names, (std::vector<std::string>{"Report.pages", "a.xlsx", "b.docx", "single.pptx",
                                             "gone.docx"}));
  for (const auto& e : delegate->options().fileList()) {
    EXPECT_EQ(e.dirLevel, 0);
    EXPECT_EQ(e.isDir, e.url.filename() == "Report.pages") << e.url;
  }
  delegate->openURLs({QUrl("mailto:someone@example.com")});
  EXPECT_EQ(delegate->options().fileList().size(), 5u);
  // A package named by itself is one entry too, not its insides.
  delegate->openFiles({QString::fromStdString((tmp_.path() / "Drop/Report.pages").string())});
  EXPECT_EQ(delegate->options().fileList().size(), 6u);
  EXPECT_EQ(delegate->options().fileList().back().url.filename(), "Report.pages");
  // A relative path is taken from the current folder.
  const fs::path here = fs::current_path();
  fs::current_path(tmp_.path());
  delegate->openFiles({"single.pptx"});
  fs::current_path(here);
  EXPECT_EQ(delegate->options().fileList().back().url, single);
}

TEST_F(AppDelegateTest, OpenCommandAddsAtOnceAndUpdatesAreForwarded) {
  auto delegate = makeDelegate({25, 0, 0});
  panel_.answer = {tmp_.write("x.key"), tmp_.mkdir("Folder")};
  delegate->openDocument();
  EXPECT_EQ(listNames(*delegate), (std::vector<std::string>{"x.key", "Folder"}));
  EXPECT_TRUE(delegate->options().fileList()[1].isDir);
  delegate->checkForUpdates();
  delegate->checkForUpdates();
  EXPECT_EQ(checks_, 2);
}

TEST_F(AppDelegateTest, EachRunHasItsOwnRunnerAndController) {
  auto delegate = makeDelegate({25, 0, 0});
  delegate->options().addFile(tmp_.write("a.docx"));
  delegate->options().setPdfExport(true);
  alerts_.panelAnswer = tmp_.path() / "Out";
  delegate->runConversion();
  ASSERT_EQ(scripts_.created.size(), 1u);
  EXPECT_EQ(delegate->options().targetFolder(), tmp_.path() / "Out");
  delegate->runConversion();
  ASSERT_EQ(scripts_.created.size(), 2u);
  EXPECT_EQ(scripts_.created[1], scripts_.created[0]);  // nothing planned twice
  EXPECT_EQ(alerts_.titles(),
            (std::vector<std::string>{"No target folder", "Before we start conversion", "Success",
                                      "Before we start conversion", "Success"}));
}

TEST_F(AppDelegateTest, AboutShowsTheVersionsAndAsksForThemOnce) {
  int asked = 0;
  version_ = std::make_unique<testing::FixedSystemVersion>(OperatingSystemVersion{25, 0, 0});
  AppServices services{env_, *version_, scripts_, alerts_, panel_,
                       [] { return std::make_unique<testing::CountingUpdates>(); },
                       testing::plainContent};
  services.describeBackend = [&asked](std::vector<std::string>* lines) {
    ++asked;
    lines->push_back("LibreOffice 7.4.7.2");
    lines->push_back("iWork reader: libetonyek 0.1.12 (the system's)");
    return Status();
  };
  AppDelegate delegate(services);
  delegate.setUpMainWindow();
  const QString version = QApplication::applicationVersion();
  QApplication::setApplicationVersion("3.2.1");
  auto* about = delegate.window()->findChild<QAction*>("aboutAction");
  ASSERT_NE(about, nullptr);
  QStringList shown;
  const auto answer = [&shown](AboutDialog* dialog) {
    EXPECT_TRUE(testing::waitFor(
        [dialog] { return dialog->backendLabel()->text().contains("LibreOffice"); }));
    for (QLabel* label : {dialog->nameLabel(), dialog->versionLabel(), dialog->backendLabel(),
                          dialog->licenceLabel(), dialog->supportLabel()}) {
      shown << label->text();
    }
    dialog->reject();
  };
  testing::whenModal<AboutDialog>(answer);
  about->trigger();
  QApplication::setApplicationVersion(version);
  ASSERT_EQ(shown.size(), 5);
  EXPECT_EQ(shown[1], "Version 3.2.1");
  EXPECT_EQ(shown[2], "LibreOffice 7.4.7.2\niWork reader: libetonyek 0.1.12 (the system's)");
  EXPECT_EQ(shown[3], "MIT License");
  EXPECT_TRUE(shown[4].contains(QString::fromStdString(supportAddress())));
  testing::whenModal<AboutDialog>(answer);
  about->trigger();
  EXPECT_EQ(asked, 1);  // kept from the first time
}

TEST(AboutDialogTest, GrowsWithTheVersionsSoThatNothingIsCut) {
  const QIcon icon = QApplication::windowIcon();
  QApplication::setWindowIcon(applicationIcon());
  BackendDescription backend([](std::vector<std::string>* lines) {
    lines->push_back("LibreOffice 7.4.7.2");
    lines->push_back("iWork reader: libetonyek 0.1.12 (/home/somebody/.cache/morvane/"
                     "iwork-reader/lib, a folder with a long name)");
    lines->push_back("A third line that wraps as well, as long as it is in German");
    return Status();
  });
  AboutDialog about(backend);
  about.show();
  ASSERT_TRUE(testing::waitFor(
      [&about] { return about.backendLabel()->text().startsWith("LibreOffice"); }));
  runQueued();
  int labels = 0;
  for (QLabel* label : about.findChildren<QLabel*>()) {
    if (!label->isVisible()) continue;
    ++labels;
    const int needed = label->hasHeightForWidth() ? label->heightForWidth(label->width())
                                                  : label->minimumSizeHint().height();
    EXPECT_GE(label->height(), needed) << label->text().toStdString();
  }
  EXPECT_EQ(labels, 7);  // the icon, the name, version, what it does, versions, licence, support
  QApplication::setWindowIcon(icon);
}

TEST(BackendDescriptionTest, TellsWhyThereAreNoVersionsAndWaitsForItsThread) {
  BackendDescription failing([](std::vector<std::string>*) {
    return Status::error("LibreOffice cannot be started");
  });
  QStringList lines;
  QObject::connect(&failing, &BackendDescription::described,
                   [&lines](const QStringList& l) { lines = l; });
  failing.request();
  failing.request();  // under way: one lookup
  ASSERT_TRUE(testing::waitFor([&failing] { return failing.known(); }));
  EXPECT_EQ(lines, QStringList{"Not available: LibreOffice cannot be started"});

  // Destroyed while it looks: it waits, and nothing arrives afterwards.
  std::atomic<bool> finished = false;
  {
    BackendDescription slow([&finished](std::vector<std::string>* l) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      l->push_back("LibreOffice 1");
      finished = true;
      return Status();
    });
    slow.request();
  }
  EXPECT_TRUE(finished);
  runQueued();
}

}  // namespace
}  // namespace morvane
