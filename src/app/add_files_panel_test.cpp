#include "app/add_files_panel.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAbstractButton>
#include <QDir>
#include <QLineEdit>
#include <QTest>
#include <QFileSystemModel>
#include <QListWidget>
#include <QSet>
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

// Every control of the panel says to a screen reader what it is.
TEST_F(AddFilesPanelTest, EveryControlHasAnAccessibleName) {
  AddFilesPanel panel;
  panel.show();
  show(panel, tmp_.path());
  for (QWidget* widget : panel.findChildren<QWidget*>()) {
    const bool control = (widget->focusPolicy() & Qt::TabFocus) != 0 ||
                         qobject_cast<QAbstractButton*>(widget) != nullptr;
    if (!control || !widget->isVisibleTo(&panel)) continue;
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
    ASSERT_NE(accessible, nullptr);
    EXPECT_FALSE(accessible->text(QAccessible::Name).trimmed().isEmpty())
        << widget->metaObject()->className();
  }
}

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

TEST_F(AddFilesPanelTest, ATypedPathIsShownOrChosenAndReturnAddsOnlyIt) {
  AddFilesPanel panel;
  show(panel, tmp_.path());
  panel.show();
  const auto type = [&panel](const QString& text) {
    panel.location()->setFocus();
    panel.location()->setText(text);
    QTest::keyClick(panel.location(), Qt::Key_Return);
  };
  // A folder is shown, relative to the one shown or from "~".
  select(panel, tmp_.path() / "a.docx");
  type("Folder");
  EXPECT_EQ(panel.directory().toStdString(), (tmp_.path() / "Folder").string());
  EXPECT_TRUE(panel.chosen().empty());
  EXPECT_TRUE(panel.isVisible());  // Return chose nothing
  type("~");
  EXPECT_EQ(panel.directory(), QDir::homePath());
  // Nothing there: what was selected before is not added instead.
  show(panel, tmp_.path());
  select(panel, tmp_.path() / "a.docx");
  type(QString::fromStdString((tmp_.path() / "Gone.docx").string()));
  EXPECT_TRUE(panel.chosen().empty());
  EXPECT_TRUE(panel.isVisible());
  EXPECT_EQ(panel.location()->text().toStdString(), (tmp_.path() / "Gone.docx").string());
  // A file: its folder is shown, and Return adds it alone.
  select(panel, tmp_.path() / "a.docx");
  type(QString::fromStdString((tmp_.path() / "Folder/inner.key").string()));
  EXPECT_EQ(panel.result(), QDialog::Accepted);
  EXPECT_EQ(panel.chosen(), std::vector<fs::path>{tmp_.path() / "Folder/inner.key"});
  EXPECT_EQ(panel.directory().toStdString(), (tmp_.path() / "Folder").string());
}

TEST_F(AddFilesPanelTest, PlacesBesideTheListingAndIconsInIt) {
  AddFilesPanel panel;
  const QList<QUrl> places = panel.sidebarUrls();
  ASSERT_FALSE(places.isEmpty());
  EXPECT_EQ(places.front(), QUrl::fromLocalFile(QDir::homePath()));
  EXPECT_TRUE(places.contains(QUrl::fromLocalFile("/")));
  EXPECT_EQ(places.size(), QSet<QUrl>(places.begin(), places.end()).size());
  for (const QUrl& place : places) EXPECT_TRUE(QFileInfo(place.toLocalFile()).isDir());

  show(panel, tmp_.path());
  for (const char* name : {"a.docx", "Folder"}) {
    const QIcon icon = panel.model()->data(indexOf(panel, tmp_.path() / name), Qt::DecorationRole)
                           .value<QIcon>();
    EXPECT_FALSE(icon.isNull()) << name;
  }
  // Choosing a place shows it.
  QListWidgetItem* home = panel.places()->item(0);
  emit panel.places()->itemClicked(home);
  EXPECT_EQ(panel.directory(), QDir::homePath());
}

TEST(ChooserPlacesTest, OnlyTheUsersVolumes) {
  EXPECT_TRUE(isUserVolume("/media/ann/USB STICK", "vfat"));
  EXPECT_TRUE(isUserVolume("/run/media/ann/Backup", "ext4"));
  EXPECT_TRUE(isUserVolume("/mnt/data", "ext4"));
  EXPECT_TRUE(isUserVolume("/srv/shared", "nfs4"));
  EXPECT_FALSE(isUserVolume("/media", "ext4"));
  EXPECT_FALSE(isUserVolume("/", "ext4"));  // offered as the root folder
  for (const char* system : {"/proc", "/sys/fs/cgroup", "/run/user/1000", "/run/lock",
                             "/snap/core22/1122", "/boot/efi", "/dev/shm", "/var/lib/docker",
                             "/tmp"}) {
    EXPECT_FALSE(isUserVolume(system, "ext4")) << system;
  }
  EXPECT_FALSE(isUserVolume("/data", "tmpfs"));
  EXPECT_FALSE(isUserVolume("/mnt/snap", "squashfs"));
  // The real mounts of this machine: no pseudo file system among them.
  for (const QUrl& place : chooserPlaces()) {
    const QString path = place.toLocalFile();
    EXPECT_FALSE(path.startsWith("/proc") || path.startsWith("/sys") || path.startsWith("/dev"))
        << path.toStdString();
  }
}

}  // namespace
}  // namespace morvane
