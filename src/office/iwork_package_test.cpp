// iWork containers made by the tests themselves (testing/iwork_archives.h):
// real zip archives and package folders, Snappy-framed archives of protobuf
// objects, property lists; read back, and broken in each of the ways a
// damaged or foreign file can be.
#include "office/iwork_package.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <algorithm>
#include <chrono>
#include <map>

#include "office/flatten_package.h"
#include "testing/iwork_archives.h"
#include "testing/property_lists.h"
#include "testing/temp_dir.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;
using namespace testing::iwork;

class IworkPackageTest : public ::testing::Test {
 protected:
  std::string writeZip(const std::string& name, const Files& files) {
    return tmp_.write(name, zipOf(files)).string();
  }

  std::string writeFolder(const std::string& name, const Files& files) {
    for (const auto& [file, data] : files) tmp_.write(name + "/" + file, data);
    return (tmp_.path() / name).string();
  }

  // The failure message for the document at `path`, "" when it reads.
  std::string failure(const std::string& path) {
    IworkDocumentInfo info;
    const Status s = readIworkDocument(path, &info);
    return s.ok() ? "" : s.message();
  }

  testing::TempDir tmp_;
};

TEST_F(IworkPackageTest, CountsCellsAndTextOutsideMastersInArchivesAndPackageFolders) {
  const std::string zipped = writeZip("a.numbers", documentFiles());
  Files package = {{"Index.zip", zipOf(documentFiles())},
                   {"Metadata/Properties.plist", properties("26.1.0")}};
  const std::string folder = writeFolder("b.numbers", package);
  // The package folder zipped as a whole: every member under one top folder.
  Files wrapped, wrappedIndex;
  for (const auto& [name, data] : package) wrapped["Report.numbers/" + name] = data;
  for (const auto& [name, data] : documentFiles()) wrappedIndex["Report.numbers/" + name] = data;
  const std::string zippedFolder = writeZip("c.numbers", wrapped);
  const std::string zippedIndex = writeZip("d.numbers", wrappedIndex);
  // A side archive in LZFSE (as Numbers 2022 writes OperationStorage).
  Files sideArchive = documentFiles();
  sideArchive["Index/OperationStorage.iwa"] = "bvxn\xa3\0\0\0 not snappy";
  const std::string lzfse = writeZip("e.numbers", sideArchive);
  for (const std::string& path : {zipped, folder, zippedFolder, zippedIndex, lzfse}) {
    IworkDocumentInfo info;
    ASSERT_TRUE(readIworkDocument(path, &info).ok()) << path;
    EXPECT_EQ(info.generation, IworkDocumentInfo::Generation::archive);
    EXPECT_EQ(info.content.cells, 5u);
    EXPECT_EQ(info.content.textCharacters, 10u);  // "Helloworld": no line feed, no placeholder
  }
  IworkDocumentInfo info;
  ASSERT_TRUE(readIworkDocument(folder, &info).ok());
  EXPECT_EQ(info.formatVersion, "26.1.0");
}

TEST_F(IworkPackageTest, OlderDocumentsAndEmptyDocumentsRead) {
  IworkDocumentInfo info;
  ASSERT_TRUE(readIworkDocument(writeZip("old.pages", {{"index.xml.gz", "x"}}), &info).ok());
  EXPECT_EQ(info.generation, IworkDocumentInfo::Generation::xml);
  ASSERT_TRUE(readIworkDocument(writeFolder("old.key", {{"index.apxl.gz", "x"}}), &info).ok());

  IworkDocumentInfo empty;
  const std::string blank = writeZip(
      "blank.numbers", {{"Index/Document.iwa", frame(object(1, 2001, storage(" \n")))}});
  ASSERT_TRUE(readIworkDocument(blank, &empty).ok());
  EXPECT_FALSE(empty.content.any());
}

