#include "options/morvane_options.h"

#include <gtest/gtest.h>

#include "testing/recording_fakes.h"
#include "testing/temp_dir.h"

namespace morvane {
namespace {

using testing::FixedSystemVersion;
using testing::RecordingEnv;
using testing::TempDir;

const FixedSystemVersion kSequoia({25, 3, 1});
const FixedSystemVersion kTahoe({26, 0, 0});

TEST(MorvaneOptionsTest, DefaultsDependOnSystemVersion) {
  RecordingEnv env;
  MorvaneOptions older(kSequoia, env);
  EXPECT_TRUE(older.officeExport());
  EXPECT_FALSE(older.iworkExport());
  EXPECT_FALSE(older.pdfExport());
  EXPECT_FALSE(older.rebuildStruct());
  EXPECT_FALSE(older.copyNonconvertibleFiles());
  EXPECT_FALSE(older.useCreatorStudio());
  EXPECT_FALSE(older.targetFolder().has_value());
  EXPECT_TRUE(older.fileList().empty());
  EXPECT_TRUE(older.selection().empty());

  MorvaneOptions newer(kTahoe, env);
  EXPECT_TRUE(newer.useCreatorStudio());
  EXPECT_TRUE(newer.officeExport());
  EXPECT_FALSE(MorvaneOptions(FixedSystemVersion({25, 99, 99}), env).useCreatorStudio());
}

TEST(MorvaneOptionsTest, ExportClassFlagsAlwaysHoldThreeKeys) {
  RecordingEnv env;
  MorvaneOptions options(kSequoia, env);
  options.setOfficeExport(false);
  EXPECT_EQ(options.exportClassFlags(),
            (std::map<std::string, bool>{{"office", false}, {"iwork", false}, {"pdf", false}}));
  options.setPdfExport(true);
  options.setIworkExport(true);
  EXPECT_EQ(options.exportClassFlags(),
            (std::map<std::string, bool>{{"office", false}, {"iwork", true}, {"pdf", true}}));
}

TEST(MorvaneOptionsTest, ChangesAreAnnouncedBeforeStored) {
  RecordingEnv env;
  MorvaneOptions options(kSequoia, env);
  std::vector<std::pair<OptionsField, bool>> seen;
  options.publisher().subscribe(
      [&](OptionsField f) { seen.emplace_back(f, options.pdfExport()); });
  options.setPdfExport(true);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].first, OptionsField::pdfExport);
  EXPECT_FALSE(seen[0].second);  // old value still in place
  EXPECT_TRUE(options.pdfExport());
}

TEST(MorvaneOptionsTest, AddFileAppendsTopLevelEntriesWithoutDeduplication) {
  TempDir tmp;
  const fs::path file = tmp.write("a.docx");
  tmp.write("F/b.pages");
  RecordingEnv env;
  MorvaneOptions options(kSequoia, env);
  std::size_t sizeAtAnnouncement = 99;
  options.publisher().subscribe([&](OptionsField) {
    if (sizeAtAnnouncement == 99) sizeAtAnnouncement = options.fileList().size();
  });
  options.addFile(file);
  options.addFile(file);
  options.addFile(tmp.path() / "F");
  EXPECT_EQ(sizeAtAnnouncement, 0u);
  ASSERT_EQ(options.fileList().size(), 3u);
  EXPECT_NE(options.fileList()[0].id, options.fileList()[1].id);
  EXPECT_EQ(options.fileList()[2].dirContents->size(), 1u);
  EXPECT_EQ(options.fileList()[2].dirLevel, 0);
}

class RemovalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tmp_.write("top.docx");
    tmp_.write("F/one.docx");
    tmp_.write("F/Sub/two.docx");
    tmp_.write("F/Sub/three.docx");
    tmp_.write("G/Sub/two.docx");
    options_.addFile(tmp_.path() / "top.docx");
    options_.addFile(tmp_.path() / "F");
    options_.addFile(tmp_.path() / "G");
    options_.addFile(tmp_.path() / "top.docx");
  }
  const NQFileDataObject& folder(std::size_t i) { return options_.fileList()[i]; }

  TempDir tmp_;
  RecordingEnv env_;
  MorvaneOptions options_{kSequoia, env_};
};

