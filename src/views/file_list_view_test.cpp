#include "views/file_list_view.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QBrush>
#include <QImage>
#include <QPalette>
#include <QSignalSpy>
#include <QTreeView>
#include <algorithm>
#include <fstream>

#include "filelist/regular_files.h"
#include "testing/qt_helpers.h"
#include "testing/recording_fakes.h"
#include "testing/temp_dir.h"
#include "views/file_list_model.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;
using testing::runQueued;

// Lists every folder backwards, so that only sorting gives the order.
class BackwardsEnv : public testing::RecordingEnv {
 public:
  Status listDirectory(const fs::path& dir, std::vector<DirectoryItem>* out) override {
    Status s = RecordingEnv::listDirectory(dir, out);
    std::reverse(out->begin(), out->end());
    return s;
  }
};

class FileListViewTest : public ::testing::Test {
 protected:
  FileListModel* model() { return view_.model(); }
  QTreeView* tree() { return view_.tree(); }
  // The row of the entry at `path` (names below the temporary folder).
  QModelIndex row(const std::vector<std::string>& names) {
    QModelIndex index;
    for (const std::string& name : names) {
      QModelIndex found;
      for (int r = 0; r < model()->rowCount(index); ++r) {
        const QModelIndex child = model()->index(r, 0, index);
        if (child.data().toString().toStdString() == name) found = child;
      }
      EXPECT_TRUE(found.isValid()) << name;
      index = found;
    }
    return index;
  }
  const Uuid& idOf(const QModelIndex& index) { return model()->entry(index)->id; }
  void removeEntries(const std::vector<QModelIndex>& rows) {
    std::unordered_set<Uuid> ids;
    for (const QModelIndex& r : rows) ids.insert(idOf(r));
    options_.setSelection(ids);
    options_.removeSelectedEntries();
    runQueued();
  }

  testing::TempDir tmp_;
  BackwardsEnv env_;
  testing::FixedSystemVersion version_{{25, 0, 0}};
  MorvaneOptions options_{version_, env_};
  OptionsSignals changes_{options_};
  FileListView view_{changes_, env_};
};

TEST_F(FileListViewTest, ExpansionAndSelectionSurviveAddingAndRemovingEntries) {
  tmp_.write("F/Sub/deep.docx");
  tmp_.write("F/Sub/deeper.docx");
  tmp_.write("F/a.docx");
  tmp_.write("G/Inner/g.docx");
  options_.addFile(tmp_.write("first.docx"));
  options_.addFile(tmp_.path() / "F");
  options_.addFile(tmp_.path() / "G");
  runQueued();
  QSignalSpy resets(model(), &QAbstractItemModel::modelReset);
  tree()->expand(row({"F"}));
  tree()->expand(row({"F", "Sub"}));
  tree()->expand(row({"G"}));
  tree()->expand(row({"G", "Inner"}));
  tree()->selectionModel()->select(row({"F", "Sub", "deeper.docx"}), QItemSelectionModel::Select);
  tree()->selectionModel()->select(row({"G"}), QItemSelectionModel::Select);
  const std::unordered_set<Uuid> selected = options_.selection();
  ASSERT_EQ(selected.size(), 2u);
  const QPersistentModelIndex deeper = row({"F", "Sub", "deeper.docx"});

  options_.addFile(tmp_.write("late.pptx"));
  runQueued();
  EXPECT_EQ(model()->rowCount(), 4);
  EXPECT_TRUE(tree()->isExpanded(row({"F", "Sub"})));
  EXPECT_TRUE(tree()->isExpanded(row({"G", "Inner"})));
  EXPECT_EQ(options_.selection(), selected);
  EXPECT_EQ(tree()->selectionModel()->selectedIndexes().size(), 2);
  EXPECT_TRUE(tree()->selectionModel()->isSelected(deeper));

  // A top-level entry before the folders leaves: they move up, still open.
  tree()->selectionModel()->clearSelection();
  removeEntries({row({"first.docx"})});
  EXPECT_EQ(row({"F"}).row(), 0);
  EXPECT_TRUE(tree()->isExpanded(row({"F"})));
  EXPECT_TRUE(tree()->isExpanded(row({"F", "Sub"})));
  EXPECT_TRUE(tree()->isExpanded(row({"G", "Inner"})));
  ASSERT_TRUE(deeper.isValid());
  EXPECT_EQ(model()->entry(deeper)->url, tmp_.path() / "F/Sub/deeper.docx");

  // A whole folder leaves: the one after it keeps its expanded subfolder.
  removeEntries({row({"F"})});
  EXPECT_FALSE(deeper.isValid());
  EXPECT_TRUE(tree()->isExpanded(row({"G"})));
  EXPECT_TRUE(tree()->isExpanded(row({"G", "Inner"})));
  EXPECT_EQ(resets.size(), 0);
}

