#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QAction>
#include <QCheckBox>
#include <QDropEvent>
#include <QLabel>
#include <QMainWindow>
#include <QMimeData>
#include <QPushButton>
#include <QTreeView>

#include "app/app_delegate.h"
#include "testing/qt_helpers.h"
#include "testing/recording_fakes.h"
#include "testing/temp_dir.h"
#include "testing/ui_fakes.h"
#include "views/content_view.h"
#include "views/export_options_view.h"
#include "views/file_drop_target.h"
#include "views/file_list_model.h"
#include "views/file_list_view.h"
#include "views/side_bar_view.h"
#include "views/target_options_view.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;
using testing::runQueued;

class ViewsTest : public ::testing::Test {
 protected:
  ViewsTest()
      : delegate_({env_, version_, scripts_, alerts_, panel_,
                   [] { return std::make_unique<testing::CountingUpdates>(); },
                   contentViewFor}) {
    delegate_.setUpMainWindow();
    content_ = static_cast<ContentView*>(delegate_.contentView());
  }
  MorvaneOptions& options() { return delegate_.options(); }
  SideBarView* sideBar() { return content_->sideBar(); }
  FileListView* list() { return content_->fileList(); }
  QMimeData* urls(const std::vector<fs::path>& paths) {
    auto* data = new QMimeData;
    QList<QUrl> list;
    for (const fs::path& p : paths) list << QUrl::fromLocalFile(QString::fromStdString(p.string()));
    data->setUrls(list);
    return data;
  }

  testing::TempDir tmp_;
  testing::RecordingEnv env_;
  testing::FixedSystemVersion version_{{25, 0, 0}};
  testing::FakeScriptService scripts_;
  testing::FakeAlertService alerts_;
  testing::FakeOpenPanel panel_;
  AppDelegate delegate_;
  ContentView* content_;
};

TEST_F(ViewsTest, HintRowsAndRunFollowListAndTarget) {
  EXPECT_EQ(content_->size(), QSize(800, 600));
  EXPECT_LE(sideBar()->width(), 320);
  auto state = [this] {
    runQueued();
    return std::tuple{sideBar()->addFilesHint()->isVisible(), sideBar()->targetHint()->isVisible(),
                      sideBar()->runButton()->isEnabled()};
  };
  EXPECT_EQ(state(), std::tuple(true, true, false));
  options().addFile(tmp_.mkdir("OnlyAFolder"));
  EXPECT_EQ(state(), std::tuple(false, true, false));
  options().setTargetFolder(tmp_.path() / "Out");
  EXPECT_EQ(state(), std::tuple(false, false, true));
  options().setSelection({options().fileList()[0].id});
  options().removeSelectedEntries();
  EXPECT_EQ(state(), std::tuple(true, false, false));
  EXPECT_LT(sideBar()->addFilesHint()->y(), sideBar()->runButton()->y());

  options().addFile(tmp_.write("a.pages"));
  state();
  sideBar()->runButton()->click();
  EXPECT_EQ(scripts_.created.size(), 1u);  // Run reached runConversion once

  // Without any export format there is nothing to run.
  options().setOfficeExport(false);
  options().setIworkExport(false);
  options().setPdfExport(false);
  EXPECT_EQ(state(), std::tuple(false, false, false));
  EXPECT_TRUE(sideBar()->formatHint()->isVisible());
  options().setPdfExport(true);
  EXPECT_EQ(state(), std::tuple(false, false, true));
  EXPECT_FALSE(sideBar()->formatHint()->isVisible());
}

// A list of which the chosen formats make no file: the hint row says which
// documents and why, and Run stays off until a format gives them an export
// or another document would be converted.
TEST_F(ViewsTest, HintRowTellsWhyNothingWouldBeConverted) {
  options().setTargetFolder(tmp_.path() / "Out");
  options().addFile(tmp_.write("a.docx"));
  options().addFile(tmp_.write("b.docx"));
  runQueued();
  EXPECT_TRUE(sideBar()->noExportHint()->isVisible());
  EXPECT_FALSE(sideBar()->runButton()->isEnabled());
  EXPECT_EQ(sideBar()->noExportHintLabel()->text().toStdString(),
            "docx files have no Office export: choose PDF or iWork (a.docx, b.docx)");
  sideBar()->runButton()->click();
  EXPECT_TRUE(scripts_.created.empty());
  options().addFile(tmp_.write("c.pages"));
  runQueued();
  EXPECT_FALSE(sideBar()->noExportHint()->isVisible());
  EXPECT_TRUE(sideBar()->runButton()->isEnabled());
  options().setSelection({options().fileList()[2].id});
  options().removeSelectedEntries();
  options().setPdfExport(true);
  runQueued();
  EXPECT_FALSE(sideBar()->noExportHint()->isVisible());
  EXPECT_TRUE(sideBar()->runButton()->isEnabled());
  // Copied files are made too: the run has something to do.
  options().setPdfExport(false);
  options().setCopyNonconvertibleFiles(true);
  options().addFile(tmp_.write("notes.txt"));
  runQueued();
  EXPECT_FALSE(sideBar()->noExportHint()->isVisible());
  EXPECT_TRUE(sideBar()->runButton()->isEnabled());
}