TEST_F(IworkPackageTest, BrokenContainersFailWithTheirReason) {
  Files noDocument = documentFiles();
  noDocument.erase("Index/Document.iwa");
  Files lzfseIndex = documentFiles();
  lzfseIndex["Index/Document.iwa"] = "bvxn\x10\0\0\0 compressed otherwise";
  Files badChunkKind = documentFiles();
  badChunkKind["Index/Document.iwa"][0] = '\x01';
  Files cutChunk = documentFiles();
  cutChunk["Index/Document.iwa"].resize(cutChunk["Index/Document.iwa"].size() - 3);
  Files damagedSnappy = documentFiles();
  damagedSnappy["Index/Document.iwa"] = std::string("\0\x05\0\0\xff\xff\xff\xff\xff", 9);
  Files damagedHeader = documentFiles();
  damagedHeader["Index/Document.iwa"] = frame("\x40" + std::string(10, '\x08'));
  Files cutObject = documentFiles();
  const std::string whole = object(7, 6002, tile({3}));
  cutObject["Index/Tables/Tile-7.iwa"] = frame(whole.substr(0, whole.size() - 2));

  const std::map<std::string, std::string> cases = {
      {tmp_.write("noise.numbers", std::string(600, '\x35')).string(), "it is not a zip archive"},
      {tmp_.write("zero.pages", "").string(), "the file is empty (0 bytes)"},
      {writeZip("stray.key", {{"file", "x"}}), "it holds no document (no index)"},
      {writeZip("strayfolder.key", {{"Talk.key/file", "x"}}), "it holds no document (no index)"},
      {writeZip("twofolders.key", {{"A.key/Index.zip", zipOf(documentFiles())}, {"B/x", "x"}}),
       "it holds no document (no index)"},
      {writeFolder("stray.numbers", {{"file", "x"}}), "the package folder holds no document"},
      {writeFolder("future.numbers", {{"Index.zip", zipOf(documentFiles())},
                                      {"Metadata/Properties.plist", properties("99.9")}}),
       "it declares file format version 99.9, which no reader supports"},
      {writeFolder("badindex.numbers", {{"Index.zip", "not a zip"}}),
       "its Index.zip: it is not a zip archive"},
      {writeZip("noindex.numbers", noDocument), "its index is missing"},
      {writeZip("kind.numbers", badChunkKind), "Index/Document.iwa: a chunk is not of the Snappy kind"},
      {writeZip("lzfse.numbers", lzfseIndex), "Index/Document.iwa: a chunk is not of the Snappy kind"},
      {writeZip("cut.numbers", cutChunk), "Index/Document.iwa: a chunk is cut short"},
      {writeZip("snappy.numbers", damagedSnappy), "Index/Document.iwa: a chunk is damaged"},
      {writeZip("header.numbers", damagedHeader), "Index/Document.iwa: an object header"},
      {writeZip("object.numbers", cutObject), "Index/Tables/Tile-7.iwa: an object is cut short"},
      {writeZip("plist.numbers", [&] {
         Files f = documentFiles();
         f["Metadata/Properties.plist"] = "\x01\x02 not a plist";
         return f;
       }()),
       "Metadata/Properties.plist is no property list"},
  };
  for (const auto& [path, reason] : cases) {
    EXPECT_NE(failure(path).find(reason), std::string::npos)
        << fs::path(path).filename() << ": " << failure(path);
  }
}

TEST_F(IworkPackageTest, BinaryPropertyListsFollowedByALineBreakRead) {
  // Metadata/Properties.plist as SheetJS writes it: an empty dictionary in
  // a binary list, and a line break after the list's trailer.
  const std::string sheetjsList = "bplist00\xd0\x08" + std::string(6, '\0') + "\x01\x01" +
                                  std::string(7, '\0') + "\x01" + std::string(15, '\0') + "\x09\x0a";
  ASSERT_EQ(sheetjsList.size(), 43u);
  Files sheetjs = documentFiles();
  sheetjs["Metadata/Properties.plist"] = sheetjsList;
  IworkDocumentInfo info;
  const Status read = readIworkDocument(writeZip("sheetjs.numbers", sheetjs), &info);
  ASSERT_TRUE(read.ok()) << read.message();
  EXPECT_EQ(info.formatVersion, "");
  EXPECT_EQ(info.content.cells, 5u);

  // Line breaks do not make a list of what is none.
  Files noise = documentFiles();
  noise["Metadata/Properties.plist"] = "bplist00\x01\x02 not a list\n\r\n";
  EXPECT_NE(failure(writeZip("noise.numbers", noise)).find("Metadata/Properties.plist is no property list"),
            std::string::npos);
}

// Metadata/Properties.plist nested 200,000 deep would take the reader's
// stack; the check stops at its depth and says so.
TEST_F(IworkPackageTest, DeeplyNestedPropertyListsFailWithTheirReason) {
  for (const auto& [name, list] :
       {std::pair<std::string, std::string>{"binary.numbers",
                                            testing::deepBinaryPropertyList(200000)},
        {"xml.pages", testing::deepXmlPropertyList(200000)}}) {
    Files files = documentFiles();
    files["Metadata/Properties.plist"] = list;
    EXPECT_EQ(failure(writeZip(name, files)),
              "Metadata/Properties.plist cannot be read: it is nested deeper than 64 levels")
        << name;
  }
}