TEST_F(RemovalTest, RemovesTopLevelAndNestedEntriesAndClearsSelection) {
  const NQFileDataObject& sub = (*folder(1).dirContents)[0];
  ASSERT_EQ(lastPathComponent(sub.url), "Sub");
  const Uuid deep = (*sub.dirContents)[1].id;  // F/Sub/two.docx
  options_.setSelection({options_.fileList()[0].id, deep, Uuid::random()});
  options_.removeSelectedEntries();

  ASSERT_EQ(options_.fileList().size(), 3u);  // the duplicate top.docx stays
  EXPECT_EQ(lastPathComponent(options_.fileList()[0].url), "F");
  EXPECT_EQ(lastPathComponent(options_.fileList()[2].url), "top.docx");
  const NQFileDataObject& subAfter = (*folder(0).dirContents)[0];
  ASSERT_EQ(subAfter.dirContents->size(), 1u);
  EXPECT_EQ(lastPathComponent((*subAfter.dirContents)[0].url), "three.docx");
  EXPECT_EQ(folder(1).dirContents->at(0).dirContents->size(), 1u);  // G untouched
  EXPECT_TRUE(options_.selection().empty());
  EXPECT_TRUE(fs::exists(tmp_.path() / "F/Sub/two.docx"));
}

TEST_F(RemovalTest, RemovingAFolderTakesItsSubtree) {
  options_.setSelection({folder(1).id, (*folder(1).dirContents)[0].id});
  options_.removeSelectedEntries();
  ASSERT_EQ(options_.fileList().size(), 3u);
  EXPECT_EQ(lastPathComponent(folder(1).url), "G");
}

TEST_F(RemovalTest, EmptySelectionChangesNothingButStillClearsIt) {
  int announcements = 0;
  options_.publisher().subscribe([&](OptionsField f) {
    EXPECT_EQ(f, OptionsField::selection);
    ++announcements;
  });
  options_.removeSelectedEntries();
  EXPECT_EQ(options_.fileList().size(), 4u);
  EXPECT_EQ(announcements, 1);
  EXPECT_EQ(options_.findEntry((*folder(1).dirContents)[1].id)->dirLevel, 0);
}

// Walks `rows` down from the top level, as an edit locates its entry.
const NQFileDataObject& entryAt(const MorvaneOptions& options, const std::vector<std::size_t>& rows) {
  const NQFileDataObject* e = &options.fileList().at(rows[0]);
  for (std::size_t i = 1; i < rows.size(); ++i) e = &e->dirContents->at(rows[i]);
  return *e;
}

TEST_F(RemovalTest, EditsLocateTheirEntryAndAreToldAroundTheChange) {
  std::vector<std::string> seen;
  options_.publisher().subscribeToEdits([&](const FileListEdit& edit, bool done) {
    static const char* const kKinds[] = {"append", "remove", "replace"};
    std::string text = kKinds[static_cast<int>(edit.kind)];
    for (std::size_t row : edit.rows) text += " " + std::to_string(row);
    if (done) {
      text += " done, " + std::to_string(options_.fileList().size()) + " entries";
    } else if (edit.kind == FileListEdit::Kind::remove) {
      text += ": " + lastPathComponent(entryAt(options_, edit.rows).url);  // still there
    }
    seen.push_back(text);
  });
  const NQFileDataObject& sub = (*folder(1).dirContents)[0];
  options_.setSelection({(*sub.dirContents)[1].id});  // F/Sub/two.docx
  options_.removeSelectedEntries();
  options_.setSelection({folder(2).id});
  options_.removeSelectedEntries();
  options_.setSelection({folder(0).id});
  options_.removeSelectedEntries();
  options_.addFile(tmp_.path() / "top.docx");
  options_.setFileList({});

  EXPECT_EQ(seen, (std::vector<std::string>{
                      "remove 1 0 1: two.docx", "remove 1 0 1 done, 4 entries",
                      "remove 2: G", "remove 2 done, 3 entries",
                      "remove 0: top.docx", "remove 0 done, 2 entries",
                      "append 2", "append 2 done, 3 entries",
                      "replace", "replace done, 0 entries"}));
}

TEST(SystemVersionTest, ParsesReleaseTexts) {
  EXPECT_TRUE(parseSystemVersion("6.1.0-18-amd64").isAtLeast(6, 1, 0));
  EXPECT_FALSE(parseSystemVersion("6.1.0-18-amd64").isAtLeast(26, 0, 0));
  const OperatingSystemVersion v = parseSystemVersion("26.0");
  EXPECT_EQ(v.majorVersion, 26);
  EXPECT_EQ(v.patchVersion, 0);
  EXPECT_TRUE(v.isAtLeast(26, 0, 0));
  EXPECT_EQ(parseSystemVersion("junk").majorVersion, 0);
  EXPECT_FALSE(PosixSystemVersion().current().isAtLeast(26, 0, 0));
}

}  // namespace
}  // namespace morvane
