#include "filelist/nq_file_data_object.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "platform/real_env.h"
#include "testing/recording_fakes.h"
#include "testing/temp_dir.h"

namespace morvane {
namespace {

using testing::RecordingEnv;
using testing::TempDir;

std::vector<std::string> names(const NQFileDataObject& folder) {
  std::vector<std::string> result;
  for (const auto& child : *folder.dirContents) result.push_back(lastPathComponent(child.url));
  return result;
}

TEST(NQFileDataObjectTest, ScansTreeSortedWithLevels) {
  TempDir tmp;
  tmp.write("Docs/b.docx");
  tmp.write("Docs/A.pages");
  tmp.write("Docs/a.numbers");
  tmp.write("Docs/Sub/c.key");
  tmp.write("Docs/Sub/Deep/d.xlsx");
  RecordingEnv env;
  NQFileDataObject docs(tmp.path() / "Docs", 0, true, env);

  ASSERT_TRUE(docs.isDir);
  EXPECT_EQ(names(docs), (std::vector<std::string>{"A.pages", "Sub", "a.numbers", "b.docx"}));
  EXPECT_EQ(docs.dirCount, 4);
  EXPECT_EQ(docs.dirLevel, 0);
  const NQFileDataObject& sub = (*docs.dirContents)[1];
  EXPECT_EQ(sub.dirLevel, 0);
  EXPECT_EQ((*docs.dirContents)[0].dirLevel, 0);
  const NQFileDataObject& deep = (*sub.dirContents)[0];
  EXPECT_EQ(lastPathComponent(deep.url), "Deep");
  EXPECT_EQ(deep.dirLevel, 1);
  EXPECT_EQ((*deep.dirContents)[0].dirLevel, 2);
  EXPECT_FALSE((*deep.dirContents)[0].dirContents.has_value());

  // A deeper folder's lines come before the line announcing that folder.
  const std::string deepLine = "\tadding to dir: " + (tmp.path() / "Docs/Sub").string() +
                               " file " + deep.url.string() + " at lefel: 1";
  const std::string subLine = "\tadding to dir: " + docs.url.string() + " file " +
                              sub.url.string() + " at lefel: 0";
  auto deepAt = std::find(env.lines.begin(), env.lines.end(), deepLine);
  auto subAt = std::find(env.lines.begin(), env.lines.end(), subLine);
  ASSERT_NE(deepAt, env.lines.end());
  ASSERT_NE(subAt, env.lines.end());
  EXPECT_LT(deepAt, subAt);
  EXPECT_EQ(env.lines.size(), 7u);
}

TEST(NQFileDataObjectTest, NestedTopLevelFlagOffAddsALevel) {
  TempDir tmp;
  tmp.write("F/x.docx");
  RecordingEnv env;
  NQFileDataObject inner(tmp.path() / "F", 3, false, env);
  EXPECT_EQ((*inner.dirContents)[0].dirLevel, 4);
}

// Lists in reverse order, so that a stable sort is visible.
class ReversingEnv : public RecordingEnv {
 public:
  Status listDirectory(const fs::path& dir, std::vector<DirectoryItem>* out) override {
    Status s = RealEnv::listDirectory(dir, out);
    std::sort(out->begin(), out->end(), [](auto& a, auto& b) { return a.path > b.path; });
    return s;
  }
};

TEST(NQFileDataObjectTest, EqualKeysKeepListingOrder) {
  TempDir tmp;
  tmp.write("F/notes.docx");
  tmp.write("F/notes.pages");
  ReversingEnv env;
  NQFileDataObject f(tmp.path() / "F", 0, true, env);
  EXPECT_EQ(names(f), (std::vector<std::string>{"notes.pages", "notes.docx"}));
}

TEST(NQFileDataObjectTest, SortKeysAreNormalisedCodePoints) {
  EXPECT_EQ(NQFileDataObject::sortKey("/x/Report.final.docx"), "Report.final");
  EXPECT_EQ(NQFileDataObject::sortKey("/x/Data"), "Data");
  EXPECT_EQ(NQFileDataObject::sortKey("/x/e\xCC\x81" "t\xC3\xA9.txt"),
            NQFileDataObject::sortKey("/x/\xC3\xA9" "t\xC3\xA9.pages"));
  TempDir tmp;
  tmp.write("F/\xC3\xA9" "cole.txt");  // é
  tmp.write("F/zebra.txt");
  tmp.write("F/Zulu.txt");
  tmp.write("F/apple.txt");
  RecordingEnv env;
  NQFileDataObject f(tmp.path() / "F", 0, true, env);
  EXPECT_EQ(names(f), (std::vector<std::string>{"Zulu.txt", "apple.txt", "zebra.txt",
                                                "\xC3\xA9" "cole.txt"}));
}

TEST(NQFileDataObjectTest, HiddenItemsAreNeverEntries) {
  TempDir tmp;
  tmp.write("F/.hidden.docx");
  tmp.write("F/.git/config.docx");
  tmp.write("F/shown.docx");
  RecordingEnv env;
  NQFileDataObject f(tmp.path() / "F", 0, true, env);
  EXPECT_EQ(names(f), std::vector<std::string>{"shown.docx"});
}

TEST(NQFileDataObjectTest, EmptyMissingAndUnlistable) {
  TempDir tmp;
  RecordingEnv env;
  NQFileDataObject empty(tmp.mkdir("Empty"), 0, true, env);
  EXPECT_TRUE(empty.isDir);
  ASSERT_TRUE(empty.dirContents.has_value());
  EXPECT_TRUE(empty.dirContents->empty());
  EXPECT_EQ(empty.dirCount, 0);

  NQFileDataObject missing(tmp.path() / "nope.docx", 0, true, env);
  EXPECT_FALSE(missing.isDir);
  EXPECT_FALSE(missing.dirContents.has_value());
  EXPECT_TRUE(env.lines.empty());

  const fs::path locked = tmp.mkdir("Locked");
  tmp.write("Locked/a.docx");
  env.unlistable.insert(locked);
  NQFileDataObject lockedEntry(locked, 0, true, env);
  EXPECT_TRUE(lockedEntry.isDir);
  EXPECT_TRUE(lockedEntry.dirContents->empty());
  ASSERT_EQ(env.lines.size(), 1u);
  EXPECT_EQ(env.lines[0],
            "Error when creating file at path: '" + locked.string() + "' with error: Permission denied");
}

TEST(NQFileDataObjectTest, PackageIsScannedAsFolder) {
  TempDir tmp;
  tmp.write("Doc.pages/Index/Document.iwa");
  tmp.write("Doc.pages/preview.jpg");
  RecordingEnv env;
  NQFileDataObject pkg(tmp.path() / "Doc.pages", 0, true, env);
  EXPECT_TRUE(pkg.isDir);
  EXPECT_EQ(names(pkg), (std::vector<std::string>{"Index", "preview.jpg"}));
}

TEST(NQFileDataObjectTest, LinkBackToAncestorIsNotEnteredAgain) {
  TempDir tmp;
  tmp.write("Top/Sub/a.docx");
  fs::create_directory_symlink(tmp.path() / "Top", tmp.path() / "Top/Sub/back");
  fs::create_directory_symlink(tmp.path() / "Top/Sub", tmp.path() / "Top/self");
  RecordingEnv env;
  NQFileDataObject top(tmp.path() / "Top", 0, true, env);

  ASSERT_EQ(names(top), (std::vector<std::string>{"Sub", "self"}));
  // "Sub" and "self" are one folder: whichever the listing gives first is
  // entered, the other stays empty.
  const NQFileDataObject& sub = (*top.dirContents)[0];
  const NQFileDataObject& self = (*top.dirContents)[1];
  const NQFileDataObject& entered = sub.dirContents->empty() ? self : sub;
  const NQFileDataObject& skipped = sub.dirContents->empty() ? sub : self;
  ASSERT_EQ(names(entered), (std::vector<std::string>{"a.docx", "back"}));
  EXPECT_TRUE(skipped.isDir);
  EXPECT_TRUE(skipped.dirContents->empty());
  const NQFileDataObject& back = (*entered.dirContents)[1];
  EXPECT_TRUE(back.isDir);
  EXPECT_TRUE(back.dirContents->empty());
  EXPECT_EQ(env.linesContaining("Not scanning folder").size(), 2u);
  EXPECT_EQ(env.linesContaining("Not scanning folder at path: '" + back.url.string() +
                                "': it leads back to a folder that is already being scanned")
                .size(),
            1u);
}

// d0 … d3, each dK holding one document and two links, "a" and "b", to
// dK+1; d1 … d3 are hidden folders inside d0, so that the links stay
// inside the folder scanned.
fs::path joiningLinks(const TempDir& tmp, int depth) {
  const fs::path d0 = tmp.path() / "d0";
  const auto folder = [&](int k) { return k == 0 ? d0 : d0 / (".d" + std::to_string(k)); };
  for (int k = 0; k <= depth; ++k) {
    const fs::path dir = folder(k);
    fs::create_directories(dir);
    std::ofstream(dir / "doc.docx") << "x";
    if (k == depth) break;
    fs::create_directory_symlink(folder(k + 1), dir / "a");
    fs::create_directory_symlink(folder(k + 1), dir / "b");
  }
  return d0;
}

int documentsBelow(const NQFileDataObject& entry) {
  if (!entry.dirContents) return 1;
  int count = 0;
  for (const auto& child : *entry.dirContents) count += documentsBelow(child);
  return count;
}

TEST(NQFileDataObjectTest, LinksThatJoinAgainEnterEachFolderOnce) {
  TempDir tmp;
  const fs::path d0 = joiningLinks(tmp, 3);
  RecordingEnv env;
  NQFileDataObject top(d0, 0, true, env);

  EXPECT_EQ(names(top), (std::vector<std::string>{"a", "b", "doc.docx"}));
  EXPECT_EQ(documentsBelow(top), 4);  // one per folder, not 1 + 2 + 4 + 8
  EXPECT_EQ(env.linesContaining(" file ").size(), 3u * 3u + 1u);
  const auto skipped = env.linesContaining("Not scanning folder at path: '");
  EXPECT_EQ(skipped.size(), 3u);
  for (const std::string& line : skipped) {
    EXPECT_TRUE(line.ends_with("': it leads back to a folder that is already being scanned"))
        << line;
  }

  // Each entry is a scan of its own: a second entry of the same folder is
  // complete again.
  NQFileDataObject again(d0, 0, true, env);
  EXPECT_EQ(documentsBelow(again), 4);
}

// A link to the root of the file system, in a folder or in a package
// inside it, is not entered; links that stay inside are, and a package's
// links may not leave the package even for the folder around it.
TEST(NQFileDataObjectTest, LinksThatLeadOutAreNotEntered) {
  TempDir tmp;
  tmp.write("Drop/Report.numbers/Index/Document.iwa");
  tmp.write("Drop/Other/b.docx");
  const fs::path drop = tmp.path() / "Drop";
  fs::create_directory_symlink("/", drop / "root");
  fs::create_directory_symlink("/", drop / "Report.numbers/Data");
  fs::create_directory_symlink(drop / "Other", drop / "Report.numbers/Other");
  fs::create_directory_symlink("Other", drop / "inside");
  RecordingEnv env;
  NQFileDataObject top(drop, 0, true, env);

  EXPECT_EQ(documentsBelow(top), 2);  // b.docx once, and the index
  const auto skipped = env.linesContaining("it is a link that leads out of");
  ASSERT_EQ(skipped.size(), 3u) << ::testing::PrintToString(env.lines);
  const fs::path real = fs::canonical(drop);
  EXPECT_EQ(env.linesContaining("Not scanning folder at path: '" + (drop / "root").string() +
                                "': it is a link that leads out of '" + real.string() + "'")
                .size(),
            1u);
  EXPECT_EQ(env.linesContaining("'" + (drop / "Report.numbers/Other").string() +
                                "': it is a link that leads out of '" +
                                (real / "Report.numbers").string() + "'")
                .size(),
            1u);
  for (const auto& child : *top.dirContents) {
    if (child.url.filename() == "root") {
      EXPECT_TRUE(child.isDir && child.dirContents->empty());
    }
  }
  EXPECT_LT(env.lines.size(), 20u);  // the machine's folders were not listed
}

TEST(NQFileDataObjectTest, EqualityComparesLocationsOnly) {
  TempDir tmp;
  const fs::path file = tmp.write("a.docx");
  RecordingEnv env;
  NQFileDataObject one(file, 0, true, env);
  NQFileDataObject two(file, 4, false, env);
  NQFileDataObject other(tmp.path() / "b.docx", 0, true, env);
  EXPECT_NE(one.id, two.id);
  EXPECT_EQ(one, two);
  EXPECT_EQ(std::hash<NQFileDataObject>()(one), std::hash<NQFileDataObject>()(two));
  EXPECT_FALSE(one == other);
}

TEST(NQFileDataObjectTest, DisplayValueIsLastComponent) {
  TempDir tmp;
  RecordingEnv env;
  NQFileDataObject folder(tmp.mkdir("My Folder"), 0, true, env);
  EXPECT_EQ(folder.displayValue("filename", env), "My Folder");
  NQFileDataObject slashed(tmp.path() / "My Folder/", 0, true, env);
  EXPECT_EQ(slashed.displayValue("filename", env), "My Folder");
  EXPECT_TRUE(env.lines.empty());

  NQFileDataObject gone(tmp.path() / "gone.docx", 0, true, env);
  EXPECT_EQ(gone.displayValue("filename", env), "gone.docx");
  EXPECT_EQ(env.linesContaining("Error when creating file at path: '" + gone.url.string()).size(),
            1u);
}

TEST(NQFileDataObjectTest, BookmarkFileIsFinderAlias) {
  TempDir tmp;
  const fs::path alias = tmp.write("Report alias", std::string("book\0\0\0\0mark\0\0\0\0rest", 20));
  const fs::path plain = tmp.write("plain.docx", "PK");
  fs::create_symlink(alias, tmp.path() / "link");
  RealEnv env;
  EXPECT_TRUE(NQFileDataObject(alias, 0, true, env).isFinderAlias(env));
  EXPECT_FALSE(NQFileDataObject(plain, 0, true, env).isFinderAlias(env));
  EXPECT_FALSE(NQFileDataObject(tmp.path() / "link", 0, true, env).isFinderAlias(env));
  EXPECT_FALSE(NQFileDataObject(tmp.path() / "missing", 0, true, env).isFinderAlias(env));
}

}  // namespace
}  // namespace morvane
