// Plain reasons in place of LibreOffice's codes, found on real files and,
// where this machine lets the test mount them, on small file systems that
// are full or read-only.
#include "office/failure_reasons.h"

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <csignal>
#include <fstream>
#include <tuple>
#include <vector>

#include "office/iwork_package.h"
#include "testing/temp_dir.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;

// LibreOffice's words for a failed load and a failed save, as the worker
// passes them on.
const Status kOfficeLoad = Status::error(
    "LibreOffice cannot open it: loadComponentFromURL returned an empty reference");
const Status kOfficeSave = Status::error(
    "LibreOffice could not write pdf: exception: SfxBaseModel::impl_store <file:///x.pdf> failed: "
    "0x20d(Error Area:Io Class:General Code:13) at ./sfx2/source/doc/sfxbasemodel.cxx:3207");

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
  const FailureReason password = explainLoadFailure(encrypted, kOfficeLoad);
  EXPECT_EQ(password.kind, FailureKind::passwordProtected);
  EXPECT_EQ(password.sentence,
            "the document is password-protected; remove the password to convert it");
  EXPECT_EQ(password.details, kOfficeLoad.message());
  EXPECT_EQ(explainLoadFailure(renamedDoc, kOfficeLoad).sentence,
            "the file is damaged or truncated");

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
  EXPECT_EQ(explainSaveFailure((tmp.path() / "gone/a.pdf").string(), kOfficeSave).sentence,
            "the folder " + (tmp.path() / "gone").string() + " no longer exists");
  const std::string target = (tmp.path() / "a.pdf").string();
  const FailureReason unexplained = explainSaveFailure(target, kOfficeSave);
  EXPECT_EQ(unexplained.sentence, "LibreOffice could not write " + target);
  EXPECT_EQ(unexplained.details, kOfficeSave.message());

  SmallDisk full(tmp.path() / "full", "size=1m");
  SmallDisk readOnly(tmp.path() / "ro", "ro,size=1m");
  if (!full.mounted() || !readOnly.mounted()) {
    GTEST_SKIP() << "this machine does not let the test mount a small file system";
  }
  const std::string onDisk = (tmp.path() / "full/a.pdf").string();
  EXPECT_EQ(explainSaveFailure(onDisk, kOfficeSave).kind, FailureKind::unexplained);  // room left
  // More room than a nearly full disk has, less than the export needed.
  EXPECT_EQ(explainSaveFailure(onDisk, kOfficeSave, 2 << 20).sentence,
            "the disk of " + (tmp.path() / "full").string() + " is full");
  {
    std::ofstream filler(tmp.path() / "full/filler");
    const std::string block(64 << 10, 'x');
    while (filler.write(block.data(), static_cast<std::streamsize>(block.size())) && filler.flush()) {
    }
  }
  const FailureReason noRoom = explainSaveFailure(onDisk, kOfficeSave);
  EXPECT_EQ(noRoom.kind, FailureKind::diskFull);
  EXPECT_EQ(noRoom.sentence, "the disk of " + (tmp.path() / "full").string() + " is full");
  EXPECT_EQ(noRoom.details, kOfficeSave.message());
  EXPECT_EQ(explainSaveFailure((tmp.path() / "ro/a.pdf").string(), kOfficeSave).sentence,
            "the folder " + (tmp.path() / "ro").string() + " is on a read-only disk");
}

