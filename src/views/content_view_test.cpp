// The main window's content as a user meets it: the keys and the toolbar
// pair that remove entries, and a layout that follows the window's size.
#include "views/content_view.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>

#include "app/app_delegate.h"
#include "app/toolbar_buttons.h"
#include "testing/qt_helpers.h"
#include "testing/recording_fakes.h"
#include "testing/temp_dir.h"
#include "testing/ui_fakes.h"
#include "views/export_options_view.h"
#include "views/file_list_view.h"
#include "views/side_bar_view.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;
using testing::runQueued;

class ContentViewTest : public ::testing::Test {
 protected:
  void start(OperatingSystemVersion v = {25, 0, 0}) {
    version_ = std::make_unique<testing::FixedSystemVersion>(v);
    delegate_ = std::make_unique<AppDelegate>(AppServices{
        env_, *version_, scripts_, alerts_, panel_,
        [] { return std::make_unique<testing::CountingUpdates>(); }, contentViewFor});
    delegate_->setUpMainWindow();
    content_ = static_cast<ContentView*>(delegate_->contentView());
  }
  MorvaneOptions& options() { return delegate_->options(); }
  QTreeView* tree() { return content_->fileList()->tree(); }
  // Three files in the list, the first two selected.
  void selectTwoOfThree() {
    for (const char* name : {"a.docx", "b.xlsx", "c.key"}) options().addFile(tmp_.write(name));
    options().setSelection({options().fileList()[0].id, options().fileList()[1].id});
    runQueued();
  }
  std::vector<std::string> names() {
    std::vector<std::string> list;
    for (const auto& e : options().fileList()) list.push_back(e.url.filename().string());
    return list;
  }
  void focusList() {
    delegate_->window()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(delegate_->window()));
    tree()->setFocus();
    ASSERT_TRUE(testing::waitFor([this] { return tree()->hasFocus(); }));
  }

  testing::TempDir tmp_;
  testing::RecordingEnv env_;
  testing::FakeScriptService scripts_;
  testing::FakeAlertService alerts_;
  testing::FakeOpenPanel panel_;
  std::unique_ptr<testing::FixedSystemVersion> version_;
  std::unique_ptr<AppDelegate> delegate_;
  ContentView* content_ = nullptr;
};

TEST_F(ContentViewTest, DeleteAndBackSpaceRemoveTheSelection) {
  start();
  selectTwoOfThree();
  focusList();
  QTest::keyClick(tree(), Qt::Key_Delete);
  runQueued();
  EXPECT_EQ(names(), std::vector<std::string>{"c.key"});
  EXPECT_TRUE(fs::exists(tmp_.path() / "a.docx"));  // only the entry goes

  options().addFile(tmp_.write("d.pages"));
  options().setSelection({options().fileList()[0].id});
  runQueued();
  QTest::keyClick(tree(), Qt::Key_Backspace);
  runQueued();
  EXPECT_EQ(names(), std::vector<std::string>{"d.pages"});
}

TEST_F(ContentViewTest, KeysLeaveTheListAloneDuringARunAndInATextField) {
  start();
  selectTwoOfThree();
  focusList();
  content_->showRunStarted();
  QTest::keyClick(tree(), Qt::Key_Delete);
  runQueued();
  EXPECT_EQ(names().size(), 3u);
  content_->showRunEnded();

  // A text field keeps its editing keys.
  auto* field = new QLineEdit("text", content_->sideBar());
  field->show();
  field->setFocus();
  ASSERT_TRUE(testing::waitFor([field] { return field->hasFocus(); }));
  QTest::keyClick(field, Qt::Key_Backspace);
  runQueued();
  EXPECT_EQ(field->text(), "tex");
  EXPECT_EQ(names().size(), 3u);
  delete field;

  // Nor do the switches and buttons of the side bar pass them on.
  QWidget* button = content_->sideBar()->exportOptions()->pdfSwitch();
  button->setFocus();
  ASSERT_TRUE(testing::waitFor([button] { return button->hasFocus(); }));
  QTest::keyClick(button, Qt::Key_Delete);
  QTest::keyClick(button, Qt::Key_Backspace);
  runQueued();
  EXPECT_EQ(names().size(), 3u);
}