// Parts each within the bound of one part, together past the bound of the
// check: they fail at once, before anything is decoded, whether only their
// chunk headers tell their size or their container declares it.
TEST_F(IworkPackageTest, TheCheckIsBoundedAsAWhole) {
  // 40 parts of 13 MB of zeros: 520 MB in all, a few MB framed and zipped.
  Files expanding = documentFiles();
  const std::string zeros = frame(std::string(13 << 20, '\0'));
  for (int n = 0; n < 40; ++n) expanding["Index/Part-" + std::to_string(n) + ".iwa"] = zeros;
  const std::string path = writeZip("expanding.numbers", expanding);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(failure(path),
            "its index decodes to more than 512 MB in all, more than any document's");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));

  // 40 parts of 2 MB as their container declares them, past a bound of 64 MB.
  Files declared = documentFiles();
  const std::string part(2 << 20, 'x');  // not even framed: never decoded
  for (int n = 0; n < 40; ++n) declared["Index/Part-" + std::to_string(n) + ".iwa"] = part;
  IworkDocumentInfo info;
  start = std::chrono::steady_clock::now();
  EXPECT_EQ(readIworkDocument(writeZip("declared.numbers", declared), &info, {64ull << 20})
                .message(),
            "its index decodes to more than 64 MB in all, more than any document's");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));

  // Within the bound, the same parts read; past a bound of time, nothing does.
  Files few = documentFiles();
  for (int n = 0; n < 5; ++n) few["Index/Part-" + std::to_string(n) + ".iwa"] = zeros;
  const Status read = readIworkDocument(writeZip("few.numbers", few), &info);
  EXPECT_TRUE(read.ok()) << read.message();
  const Status late = readIworkDocument(writeZip("late.numbers", documentFiles()), &info,
                                        {512ull << 20, std::chrono::milliseconds(0)});
  EXPECT_EQ(late.message(), "checking it took longer than 0 ms");
}

// A package with a link to the root of the file system and one to a file
// outside: the check and the flattening read the package alone and name
// each link they did not follow.
TEST_F(IworkPackageTest, LinksOutOfAPackageAreNotFollowed) {
  Files index = documentFiles();
  index.erase("Metadata/Properties.plist");
  const std::string folder =
      writeFolder("Report.numbers", {{"Index.zip", zipOf(index)},
                                     {"Metadata/Properties.plist", properties("14.4.1")}});
  tmp_.write("secret.txt", "not part of the document");
  fs::create_symlink("/", fs::path(folder) / "Data");
  fs::create_symlink("../../secret.txt", fs::path(folder) / "Metadata/notes.txt");
  fs::create_symlink("Metadata", fs::path(folder) / "Index-link");  // inside: followed

  IworkDocumentInfo info;
  ASSERT_TRUE(readIworkDocument(folder, &info).ok());
  EXPECT_EQ(info.content.cells, 5u);
  // Data, and the file link seen through Metadata and through Index-link.
  ASSERT_EQ(info.notes.size(), 3u) << ::testing::PrintToString(info.notes);
  for (const std::string& note : info.notes) {
    EXPECT_NE(note.find("it leads out of the package"), std::string::npos) << note;
  }

  const std::string flat = (tmp_.path() / "flat.numbers").string();
  std::vector<std::string> notes;
  ASSERT_TRUE(flattenPackage(folder, flat, &notes).ok());
  EXPECT_EQ(notes, info.notes);
  int code = 0;
  zip_t* z = zip_open(flat.c_str(), ZIP_RDONLY, &code);
  ASSERT_NE(z, nullptr);
  std::vector<std::string> members;
  for (zip_int64_t i = 0; i < zip_get_num_entries(z, 0); ++i) {
    members.emplace_back(zip_get_name(z, static_cast<zip_uint64_t>(i), 0));
  }
  zip_discard(z);
  EXPECT_EQ(members.size(), index.size() + 2) << ::testing::PrintToString(members);
  for (const std::string& member : members) {
    EXPECT_FALSE(member.starts_with("Data")) << member;
    EXPECT_NE(member, "Metadata/notes.txt");
  }
  EXPECT_NE(std::find(members.begin(), members.end(), "Index-link/Properties.plist"),
            members.end());
}

TEST(IworkFormatVersionTest, KnownVersionsReadAndOthersDoNot) {
  for (const char* readable : {"1.5.0", "11.2.9", "14.4.1", "26.1.0", "30"}) {
    EXPECT_TRUE(isReadableFormatVersion(readable)) << readable;
  }
  for (const char* unreadable : {"99.9", "31.0", "0.9", "", "abc", "14.x", "-1", "1e3"}) {
    EXPECT_FALSE(isReadableFormatVersion(unreadable)) << unreadable;
  }
}

}  // namespace
}  // namespace morvane
