// Plain reasons in place of LibreOffice's codes, found on real files and,
// where this machine lets the test mount them, on small file systems that
// are full or read-only.
#include "office/failure_reasons.h"

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <zip.h>

#include <fstream>

#include "testing/temp_dir.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;

const char kOfficeMessage[] = "Error Area:Io Class:Write Code:16";

// A small tmpfs mounted on a folder of the test, unmounted at the end;
// `mounted()` is false where this machine does not allow it.
class SmallDisk {
 public:
  SmallDisk(const fs::path& at, const char* options) : at_(at) {
    fs::create_directories(at_);
    mounted_ = ::mount("tmpfs", at_.c_str(), "tmpfs", 0, options) == 0;
  }
  ~SmallDisk() {
    if (mounted_) ::umount2(at_.c_str(), MNT_DETACH);
  }
  bool mounted() const { return mounted_; }

 private:
  fs::path at_;
  bool mounted_ = false;
};

TEST(FailureReasonsTest, PasswordProtectedDocumentsAreRecognised) {
  testing::TempDir tmp;
  std::string encryptionInfo;
  for (char c : std::string_view("EncryptionInfo")) encryptionInfo += {c, '\0'};
  const std::string ole = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1" + std::string(500, '\0');
  const fs::path encrypted = tmp.write("secret.docx", ole + encryptionInfo + std::string(100, '\0'));
  const fs::path renamedDoc = tmp.write("old.docx", ole + std::string(600, '\0'));
  EXPECT_TRUE(isPasswordProtected(encrypted));
  EXPECT_FALSE(isPasswordProtected(renamedDoc));
  EXPECT_EQ(explainLoadFailure(encrypted, kOfficeMessage),
            "the document is password-protected; remove the password to convert it");
  EXPECT_EQ(explainLoadFailure(renamedDoc, kOfficeMessage), kOfficeMessage);

  const std::string locked = (tmp.path() / "locked.pages").string();
  int code = 0;
  zip_t* z = zip_open(locked.c_str(), ZIP_CREATE, &code);
  zip_file_add(z, ".iwpv2", zip_source_buffer(z, "v", 1, 0), 0);
  zip_close(z);
  EXPECT_TRUE(isPasswordProtected(locked));
  EXPECT_TRUE(isPasswordProtected(tmp.write("package.key/.iwpv2").parent_path()));
  EXPECT_FALSE(isPasswordProtected(tmp.mkdir("plain.key")));
}

TEST(FailureReasonsTest, SaveFailuresSayWhatStandsInTheWay) {
  testing::TempDir tmp;
  EXPECT_EQ(explainSaveFailure((tmp.path() / "gone/a.pdf").string(), kOfficeMessage),
            "the folder " + (tmp.path() / "gone").string() + " no longer exists");
  EXPECT_EQ(explainSaveFailure((tmp.path() / "a.pdf").string(), kOfficeMessage), kOfficeMessage);

  SmallDisk full(tmp.path() / "full", "size=1m");
  SmallDisk readOnly(tmp.path() / "ro", "ro,size=1m");
  if (!full.mounted() || !readOnly.mounted()) {
    GTEST_SKIP() << "this machine does not let the test mount a small file system";
  }
  const std::string target = (tmp.path() / "full/a.pdf").string();
  EXPECT_EQ(explainSaveFailure(target, kOfficeMessage), kOfficeMessage);  // room left
  {
    std::ofstream filler(tmp.path() / "full/filler");
    const std::string block(64 << 10, 'x');
    while (filler.write(block.data(), static_cast<std::streamsize>(block.size())) && filler.flush()) {
    }
  }
  EXPECT_EQ(explainSaveFailure(target, kOfficeMessage),
            "the disk of " + (tmp.path() / "full").string() + " is full");
  EXPECT_EQ(explainSaveFailure((tmp.path() / "ro/a.pdf").string(), kOfficeMessage),
            "the folder " + (tmp.path() / "ro").string() + " is on a read-only disk");
}

}  // namespace
}  // namespace morvane
