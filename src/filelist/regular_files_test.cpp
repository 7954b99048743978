#include "filelist/regular_files.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "testing/recording_fakes.h"
#include "testing/temp_dir.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> relative(const std::vector<fs::path>& paths, const fs::path& base) {
  std::vector<std::string> names;
  for (const fs::path& p : paths) names.push_back(fs::relative(p, base).string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(RegularFilesTest, FlattensAFolderLeavingOutHiddenItemsPackagesAndLinks) {
  testing::TempDir tmp;
  tmp.write("Drop/a.docx");
  tmp.write("Drop/Sub/Deeper/b.xlsx");
  tmp.write("Drop/.hidden.docx");
  tmp.write("Drop/.git/c.docx");
  tmp.write("Drop/Report.pages/Index/Document.iwa");
  tmp.write("Drop/Deck.key/preview.jpg");
  tmp.write("Drop/Sheet.numbers");  // a plain file named like a package
  fs::create_symlink(tmp.path() / "Drop/a.docx", tmp.path() / "Drop/link.docx");
  testing::RecordingEnv env;
  EXPECT_EQ(relative(regularFilesIn(tmp.path() / "Drop", env), tmp.path() / "Drop"),
            (std::vector<std::string>{"Sheet.numbers", "Sub/Deeper/b.xlsx", "a.docx"}));
  EXPECT_TRUE(env.lines.empty());
}

// Opening a folder from the desktop adds its package documents too, each
// as one item in its place, never their insides nor a link to one.
TEST(RegularFilesTest, DocumentsInListsPackagesAsOneItem) {
  testing::TempDir tmp;
  tmp.write("Drop/a.docx");
  tmp.write("Drop/Report.pages/Index/Document.iwa");
  tmp.write("Drop/Sub/Deck.key/Index.zip");
  tmp.write("Drop/.hidden.numbers/Index.zip");
  fs::create_symlink(tmp.path() / "Drop/Report.pages", tmp.path() / "Drop/Link.pages");
  testing::RecordingEnv env;
  EXPECT_EQ(relative(documentsIn(tmp.path() / "Drop", env), tmp.path() / "Drop"),
            (std::vector<std::string>{"Report.pages", "Sub/Deck.key", "a.docx"}));
  EXPECT_EQ(relative(regularFilesIn(tmp.path() / "Drop", env), tmp.path() / "Drop"),
            std::vector<std::string>{"a.docx"});
}

// A link to the root of the file system is not descended into, and named;
// a link to a folder inside is left out silently like every link.
TEST(RegularFilesTest, LinksToFoldersOutsideAreNamedAndNeverFollowed) {
  testing::TempDir tmp;
  tmp.write("Drop/a.docx");
  tmp.write("Drop/Sub/b.docx");
  fs::create_directory_symlink("/", tmp.path() / "Drop/root");
  fs::create_directory_symlink("Sub", tmp.path() / "Drop/Sub-link");
  testing::RecordingEnv env;
  EXPECT_EQ(relative(regularFilesIn(tmp.path() / "Drop", env), tmp.path() / "Drop"),
            (std::vector<std::string>{"Sub/b.docx", "a.docx"}));
  ASSERT_EQ(env.lines.size(), 1u) << ::testing::PrintToString(env.lines);
  EXPECT_EQ(env.lines[0], "Not scanning folder at path: '" + (tmp.path() / "Drop/root").string() +
                              "': it is a link that leads out of '" +
                              fs::canonical(tmp.path() / "Drop").string() + "'");
}

// Lists every folder backwards: only sorting can give the same order as
// the file system's own listing.
class BackwardsEnv : public testing::RecordingEnv {
 public:
  Status listDirectory(const fs::path& dir, std::vector<DirectoryItem>* out) override {
    Status s = RecordingEnv::listDirectory(dir, out);
    std::reverse(out->begin(), out->end());
    return s;
  }
};

TEST(RegularFilesTest, SiblingsComeSortedByKeyAndEachFolderBeforeWhatFollowsIt) {
  testing::TempDir tmp;
  for (const char* name : {"b.docx", "a.numbers", "Mid/z.docx", "Mid/Y.docx", "A.pages",
                           "Mid/Inner/c.xlsx", "Zed.final.docx", "Zed.docx"}) {
    tmp.write(std::string("Drop/") + name);
  }
  // Keys compare code point by code point: upper case first; a folder by
  // its whole name; a file without its last extension.
  const std::vector<std::string> expected = {"A.pages",       "Mid/Inner/c.xlsx", "Mid/Y.docx",
                                             "Mid/z.docx",    "Zed.docx",         "Zed.final.docx",
                                             "a.numbers",     "b.docx"};
  testing::RecordingEnv forwards;
  BackwardsEnv backwards;
  for (Env* env : {static_cast<Env*>(&forwards), static_cast<Env*>(&backwards)}) {
    std::vector<std::string> names;
    for (const fs::path& p : regularFilesIn(tmp.path() / "Drop", *env)) {
      names.push_back(fs::relative(p, tmp.path() / "Drop").string());
    }
    EXPECT_EQ(names, expected);
  }
}

TEST(RegularFilesTest, UnreadablePartsAreReportedAndSkipped) {
  testing::TempDir tmp;
  tmp.write("Drop/a.docx");
  tmp.write("Drop/Locked/b.docx");
  testing::RecordingEnv env;
  env.unlistable.insert(tmp.path() / "Drop/Locked");
  EXPECT_EQ(relative(regularFilesIn(tmp.path() / "Drop", env), tmp.path() / "Drop"),
            std::vector<std::string>{"a.docx"});
  EXPECT_EQ(env.lines, std::vector<std::string>{"Enumeration error at " +
                                                fileUrlFromPath((tmp.path() / "Drop/Locked").string()) +
                                                ": Permission denied"});
  env.lines.clear();
  env.unlistable.insert(tmp.path() / "Drop");
  EXPECT_TRUE(regularFilesIn(tmp.path() / "Drop", env).empty());
  EXPECT_TRUE(env.lines.empty());  // a folder that cannot be read at all: nothing, silently
  EXPECT_TRUE(isDocumentPackage("/x/A.pages"));
  EXPECT_FALSE(isDocumentPackage("/x/A.PAGES"));
}

}  // namespace
}  // namespace morvane