TEST_F(FileListViewTest, RemovingANestedEntryKeepsItsFoldersExpanded) {
  tmp_.write("F/Sub/deep.docx");
  tmp_.write("F/Sub/deeper.docx");
  tmp_.write("F/Sub/Leaf/x.docx");
  tmp_.write("F/z.docx");
  options_.addFile(tmp_.path() / "F");
  runQueued();
  QSignalSpy removed(model(), &QAbstractItemModel::rowsRemoved);
  tree()->expandAll();
  const QPersistentModelIndex leaf = row({"F", "Sub", "Leaf"});
  const QPersistentModelIndex x = row({"F", "Sub", "Leaf", "x.docx"});
  tree()->selectionModel()->select(x, QItemSelectionModel::Select);

  removeEntries({row({"F", "Sub", "deep.docx"}), row({"F", "z.docx"})});
  ASSERT_EQ(removed.size(), 2);
  for (const QList<QVariant>& signal : removed) {
    EXPECT_TRUE(signal[0].value<QModelIndex>().isValid());  // below a folder, not the top
  }
  EXPECT_EQ(model()->rowCount(row({"F"})), 1);
  EXPECT_EQ(model()->rowCount(row({"F", "Sub"})), 2);  // Leaf, deeper.docx
  EXPECT_TRUE(tree()->isExpanded(row({"F"})));
  EXPECT_TRUE(tree()->isExpanded(row({"F", "Sub"})));
  EXPECT_TRUE(tree()->isExpanded(leaf));
  EXPECT_EQ(leaf.row(), 0);
  EXPECT_EQ(model()->entry(x)->url, tmp_.path() / "F/Sub/Leaf/x.docx");
  EXPECT_TRUE(options_.selection().empty());
  EXPECT_FALSE(tree()->selectionModel()->hasSelection());
}

TEST_F(FileListViewTest, EntriesARunWouldNotConvertAreDrawnDisabled) {
  const QColor disabled = QApplication::palette().color(QPalette::Disabled, QPalette::Text);
  ASSERT_NE(disabled, QApplication::palette().color(QPalette::Active, QPalette::Text));
  for (const char* name : {"a.docx", "b.pages", "c.txt", "Report.pages/Index/Document.iwa",
                           "Plain/x.xlsx", "Plain/y.key"}) {
    tmp_.write(name);
  }
  for (const char* name : {"a.docx", "b.pages", "c.txt", "Report.pages", "Plain"}) {
    options_.addFile(tmp_.path() / name);
  }
  runQueued();
  tree()->expandAll();
  auto greyed = [&](const std::vector<std::string>& names) {
    const QVariant colour = row(names).data(Qt::ForegroundRole);
    if (!colour.isValid()) return false;
    EXPECT_EQ(colour.value<QBrush>().color(), disabled);
    return true;
  };
  auto state = [&] {
    return std::vector<bool>{greyed({"a.docx"}),         greyed({"b.pages"}),
                             greyed({"c.txt"}),          greyed({"Report.pages"}),
                             greyed({"Report.pages", "Index"}),
                             greyed({"Report.pages", "Index", "Document.iwa"}),
                             greyed({"Plain"}),          greyed({"Plain", "x.xlsx"}),
                             greyed({"Plain", "y.key"})};
  };
  // Office export alone: the iWork documents convert, the Office ones not;
  // a package's insides never by themselves; walked folders are drawn plainly.
  EXPECT_EQ(state(), (std::vector<bool>{true, false, true, false, true, true, false, true, false}));

  QSignalSpy changed(model(), &QAbstractItemModel::dataChanged);
  options_.setOfficeExport(false);
  options_.setIworkExport(true);
  runQueued();
  EXPECT_EQ(state(), (std::vector<bool>{false, true, true, true, true, true, false, false, true}));
  ASSERT_FALSE(changed.isEmpty());
  bool topLevelRefreshed = false;
  for (const QList<QVariant>& signal : changed) {
    EXPECT_EQ(signal[2].value<QList<int>>(), QList<int>{Qt::ForegroundRole});
    const QModelIndex first = signal[0].value<QModelIndex>();
    const QModelIndex last = signal[1].value<QModelIndex>();
    if (!first.parent().isValid() && first.row() == 0 && last.row() == 4) topLevelRefreshed = true;
  }
  EXPECT_TRUE(topLevelRefreshed);

  options_.setIworkExport(false);
  runQueued();
  for (const char* name : {"a.docx", "b.pages", "Report.pages"}) EXPECT_TRUE(greyed({name})) << name;
  EXPECT_FALSE(greyed({"Plain"}));
}