TEST_F(ContentViewTest, RemoveButtonFollowsTheSelection) {
  start({25, 0, 0});
  QPushButton* minus = delegate_->window()->findChild<ToolbarButtons*>()->minusButton();
  EXPECT_FALSE(minus->isEnabled());
  EXPECT_FALSE(content_->deleteAction()->isEnabled());
  selectTwoOfThree();
  EXPECT_TRUE(minus->isEnabled());
  EXPECT_TRUE(content_->deleteAction()->isEnabled());
  EXPECT_FALSE(minus->toolTip().isEmpty());
  tree()->clearSelection();  // as the user does it
  runQueued();
  EXPECT_FALSE(minus->isEnabled());
  tree()->selectionModel()->select(tree()->model()->index(2, 0), QItemSelectionModel::Select);
  runQueued();
  ASSERT_TRUE(minus->isEnabled());
  minus->click();
  runQueued();
  EXPECT_EQ(names(), (std::vector<std::string>{"a.docx", "b.xlsx"}));
  EXPECT_TRUE(minus->isEnabled());  // the row before the removed last one is selected
  options().setSelection({});
  runQueued();
  EXPECT_FALSE(minus->isEnabled());

  // The window toolbar holds one pair only.
  auto* toolbar = delegate_->window()->findChild<QToolBar*>();
  ASSERT_NE(toolbar, nullptr);
  EXPECT_EQ(toolbar->actions().size(), 1);  // the "+" and "-" buttons
}

TEST_F(ContentViewTest, UnifiedToolbarHoldsOneAddRemovePair) {
  start({26, 0, 0});
  auto* toolbar = delegate_->window()->findChild<QToolBar*>("MainToolbar");
  ASSERT_NE(toolbar, nullptr);
  ASSERT_EQ(toolbar->actions().size(), 2);
  QAction* plus = toolbar->actions()[0];
  QAction* remove = toolbar->actions()[1];
  EXPECT_EQ(plus->text(), "+");
  EXPECT_EQ(remove, content_->deleteAction());
  EXPECT_EQ(remove->toolTip(), "Remove the selected entries from the list");
  EXPECT_FALSE(remove->isEnabled());
  selectTwoOfThree();
  EXPECT_TRUE(remove->isEnabled());
  content_->showRunStarted();
  EXPECT_FALSE(remove->isEnabled());
  content_->showRunEnded();
  EXPECT_TRUE(remove->isEnabled());
  options().setSelection({});
  runQueued();
  EXPECT_FALSE(remove->isEnabled());

  // Buttons without words have names for a screen reader.
  for (QAction* action : toolbar->actions()) {
    QAccessibleInterface* button = QAccessible::queryAccessibleInterface(toolbar->widgetForAction(action));
    ASSERT_NE(button, nullptr);
    const QString name = button->text(QAccessible::Name);
    EXPECT_TRUE(name == "Add files" || name == "Remove from list") << name.toStdString();
  }
}

TEST_F(ContentViewTest, ContentStretchesWithTheWindow) {
  start();
  QMainWindow* window = delegate_->window();
  EXPECT_EQ(window->minimumSize(), QSize(800, 600));
  EXPECT_GE(content_->width(), 800);
  EXPECT_GE(content_->height(), 600);
  const int listWidth = content_->fileList()->width();
  const int sideWidth = content_->sideBar()->width();
  EXPECT_LE(sideWidth, 320);

  window->resize(1200, 800);
  runQueued();
  EXPECT_EQ(content_->sideBar()->width(), sideWidth);
  EXPECT_EQ(content_->fileList()->width(), listWidth + 400);
  EXPECT_GT(content_->height(), 700);
  EXPECT_EQ(content_->sideBar()->height(), content_->height());
  EXPECT_EQ(content_->sideBar()->geometry().right(), content_->width() - 1);  // no grey space

  window->resize(400, 300);  // not below the minimum
  runQueued();
  EXPECT_EQ(window->size(), QSize(800, 600));
  EXPECT_EQ(content_->sideBar()->width(), sideWidth);
}

TEST_F(ContentViewTest, ListAndSymbolsHaveAccessibleNames) {
  start();
  EXPECT_FALSE(tree()->accessibleName().isEmpty());
  SideBarView* side = content_->sideBar();
  for (QWidget* hint : {side->addFilesHint(), side->targetHint()}) {
    for (QLabel* label : hint->findChildren<QLabel*>()) {
      if (label->text().isEmpty()) {
        EXPECT_FALSE(label->accessibleName().isEmpty());
      }
    }
  }
  EXPECT_FALSE(side->progressBar()->accessibleName().isEmpty());
}

}  // namespace
}  // namespace morvane

