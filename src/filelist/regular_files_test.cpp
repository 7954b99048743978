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