// A greyed row says in its tooltip, below its path, why the run leaves it out.
TEST_F(FileListViewTest, GreyedRowsSayWhyInTheirTooltip) {
  for (const char* name : {"a.docx", "b.pages", "c.txt", "Report.pages/Index/Document.iwa"}) {
    tmp_.write(name);
  }
  for (const char* name : {"a.docx", "b.pages", "c.txt", "Report.pages"}) {
    options_.addFile(tmp_.path() / name);
  }
  runQueued();
  tree()->expandAll();
  auto tip = [&](const std::vector<std::string>& names) {
    return row(names).data(Qt::ToolTipRole).toString().toStdString();
  };
  const std::string a = (tmp_.path() / "a.docx").string();
  EXPECT_EQ(tip({"a.docx"}),
            a + "\nNot converted: docx files have no Office export: choose PDF or iWork");
  EXPECT_EQ(tip({"b.pages"}), (tmp_.path() / "b.pages").string());
  EXPECT_EQ(tip({"c.txt"}), (tmp_.path() / "c.txt").string() +
                                "\nNot a document to convert: left out");
  EXPECT_TRUE(tip({"Report.pages", "Index"}).ends_with("\nPart of a document package: converted "
                                                       "with it"));
  options_.setCopyNonconvertibleFiles(true);
  options_.setOfficeExport(false);
  options_.setIworkExport(true);
  runQueued();
  EXPECT_EQ(tip({"a.docx"}), a);
  EXPECT_EQ(tip({"b.pages"}), (tmp_.path() / "b.pages").string() +
                                  "\nNot converted: pages files have no iWork export: choose PDF "
                                  "or Office");
  EXPECT_TRUE(tip({"c.txt"}).ends_with("\nNot a document to convert: copied to the target folder"));
}

TEST_F(FileListViewTest, RowsShowTheFullPathAndTheirTypesIcon) {
  tmp_.write("F/Report.pages");
  tmp_.write("F/Other/Report.pages");
  options_.addFile(tmp_.path() / "F");
  options_.addFile(tmp_.write("notes.txt"));
  runQueued();
  EXPECT_EQ(row({"F", "Report.pages"}).data(Qt::ToolTipRole).toString().toStdString(),
            (tmp_.path() / "F/Report.pages").string());
  EXPECT_EQ(row({"F", "Other", "Report.pages"}).data(Qt::ToolTipRole).toString().toStdString(),
            (tmp_.path() / "F/Other/Report.pages").string());
  EXPECT_EQ(row({"F"}).data(Qt::ToolTipRole).toString().toStdString(), (tmp_.path() / "F").string());

  // Without an icon theme (as here): the desktop's own file and folder icons.
  const QIcon folder = row({"F"}).data(Qt::DecorationRole).value<QIcon>();
  const QIcon file = row({"notes.txt"}).data(Qt::DecorationRole).value<QIcon>();
  EXPECT_FALSE(folder.isNull());
  EXPECT_FALSE(file.isNull());
  EXPECT_NE(folder.cacheKey(), file.cacheKey());
}

// An icon theme that knows only the generic document icon: a Word file
// gets it, a text file falls back to the plain file icon.
TEST_F(FileListViewTest, IconsComeFromTheThemeByMimeType) {
  const fs::path icons = tmp_.mkdir("icons/morvane-test/16x16/mimetypes");
  std::ofstream(tmp_.path() / "icons/morvane-test/index.theme")
      << "[Icon Theme]\nName=Morvane Test\nDirectories=16x16/mimetypes\n\n"
         "[16x16/mimetypes]\nSize=16\nType=Fixed\n";
  QImage image(16, 16, QImage::Format_ARGB32);
  image.fill(Qt::red);
  ASSERT_TRUE(image.save(QString::fromStdString((icons / "x-office-document.png").string())));
  image.fill(Qt::blue);
  ASSERT_TRUE(
      image.save(QString::fromStdString((icons / "x-office-presentation.png").string())));
  const QStringList searchPaths = QIcon::themeSearchPaths();
  const QString theme = QIcon::themeName();
  QIcon::setThemeSearchPaths({QString::fromStdString((tmp_.path() / "icons").string())});
  QIcon::setThemeName("morvane-test");

  options_.addFile(tmp_.write("letter.docx"));
  options_.addFile(tmp_.write("plain.txt"));
  options_.addFile(tmp_.write("Talk.key"));  // a presentation, not a PGP key
  FileListModel fresh(changes_, env_);  // icons are looked up once per type
  // Theme icons are looked up again when drawn: checked while the theme is set.
  const QIcon word = fresh.index(0, 0).data(Qt::DecorationRole).value<QIcon>();
  const QIcon text = fresh.index(1, 0).data(Qt::DecorationRole).value<QIcon>();
  EXPECT_EQ(word.name(), "x-office-document");
  EXPECT_EQ(word.pixmap(16, 16).toImage().pixelColor(8, 8), QColor(Qt::red));
  EXPECT_NE(text.name(), "x-office-document");
  EXPECT_FALSE(text.pixmap(16, 16).isNull());
  const QIcon talk = fresh.index(2, 0).data(Qt::DecorationRole).value<QIcon>();
  EXPECT_EQ(talk.pixmap(16, 16).toImage().pixelColor(8, 8), QColor(Qt::blue));
  QIcon::setThemeName(theme);
  QIcon::setThemeSearchPaths(searchPaths);
}