namespace morvane {
namespace {

// Every control a screen reader can reach says what it is or does: its
// accessible name is not empty, and the list's one column is named.
TEST_F(ContentViewTest, EveryControlHasAnAccessibleName) {
  for (const OperatingSystemVersion v : {OperatingSystemVersion{25, 0, 0}, {26, 0, 0}}) {
    start(v);
    options().addFile(tmp_.write("a.docx"));
    content_->showLastRun("1 converted, 0 copied, 0 failed", QString::fromStdString(tmp_.path()));
    runQueued();
    for (QWidget* widget : delegate_->window()->findChildren<QWidget*>()) {
      const bool control = (widget->focusPolicy() & Qt::TabFocus) != 0 ||
                           qobject_cast<QAbstractButton*>(widget) != nullptr;
      if (!control || !widget->isVisibleTo(delegate_->window())) continue;
      QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
      ASSERT_NE(accessible, nullptr);
      EXPECT_FALSE(accessible->text(QAccessible::Name).trimmed().isEmpty())
          << widget->metaObject()->className() << " " << widget->objectName().toStdString();
    }
    const QVariant header = tree()->model()->headerData(0, Qt::Horizontal, Qt::DisplayRole);
    EXPECT_EQ(header.toString(), "Name");
  }
}

// The buttons that add and remove files are named by what they do.
TEST_F(ContentViewTest, AddAndRemoveAreNamedByTheirAction) {
  start({25, 0, 0});
  auto* buttons = delegate_->window()->findChild<ToolbarButtons*>();
  ASSERT_NE(buttons, nullptr);
  EXPECT_EQ(buttons->plusButton()->accessibleName(), "Add files");
  EXPECT_EQ(buttons->minusButton()->accessibleName(), "Remove from list");
  EXPECT_EQ(content_->plusAction()->text(), "Add files");
  EXPECT_EQ(content_->deleteAction()->text(), "Remove from list");
}

// Tab follows the window as it reads, from the top left: the toolbar's
// buttons, the list, then the side bar from its top; the first Tab in the
// window reaches the first of them.
TEST_F(ContentViewTest, TabGoesFromTheToolbarThroughTheListToTheSideBar) {
  start({25, 0, 0});
  options().addFile(tmp_.write("a.docx"));
  runQueued();
  QMainWindow* window = delegate_->window();
  auto* buttons = window->findChild<ToolbarButtons*>();
  SideBarView* side = content_->sideBar();
  // The order Tab takes from the window on, every control that takes it.
  std::vector<QWidget*> chain;
  for (QWidget* w = window->nextInFocusChain(); w != window; w = w->nextInFocusChain()) {
    if ((w->focusPolicy() & Qt::TabFocus) != 0 && w->isVisibleTo(window)) chain.push_back(w);
  }
  const auto at = [&chain](QWidget* w) { return std::find(chain.begin(), chain.end(), w) - chain.begin(); };
  ASSERT_GE(chain.size(), 5u);
  EXPECT_EQ(chain[0], buttons->plusButton());
  EXPECT_EQ(chain[1], buttons->minusButton());
  EXPECT_EQ(chain[2], tree());
  EXPECT_EQ(chain[3], side->exportOptions()->findChildren<QCheckBox*>().front());
  // The side bar from its top: the formats, the target, Run.
  EXPECT_LT(at(side->exportOptions()->pdfSwitch()),
            at(side->targetOptions()->findChildren<QPushButton*>().front()));
  EXPECT_EQ(chain.back(), side->runButton());

  // As the keyboard goes: the first Tab in the window reaches +.
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window));
  if (QWidget* focused = QApplication::focusWidget()) focused->clearFocus();
  QTest::keyClick(window, Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), buttons->plusButton());
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);  // "-" is off without a selection
  EXPECT_EQ(QApplication::focusWidget(), tree());
}