// Texts of LibreOffice, the worker and the system that cannot be produced
// here cheaply (a crash, a missing permission as root, errors of other
// disks), each with the sentence it becomes; the text stays as details.
TEST(FailureReasonsTest, RawTextsBecomeSentencesKeepingThemAsDetails) {
  const FailureReason crash = workerStopped(SIGABRT, "/lib/x86_64-linux-gnu/libc.so.6(+0x1098ec)");
  EXPECT_EQ(crash.kind, FailureKind::crashed);
  EXPECT_EQ(crash.sentence, "LibreOffice crashed on this document");
  EXPECT_EQ(crash.details,
            "the LibreOffice worker stopped unexpectedly (killed by signal 6 (Aborted)); its last "
            "message: /lib/x86_64-linux-gnu/libc.so.6(+0x1098ec)");
  EXPECT_EQ(workerStopped(SIGKILL, "").sentence,
            "LibreOffice was ended by the system on this document, perhaps for lack of memory");
  EXPECT_EQ(workerStopped(3 << 8, "").sentence,
            "LibreOffice stopped unexpectedly on this document");
  EXPECT_EQ(workerTooLarge(450ull << 20).sentence,
            "it needs more memory than the 450 MB allowed per document");
  EXPECT_EQ(workerTooSlow(std::chrono::seconds(120)).sentence,
            "it took longer than the time limit of 120 s");

  const std::vector<std::tuple<bool, std::string, FailureKind, std::string>> system = {
      {true, "No space left on device", FailureKind::diskFull, "the disk of /out is full"},
      {true, "Disk quota exceeded", FailureKind::diskFull, "the disk of /out is full"},
      {true, "Permission denied", FailureKind::noPermission, "no permission to write /out/a.pdf"},
      {false, "Permission denied", FailureKind::noPermission, "no permission to read /out/a.pdf"},
      {true, "Read-only file system", FailureKind::readOnlyDisk,
       "the folder /out is on a read-only disk"},
      {true, "No such file or directory", FailureKind::missing, "the folder /out no longer exists"},
      {true, "File name too long", FailureKind::nameTooLong,
       "the name a.pdf is too long for its disk"},
  };
  for (const auto& [writing, words, kind, sentence] : system) {
    const std::string text = "cannot write /out/a.pdf: " + words;
    const FailureReason r = explainFileError("/out/a.pdf", writing, text);
    EXPECT_EQ(r.kind, kind) << words;
    EXPECT_EQ(r.sentence, sentence);
    EXPECT_EQ(r.details, text);
  }
  const FailureReason io =
      explainFileError("/out/a.pdf", true, "cannot write /out/a.pdf: Input/output error");
  EXPECT_EQ(io.sentence, "cannot write /out/a.pdf: Input/output error");  // plain enough as it is
  EXPECT_EQ(io.details, "");

  testing::TempDir tmp;
  const std::string doc = tmp.write("a.docx", "PK").string();
  const std::string pdf = (tmp.path() / "a.pdf").string();
  const Status access =
      Status::error("LibreOffice could not write pdf: 0x507(Error Area:Io Class:Access Code:7)");
  EXPECT_EQ(explainSaveFailure(pdf, access).sentence, "no permission to write " + pdf);
  EXPECT_EQ(explainLoadFailure(doc, access).sentence, "no permission to read " + doc);
  EXPECT_EQ(explainSaveFailure(pdf, Status::error("0x...(Error Area:Io Class:Space Code:9)")).kind,
            FailureKind::diskFull);
  // Plain words of the worker stay as they are; an explained failure is kept.
  EXPECT_EQ(explainSaveFailure(pdf, Status::error("disk trouble")).sentence, "disk trouble");
  EXPECT_EQ(explainLoadFailure(doc, Status::error("no such file: " + doc)).kind,
            FailureKind::missing);
  const FailureReason kept = explainLoadFailure(doc, crash.status());
  EXPECT_EQ(kept.sentence, crash.sentence);
  EXPECT_EQ(kept.details, crash.details);

  const FailureReason kind = wrongKindOfFile("/in/report.docx", "spreadsheet", "Pages", "text");
  EXPECT_EQ(kind.kind, FailureKind::wrongKind);
  EXPECT_EQ(kind.sentence, "this .docx file is a spreadsheet, not a text document");
  EXPECT_EQ(wrongKindOfFile("/in/deck.key", "text", "Keynote", "presentation").sentence,
            "this .key file is a text document, not a presentation");
}

// A document this process may not read is named with what was refused
// (root reads every file, so the test skips there).
TEST(FailureReasonsTest, AnUnreadableDocumentIsNamed) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
  testing::TempDir tmp;
  const fs::path doc = tmp.write("locked.docx", "PK");
  ASSERT_EQ(::chmod(doc.c_str(), 0), 0);
  const FailureReason r = explainLoadFailure(doc, kOfficeLoad);
  EXPECT_EQ(r.kind, FailureKind::noPermission);
  EXPECT_EQ(r.sentence, "no permission to read " + doc.string());
  EXPECT_EQ(r.details, kOfficeLoad.message());
}

// What the check of an iWork document finds wrong reaches the user in
// fixed words where a user can act on it, and as a damaged document with
// the checker's words as details otherwise (the sentence keeps them too).
TEST(FailureReasonsTest, TheChecksFindingsGetFixedWords) {
  testing::TempDir tmp;
  const auto finding = [](const fs::path& doc) {
    IworkDocumentInfo info;
    const Status s = readIworkDocument(doc.string(), &info);
    EXPECT_FALSE(s.ok()) << doc;
    return unreadableDocument("Pages", s.message());
  };
  const FailureReason empty = finding(tmp.write("empty.pages", ""));
  EXPECT_EQ(empty.sentence, "the file is empty (0 bytes); there is nothing to convert");

  const fs::path noIndex = tmp.path() / "no-index.pages";
  int err = 0;
  zip_t* z = zip_open(noIndex.c_str(), ZIP_CREATE, &err);
  ASSERT_NE(z, nullptr);
  zip_source_t* text = zip_source_buffer(z, "hello", 5, 0);
  ASSERT_GE(zip_file_add(z, "notes.txt", text, 0), 0);
  ASSERT_EQ(zip_close(z), 0);
  const FailureReason none = finding(noIndex);
  EXPECT_EQ(none.pattern, "this is not a readable %1 document: it holds no document (no index)");
  EXPECT_EQ(none.sentence, "this is not a readable Pages document: it holds no document (no index)");

  const FailureReason version = unreadableDocument(
      "Pages", "it declares file format version 99.0, which no reader supports");
  EXPECT_EQ(version.values, (std::vector<std::string>{"Pages", "99.0"}));

  const FailureReason damaged = finding(tmp.write("garbage.pages", "PK\x03\x04 not a zip"));
  EXPECT_EQ(damaged.kind, FailureKind::damaged);
  EXPECT_EQ(damaged.pattern, "this %1 document is damaged or unreadable");
  EXPECT_FALSE(damaged.details.empty());
  EXPECT_EQ(damaged.sentence, "this Pages document is damaged or unreadable: " + damaged.details);
}

}  // namespace
}  // namespace morvane