TEST_F(ViewsTest, ExportSwitchesWriteThroughAndFollowTheOptions) {
  ExportOptionsView* exports = sideBar()->exportOptions();
  EXPECT_EQ(exports->officeSwitch()->text(), "MS Office");
  EXPECT_EQ(exports->iworkSwitch()->text(), "iWork");
  EXPECT_EQ(exports->pdfSwitch()->text(), ".pdf");
  EXPECT_TRUE(exports->officeSwitch()->isChecked());
  EXPECT_LT(exports->creatorStudioSwitch()->y(), exports->officeSwitch()->y());

  exports->pdfSwitch()->click();
  EXPECT_TRUE(options().pdfExport());
  EXPECT_TRUE(options().officeExport());
  EXPECT_FALSE(options().iworkExport());
  EXPECT_FALSE(options().useCreatorStudio());
  exports->officeSwitch()->click();
  exports->pdfSwitch()->click();
  EXPECT_EQ(options().exportClassFlags(),
            (std::map<std::string, bool>{{"office", false}, {"iwork", false}, {"pdf", false}}));
  exports->creatorStudioSwitch()->click();
  EXPECT_TRUE(options().useCreatorStudio());
  for (QCheckBox* box : {exports->officeSwitch(), exports->iworkSwitch(), exports->pdfSwitch()}) {
    EXPECT_TRUE(box->isEnabled());
    EXPECT_FALSE(box->isChecked());
  }
  options().setIworkExport(true);
  runQueued();
  EXPECT_TRUE(exports->iworkSwitch()->isChecked());
}

TEST_F(ViewsTest, TargetRowAndChoose) {
  TargetOptionsView* target = sideBar()->targetOptions();
  EXPECT_TRUE(target->noFolder()->isVisible());
  EXPECT_EQ(target->noFolder()->text(), "---");
  EXPECT_TRUE(target->noFolder()->toolTip().isEmpty());
  EXPECT_FALSE(target->folderName()->isVisible());
  EXPECT_EQ(target->chooseButton()->text(), QString::fromUtf8("Choose\u2026"));

  target->chooseButton()->click();  // cancelled, none set
  runQueued();
  EXPECT_TRUE(target->noFolder()->isVisible());
  EXPECT_EQ(env_.lines.back(), "no target folder chosen!");

  const fs::path folder = tmp_.mkdir("Converted Files");
  alerts_.panelAnswer = folder;
  target->chooseButton()->click();
  runQueued();
  EXPECT_EQ(options().targetFolder(), folder);
  EXPECT_EQ(env_.lines.back(), "file://" + tmp_.path().string() + "/Converted%20Files");
  EXPECT_FALSE(target->noFolder()->isVisible());
  EXPECT_TRUE(target->folderIcon()->isVisible());
  EXPECT_FALSE(target->folderIcon()->pixmap().isNull());
  EXPECT_EQ(target->folderName()->text(), "Converted Files");
  EXPECT_EQ(target->folderName()->toolTip().toStdString(), folder.string());
  EXPECT_EQ(target->folderIcon()->toolTip().toStdString(), folder.string());

  alerts_.panelAnswer.reset();
  target->chooseButton()->click();  // cancelled: the folder stays
  EXPECT_EQ(options().targetFolder(), folder);

  target->rebuildSwitch()->click();
  EXPECT_TRUE(options().rebuildStruct());
  EXPECT_FALSE(options().copyNonconvertibleFiles());
  options().setCopyNonconvertibleFiles(true);
  runQueued();
  EXPECT_TRUE(target->copySwitch()->isChecked());
}