// As a folder opened from the file manager is added: one entry per file,
// siblings by sort key, each folder's files where the folder sorts.
TEST_F(FileListViewTest, AFlattenedFolderComesInSortOrder) {
  for (const char* name : {"Drop/b.docx", "Drop/a.numbers", "Drop/Mid/z.docx", "Drop/Mid/Y.docx",
                           "Drop/A.pages", "Drop/notes.final.docx"}) {
    tmp_.write(name);
  }
  for (const fs::path& file : regularFilesIn(tmp_.path() / "Drop", env_)) options_.addFile(file);
  runQueued();
  std::vector<std::string> shown;
  for (int r = 0; r < model()->rowCount(); ++r) {
    const fs::path path =
        model()->index(r, 0).data(Qt::ToolTipRole).toString().section(u'\n', 0, 0).toStdString();
    shown.push_back(fs::relative(path, tmp_.path() / "Drop").string());
  }
  EXPECT_EQ(shown, (std::vector<std::string>{"A.pages", "Mid/Y.docx", "Mid/z.docx", "a.numbers",
                                             "b.docx", "notes.final.docx"}));
}

// Walks the model and the list side by side: every row shows the entry at
// the same place of the list, and every row knows its parent.
void expectModelShowsList(FileListModel& model, const std::vector<NQFileDataObject>& entries,
                          const QModelIndex& parent = {}) {
  ASSERT_EQ(model.rowCount(parent), static_cast<int>(entries.size()));
  for (std::size_t r = 0; r < entries.size(); ++r) {
    const QModelIndex index = model.index(static_cast<int>(r), 0, parent);
    ASSERT_EQ(model.entry(index)->id, entries[r].id);
    ASSERT_EQ(model.parent(index), parent);
    if (entries[r].dirContents) expectModelShowsList(model, *entries[r].dirContents, index);
  }
}

TEST_F(FileListViewTest, ModelStaysConsistentThroughAddsAndRemovals) {
  for (int i = 0; i < 24; ++i) {
    tmp_.write("T/d" + std::to_string(i % 3) + "/e" + std::to_string(i % 2) + "/f" +
               std::to_string(i) + ".docx");
  }
  tmp_.mkdir("T/empty");
  tmp_.write("P/Deck.key/Data/a.jpg");
  QAbstractItemModelTester tester(model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
  auto check = [&] {
    runQueued();
    expectModelShowsList(*model(), options_.fileList());
  };
  options_.addFile(tmp_.path() / "T");
  options_.addFile(tmp_.write("loose.pptx"));
  options_.addFile(tmp_.path() / "P");
  options_.addFile(tmp_.path() / "T");
  check();
  tree()->expandAll();
  const QPersistentModelIndex lastFolder = model()->index(3, 0);
  // Nested entries at several depths, a folder holding expanded ones, a
  // top-level file, then everything but the last folder.
  const std::vector<NQFileDataObject>& list = options_.fileList();
  removeEntries({model()->indexOf(list[3].dirContents->at(1).dirContents->at(0).id),    // T/d1/e0
                 model()->indexOf(list[0].dirContents->at(0).dirContents->at(1).id)});  // T/d0/e1
  check();
  removeEntries({row({"P", "Deck.key", "Data", "a.jpg"}), row({"loose.pptx"})});
  check();
  EXPECT_EQ(lastFolder.row(), 2);
  EXPECT_TRUE(tree()->isExpanded(lastFolder));
  options_.addFile(tmp_.write("after.docx"));
  check();
  removeEntries({model()->index(0, 0), model()->index(1, 0), model()->index(3, 0)});
  check();
  EXPECT_EQ(lastFolder.row(), 0);
  EXPECT_TRUE(tree()->isExpanded(model()->index(0, 0, lastFolder)));
  options_.setFileList({});
  check();
  EXPECT_EQ(view_.currentWidget(), view_.emptyView());
  options_.addFile(tmp_.path() / "T");
  check();
  EXPECT_EQ(view_.currentWidget(), tree());
}

}  // namespace
}  // namespace morvane
