// Package folders with real links in temporary folders: links that lead
// out are named and not followed, links that stay inside are followed
// once, however they loop.
#include "office/package_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "testing/fault_injection_env.h"
#include "testing/temp_dir.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

std::vector<std::string> names(const PackageFolderFiles& listing) {
  std::vector<std::string> all;
  for (const auto& [name, path] : listing.files) all.push_back(name);
  return all;
}

TEST(PackageFolderTest, LinksThatLeadOutAreNamedAndNotFollowed) {
  TempDir tmp;
  tmp.write("secret.txt", "not part of the document");
  tmp.write("Report.numbers/Index/Document.iwa", "i");
  const fs::path package = tmp.path() / "Report.numbers";
  fs::create_symlink("/", package / "Data");
  fs::create_symlink("../../secret.txt", package / "Index/stolen.iwa");
  fs::create_symlink(tmp.path(), package / "up");
  fs::create_symlink("missing", package / "dangling");
  PackageFolderFiles listing;
  ASSERT_TRUE(listPackageFolder(package, false, &listing).ok());
  EXPECT_EQ(names(listing), std::vector<std::string>{"Index/Document.iwa"});
  ASSERT_EQ(listing.leavingLinks.size(), 3u);
  std::string lines;
  for (const std::string& line : listing.leavingLinks) lines += line + "\n";
  for (const char* link : {"Data", "Index/stolen.iwa", "up"}) {
    EXPECT_NE(lines.find("'" + (package / link).string() + "': it leads out of the package"),
              std::string::npos)
        << lines;
  }
  PackageFolderFiles missing;
  EXPECT_FALSE(listPackageFolder(tmp.path() / "missing.pages", true, &missing).ok());
}

TEST(PackageFolderTest, LinksInsideAreFollowedOnceEvenWhenTheyLoop) {
  TempDir tmp;
  tmp.write("Deck.key/Media/a.jpg", "a");
  const fs::path package = tmp.path() / "Deck.key";
  fs::create_symlink("Media/a.jpg", package / "preview.jpg");  // a file inside
  fs::create_symlink("Media", package / "Data");               // a folder inside
  fs::create_symlink("..", package / "Media/loop");            // back to the top
  fs::create_symlink(package, package / "self");
  fs::create_symlink("../Media", package / "Media/again");     // back to itself
  PackageFolderFiles listing;
  ASSERT_TRUE(listPackageFolder(package, false, &listing).ok());
  EXPECT_EQ(names(listing),
            (std::vector<std::string>{"Data/a.jpg", "Media/a.jpg", "preview.jpg"}));
  EXPECT_TRUE(listing.leavingLinks.empty());

  // A package reached through a link of its own is still itself.
  fs::create_symlink(package, tmp.path() / "Alias.key");
  PackageFolderFiles viaLink;
  ASSERT_TRUE(listPackageFolder(tmp.path() / "Alias.key", false, &viaLink).ok());
  EXPECT_EQ(names(viaLink), names(listing));
  EXPECT_TRUE(viaLink.leavingLinks.empty());
}

TEST(PackageFolderTest, UnreadableSubfoldersAreSkippedOnlyWhenAsked) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads every folder";
  TempDir tmp;
  tmp.write("P.pages/Index/Document.iwa", "i");
  tmp.write("P.pages/Locked/x", "x");
  const fs::path locked = tmp.path() / "P.pages/Locked";
  ASSERT_EQ(::chmod(locked.c_str(), 0), 0);
  PackageFolderFiles skipping, strict;
  EXPECT_TRUE(listPackageFolder(tmp.path() / "P.pages", true, &skipping).ok());
  EXPECT_EQ(names(skipping), std::vector<std::string>{"Index/Document.iwa"});
  EXPECT_FALSE(listPackageFolder(tmp.path() / "P.pages", false, &strict).ok());
  ::chmod(locked.c_str(), 0700);
}

// The same through an Env that refuses the listing (as it would for any
// user, root too): only a folder the user may not read is skipped, never
// one that fails otherwise, nor the package itself. Hidden items count.
TEST(PackageFolderTest, OnlyAFolderThatMayNotBeReadIsSkipped) {
  using Op = testing::FaultInjectionEnv::Op;
  TempDir tmp;
  tmp.write("P.pages/Index/Document.iwa", "i");
  tmp.write("P.pages/.hidden/x", "x");
  tmp.write("P.pages/Locked/x", "x");
  tmp.write("P.pages/Broken/x", "x");
  testing::FaultInjectionEnv env;
  env.fail(Op::listAll, "Locked", EACCES);
  PackageFolderFiles skipping;
  EXPECT_TRUE(listPackageFolder(tmp.path() / "P.pages", true, &skipping, env).ok());
  EXPECT_EQ(names(skipping), (std::vector<std::string>{".hidden/x", "Broken/x",
                                                       "Index/Document.iwa"}));

  env.fail(Op::listAll, "Broken", EIO);
  PackageFolderFiles broken;
  EXPECT_EQ(listPackageFolder(tmp.path() / "P.pages", true, &broken, env).message(),
            "the package folder cannot be read: Input/output error");

  env.fail(Op::listAll, "P.pages", EACCES);
  PackageFolderFiles top;
  EXPECT_EQ(listPackageFolder(tmp.path() / "P.pages", true, &top, env).message(),
            "the package folder cannot be read: Permission denied");
  EXPECT_EQ(listPackageFolder(tmp.path() / "Missing.pages", true, &top, env).message(),
            "the package folder cannot be read: No such file or directory");
}

}  // namespace
}  // namespace morvane