TEST_F(ViewsTest, DropsAddFilesAndFoldersAndRefuseText) {
  EXPECT_EQ(list()->currentWidget(), list()->emptyView());
  EXPECT_EQ(list()->emptyView()->titleLabel()->text(), "No files added yet");
  EXPECT_TRUE(list()->emptyView()->hintLabel()->text().contains("<code>+</code>"));

  QMimeData text;
  text.setText("just some text");
  QDropEvent refused(QPointF(10, 10), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
  list()->dropTarget()->eventFilter(list()->emptyView(), &refused);
  EXPECT_FALSE(refused.isAccepted());
  EXPECT_FALSE(list()->dropTarget()->performDrop(&text));

  std::unique_ptr<QMimeData> three(urls({tmp_.write("a.docx"), tmp_.write("b.xlsx"), tmp_.write("c.key")}));
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, three.get(), Qt::LeftButton, Qt::NoModifier);
  EXPECT_TRUE(list()->dropTarget()->eventFilter(list()->emptyView(), &enter));
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(10, 10), Qt::CopyAction, three.get(), Qt::LeftButton, Qt::NoModifier);
  EXPECT_TRUE(list()->dropTarget()->eventFilter(list()->emptyView(), &drop));
  EXPECT_TRUE(drop.isAccepted());
  EXPECT_TRUE(options().fileList().empty());  // added on later turns of the loop
  runQueued();
  ASSERT_EQ(options().fileList().size(), 3u);
  EXPECT_EQ(list()->currentWidget(), list()->tree());
  EXPECT_EQ(list()->model()->rowCount(), 3);

  tmp_.write("Folder/b.docx");
  tmp_.write("Folder/A.pages");
  std::unique_ptr<QMimeData> folder(urls({tmp_.path() / "Folder"}));
  EXPECT_TRUE(list()->dropTarget()->performDrop(folder.get()));
  runQueued();
  const QModelIndex row = list()->model()->index(3, 0);
  EXPECT_TRUE(list()->model()->hasChildren(row));
  EXPECT_EQ(list()->model()->rowCount(row), 2);
  EXPECT_EQ(list()->model()->index(0, 0, row).data().toString(), "A.pages");
}

TEST_F(ViewsTest, SelectionStaysInStepAtAnyDepth) {
  tmp_.write("F/Sub/deep.docx");
  tmp_.write("F/top.docx");
  options().addFile(tmp_.path() / "F");
  options().addFile(tmp_.mkdir("Empty"));
  runQueued();
  FileListModel* model = list()->model();
  QTreeView* tree = list()->tree();
  const QModelIndex folder = model->index(0, 0);
  EXPECT_TRUE(model->hasChildren(model->index(1, 0)));  // an empty folder can be expanded
  tree->expandAll();
  const QModelIndex sub = model->index(0, 0, folder);
  const QModelIndex deep = model->index(0, 0, sub);
  const QModelIndex top = model->index(1, 0, folder);
  tree->selectionModel()->select(deep, QItemSelectionModel::Select);
  tree->selectionModel()->select(top, QItemSelectionModel::Select);
  EXPECT_EQ(options().selection(),
            (std::unordered_set<Uuid>{model->entry(deep)->id, model->entry(top)->id}));

  const std::size_t lines = env_.lines.size();
  emit tree->doubleClicked(deep);
  ASSERT_EQ(env_.lines.size(), lines + 1);
  EXPECT_TRUE(env_.lines.back().starts_with("did click ["));
  EXPECT_EQ(options().selection().size(), 2u);

  runQueued();  // "Delete" is enabled once the selection has arrived
  content_->deleteAction()->trigger();
  EXPECT_EQ(model->rowCount(sub), 1);  // posted, not yet run
  runQueued();
  // The selection goes to what held the first removed entry (Sub).
  const QModelIndex folderAfter = model->index(0, 0);
  EXPECT_EQ(options().selection(),
            std::unordered_set<Uuid>{model->entry(model->index(0, 0, folderAfter))->id});
  EXPECT_TRUE(tree->selectionModel()->isSelected(model->index(0, 0, folderAfter)));
  EXPECT_EQ(model->rowCount(folderAfter), 1);
  EXPECT_EQ(model->rowCount(model->index(0, 0, folderAfter)), 0);

  options().setSelection({options().fileList()[1].id});
  runQueued();
  EXPECT_TRUE(tree->selectionModel()->isSelected(model->index(1, 0)));
}

TEST_F(ViewsTest, PlusIsPostedToTheEventLoop) {
  EXPECT_EQ(delegate_.window()->findChildren<QAction*>("Plus").size(), 1);
  content_->plusAction()->trigger();
  EXPECT_EQ(panel_.runs, 0);
  runQueued();
  EXPECT_EQ(panel_.runs, 1);
}

TEST(FileListModelTest, PassesTheModelTesterThroughChanges) {
  testing::TempDir tmp;
  for (int i = 0; i < 40; ++i) tmp.write("Tree/d" + std::to_string(i % 4) + "/f" + std::to_string(i) + ".docx");
  tmp.mkdir("Tree/empty");
  testing::RecordingEnv env;
  testing::FixedSystemVersion version({25, 0, 0});
  MorvaneOptions options(version, env);
  OptionsSignals changes(options);
  FileListModel model(changes, env);
  QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
  options.addFile(tmp.path() / "Tree");
  options.addFile(tmp.write("loose.pptx"));
  runQueued();
  EXPECT_EQ(model.rowCount(), 2);
  EXPECT_EQ(model.rowCount(model.index(0, 0)), 5);
  options.setSelection({(*options.fileList()[0].dirContents)[1].id, options.fileList()[1].id});
  options.removeSelectedEntries();
  runQueued();
  EXPECT_EQ(model.rowCount(), 1);
  EXPECT_EQ(model.rowCount(model.index(0, 0)), 4);
}

}  // namespace
}  // namespace morvane