// After Delete the next row is selected, so that Delete can go on; after
// the last row, the one before it.
TEST_F(ContentViewTest, DeleteSelectsTheNextRow) {
  start();
  for (const char* name : {"a.docx", "b.xlsx", "c.key", "d.pages"}) options().addFile(tmp_.write(name));
  options().setSelection({options().fileList()[1].id});
  runQueued();
  focusList();
  QTest::keyClick(tree(), Qt::Key_Delete);
  runQueued();
  EXPECT_EQ(names(), (std::vector<std::string>{"a.docx", "c.key", "d.pages"}));
  EXPECT_EQ(options().selection(), std::unordered_set<Uuid>{options().fileList()[1].id});
  EXPECT_TRUE(tree()->selectionModel()->isSelected(tree()->model()->index(1, 0)));
  EXPECT_EQ(tree()->currentIndex().row(), 1);
  QTest::keyClick(tree(), Qt::Key_Delete);
  runQueued();
  EXPECT_EQ(names(), (std::vector<std::string>{"a.docx", "d.pages"}));
  options().setSelection({options().fileList()[1].id});
  runQueued();
  QTest::keyClick(tree(), Qt::Key_Delete);  // the last row: the one before it
  runQueued();
  EXPECT_EQ(options().selection(), std::unordered_set<Uuid>{options().fileList()[0].id});
  QTest::keyClick(tree(), Qt::Key_Delete);
  runQueued();
  EXPECT_TRUE(options().fileList().empty());
  EXPECT_TRUE(options().selection().empty());
}

// The last-run line: a cancelled run is told as such; the line hides while
// a run goes on; Run stays where it is when the line appears.
TEST_F(ContentViewTest, LastRunLineTellsACancelAndKeepsRunInPlace) {
  start();
  SideBarView* side = content_->sideBar();
  for (int i = 0; i < 5; ++i) options().addFile(tmp_.write("d" + std::to_string(i) + ".pages"));
  options().setTargetFolder(tmp_.mkdir("Out"));
  runQueued();
  const QRect runBefore = side->runButton()->geometry();
  EXPECT_FALSE(side->lastRunRow()->isVisible());

  ScriptError cancelled{{{"message", "the conversion was cancelled"}}};
  cancelled.cancelled = true;
  cancelled.converted = 2;
  scripts_.executeError = cancelled;
  delegate_->runConversion();
  runQueued();
  EXPECT_TRUE(side->lastRunRow()->isVisible());
  EXPECT_EQ(side->lastRunLabel()->text(), "Last run: Cancelled after 2 of 5");
  EXPECT_EQ(side->runButton()->geometry(), runBefore);

  content_->showRunStarted();
  EXPECT_FALSE(side->lastRunRow()->isVisible());
  content_->showRunEnded();
  EXPECT_TRUE(side->lastRunRow()->isVisible());

  scripts_.executeError.reset();
  delegate_->runConversion();
  runQueued();
  EXPECT_EQ(side->lastRunLabel()->text(), "Last run: 5 converted, 0 copied, 0 failed");
  EXPECT_EQ(side->runButton()->geometry(), runBefore);
  // Large counts, in longer words, still fit in the room kept.
  content_->showLastRun("12345 konvertiert, 1234 kopiert, 123 fehlgeschlagen", "/tmp");
  runQueued();
  QLabel* line = side->lastRunLabel();
  EXPECT_LE(line->heightForWidth(line->width()), line->height()) << line->width();
  EXPECT_EQ(side->runButton()->geometry(), runBefore);
}

// Show in Folder says so when no file manager takes the folder.
TEST_F(ContentViewTest, ShowInFolderTellsWhenNoFileManagerAnswers) {
  start();
  SideBarView* side = content_->sideBar();
  std::vector<QUrl> opened;
  bool answer = true;
  side->setUrlOpener([&](const QUrl& url) {
    opened.push_back(url);
    return answer;
  });
  const QString folder = QString::fromStdString(tmp_.mkdir("Out").string());
  content_->showLastRun("1 converted, 0 copied, 0 failed", folder);
  side->showInFolderButton()->click();
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0], QUrl::fromLocalFile(folder));

  answer = false;
  QString told, where;
  testing::whenModal<QMessageBox>([&](QMessageBox* box) {
    told = box->text();
    where = box->informativeText();
    box->accept();
  });
  side->showInFolderButton()->click();
  EXPECT_EQ(told, "No file manager opened the folder.");
  EXPECT_EQ(where, folder);
}

}  // namespace
}  // namespace morvane
