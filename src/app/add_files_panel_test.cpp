#include "app/add_files_panel.h"

#include <gtest/gtest.h>

#include <QFileSystemModel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeView>

#include "testing/qt_helpers.h"
#include "testing/temp_dir.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;

class AddFilesPanelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tmp_.write("a.docx");
    tmp_.write("b.xlsx");
    tmp_.write(".hidden.pptx");
    tmp_.write("Folder/inner.key");
  }
  // Shows `dir` and waits until the model has read it.
  void show(AddFilesPanel& panel, const fs::path& dir, int rows = 3) {
    panel.setDirectory(QString::fromStdString(dir.string()));
    ASSERT_TRUE(testing::waitFor(
        [&] { return panel.model()->rowCount(panel.view()->rootIndex()) >= rows; }));
  }
  QModelIndex indexOf(AddFilesPanel& panel, const fs::path& path) {
    return panel.model()->index(QString::fromStdString(path.string()));
  }
  void select(AddFilesPanel& panel, const fs::path& path) {
    panel.view()->selectionModel()->select(
        indexOf(panel, path), QItemSelectionModel::Select | QItemSelectionModel::Rows);
  }

  testing::TempDir tmp_;
};

TEST_F(AddFilesPanelTest, ChoosesFilesAndFoldersTogetherInSelectionOrder) {
  AddFilesPanel panel;
  show(panel, tmp_.path());
  EXPECT_EQ(panel.model()->rowCount(panel.view()->rootIndex()), 3);  // hidden file not shown
  EXPECT_FALSE(panel.openButton()->isEnabled());
  select(panel, tmp_.path() / "b.xlsx");
  select(panel, tmp_.path() / "Folder");
  select(panel, tmp_.path() / "a.docx");
  EXPECT_TRUE(panel.openButton()->isEnabled());
  EXPECT_EQ(panel.chosen(), (std::vector<fs::path>{tmp_.path() / "b.xlsx", tmp_.path() / "Folder",
                                                   tmp_.path() / "a.docx"}));
}

TEST_F(AddFilesPanelTest, ActivatingAFolderEntersIt) {
  AddFilesPanel panel;
  show(panel, tmp_.path());
  emit panel.view()->activated(indexOf(panel, tmp_.path() / "Folder"));
  EXPECT_EQ(panel.directory().toStdString(), (tmp_.path() / "Folder").string());
  EXPECT_EQ(panel.result(), QDialog::Rejected);  // still open, nothing chosen yet
}

TEST_F(AddFilesPanelTest, RunReturnsTheChoiceOrNothing) {
  QtOpenPanel openPanel;
  testing::whenModal<AddFilesPanel>([this](AddFilesPanel* panel) {
    show(*panel, tmp_.path());
    select(*panel, tmp_.path() / "Folder");
    select(*panel, tmp_.path() / "a.docx");
    panel->openButton()->click();
  });
  EXPECT_EQ(openPanel.run(), (std::vector<fs::path>{tmp_.path() / "Folder", tmp_.path() / "a.docx"}));

  testing::whenModal<AddFilesPanel>([this](AddFilesPanel* panel) {
    EXPECT_EQ(panel->directory().toStdString(), tmp_.path().string());  // where it was left
    select(*panel, tmp_.path() / "a.docx");
    panel->reject();
  });
  EXPECT_TRUE(openPanel.run().empty());
}

}  // namespace
}  // namespace morvane
