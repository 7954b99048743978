// Package folders made by the tests themselves (testing/iwork_archives.h),
// written as single-file documents and read back.
#include "office/flatten_package.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <filesystem>

#include "office/iwork_package.h"
#include "testing/iwork_archives.h"
#include "testing/temp_dir.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;
using namespace testing::iwork;

class FlattenPackageTest : public ::testing::Test {
 protected:
  std::string writeFolder(const std::string& name, const Files& files) {
    for (const auto& [file, data] : files) tmp_.write(name + "/" + file, data);
    return (tmp_.path() / name).string();
  }

  testing::TempDir tmp_;
};

TEST_F(FlattenPackageTest, PackageFoldersFlattenIntoTheSingleFileForm) {
  Files index = documentFiles();
  index.erase("Metadata/Properties.plist");
  const std::string folder =
      writeFolder("p.numbers", {{"Index.zip", zipOf(index)},
                                {"Data/photo-1.jpg", std::string(5000, 'j')},
                                {"Metadata/Properties.plist", properties("14.4.1")}});
  const std::string flat = (tmp_.path() / "flat.numbers").string();
  ASSERT_TRUE(flattenPackage(folder, flat).ok());
  IworkDocumentInfo info;
  ASSERT_TRUE(readIworkDocument(flat, &info).ok());
  EXPECT_EQ(info.formatVersion, "14.4.1");
  EXPECT_EQ(info.content.cells, 5u);
  int code = 0;
  zip_t* z = zip_open(flat.c_str(), ZIP_RDONLY, &code);
  ASSERT_NE(z, nullptr);
  for (const char* name : {"Index/Document.iwa", "Index/Tables/Tile-7.iwa", "Data/photo-1.jpg"}) {
    EXPECT_GE(zip_name_locate(z, name, 0), 0) << name;
  }
  EXPECT_LT(zip_name_locate(z, "Index.zip", 0), 0);
  zip_discard(z);

  // A package whose Index.zip is damaged leaves no half-written file.
  const std::string broken = writeFolder("q.numbers", {{"Index.zip", "not a zip"}});
  EXPECT_FALSE(flattenPackage(broken, (tmp_.path() / "q-flat.numbers").string()).ok());
  EXPECT_FALSE(fs::exists(tmp_.path() / "q-flat.numbers"));
}

}  // namespace
}  // namespace morvane
