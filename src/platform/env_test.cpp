#include "platform/real_env.h"
#include "platform/placing_steps.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>

#include "filelist/held_folder.h"
#include "filelist/nq_file_data_object.h"
#include "filelist/regular_files.h"
#include "testing/recording_fakes.h"
#include "testing/temp_dir.h"

namespace morvane {
namespace {

using testing::TempDir;
using namespace std::chrono_literals;

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// Every name in a folder, hidden ones included, sorted.
std::vector<std::string> allNames(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& item : fs::directory_iterator(dir)) names.push_back(item.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

const fs::file_time_type kLongAgo = fs::file_time_type::clock::now() - 24h * 400 + 123ns;

// Placing steps that refuse with the given errors (0: the machine's own).
PlacingSteps refusing(int renameError, int linkError, std::vector<std::string>* calls) {
  PlacingSteps steps = systemPlacingSteps();
  steps.renameNoReplace = [renameError, calls, real = steps.renameNoReplace](auto& from, auto& to) {
    calls->push_back("rename");
    return renameError != 0 ? renameError : real(from, to);
  };
  steps.link = [linkError, calls, real = steps.link](auto& from, auto& to) {
    calls->push_back("link");
    return linkError != 0 ? linkError : real(from, to);
  };
  return steps;
}

// A copy asked to stop, in the middle of a large file or between the items
// of a folder, fails saying so and leaves nothing, not even its hidden
// temporary file; one never asked copies to the end.
TEST(CopyItemTest, AStoppedCopyLeavesNothing) {
  TempDir tmp;
  const fs::path big = tmp.write("in/big.bin", std::string(1 << 20, 'x'));  // 16 chunks
  for (const char* name : {"a.txt", "b.txt", "c.txt"}) tmp.write(std::string("in/Folder/") + name);
  const fs::path out = tmp.mkdir("out");
  RealEnv env;
  for (const fs::path& from : {big, tmp.path() / "in/Folder"}) {
    int asked = 0;
    const StopRequested stopSoon = [&asked] { return ++asked > 2; };
    EXPECT_EQ(env.copyItem(from, out / from.filename(), stopSoon).message(), kCopyStopped)
        << from;
    EXPECT_GT(asked, 2) << from;
    EXPECT_TRUE(allNames(out).empty()) << from;
  }
  int asked = 0;
  ASSERT_TRUE(env.copyItem(big, out / "big.bin", [&asked] { return ++asked < 0; }).ok());
  EXPECT_EQ(fs::file_size(out / "big.bin"), 1u << 20);
  EXPECT_GE(asked, 16);  // looked at before every chunk
}

TEST(CopyItemTest, FileKeepsContentsPermissionsAndModificationTime) {
  TempDir tmp;
  const fs::path from = tmp.write("in/report.txt", "contents");
  fs::permissions(from, fs::perms::owner_read | fs::perms::group_read);
  fs::last_write_time(from, kLongAgo);
  const fs::path out = tmp.mkdir("out");
  RealEnv env;
  ASSERT_TRUE(env.copyItem(from, out / "report.txt").ok());

  EXPECT_EQ(readFile(out / "report.txt"), "contents");
  EXPECT_EQ(fs::last_write_time(out / "report.txt"), kLongAgo);
  EXPECT_EQ(fs::status(out / "report.txt").permissions(), fs::status(from).permissions());
  EXPECT_EQ(allNames(out), std::vector<std::string>{"report.txt"});
}

TEST(CopyItemTest, ExistingItemIsNeverReplaced) {
  TempDir tmp;
  const fs::path from = tmp.write("in/a.txt", "mine");
  const fs::path out = tmp.mkdir("out");
  tmp.write("out/file.txt", "theirs");
  tmp.write("out/folder/inside.txt", "theirs");
  fs::create_symlink(tmp.path() / "nowhere", out / "dangling");
  RealEnv env;
  for (const char* name : {"file.txt", "folder", "dangling"}) {
    const Status s = env.copyItem(from, out / name);
    EXPECT_FALSE(s.ok()) << name;
    EXPECT_EQ(s.message(), "an item named \"" + std::string(name) + "\" already exists");
  }
  EXPECT_FALSE(env.copyItem(tmp.path() / "in", out / "folder").ok());
  EXPECT_EQ(readFile(out / "file.txt"), "theirs");
  EXPECT_EQ(readFile(out / "folder/inside.txt"), "theirs");
  EXPECT_EQ(allNames(out / "folder"), std::vector<std::string>{"inside.txt"});
  EXPECT_TRUE(fs::is_symlink(out / "dangling"));
  EXPECT_EQ(allNames(out), (std::vector<std::string>{"dangling", "file.txt", "folder"}));
}

// Another program creates the target after the first look, just before the
// copy is placed: each way of placing must leave its file alone.
TEST(CopyItemTest, ItemThatAppearsWhileCopyingIsNotReplaced) {
  struct Case {
    int renameError;
    int linkError;
    const char* intrudeBefore;
  };
  for (const Case& c :
       {Case{0, 0, "rename"}, Case{EINVAL, 0, "link"}, Case{EINVAL, EPERM, "link"}}) {
    SCOPED_TRACE(std::to_string(c.renameError) + "/" + std::to_string(c.linkError));
    TempDir tmp;
    const fs::path from = tmp.write("in/a.txt", "mine");
    const fs::path out = tmp.mkdir("out");
    std::vector<std::string> calls;
    PlacingSteps steps = refusing(c.renameError, c.linkError, &calls);
    auto& step = std::string(c.intrudeBefore) == "rename" ? steps.renameNoReplace : steps.link;
    step = [&out, inner = step](auto& f, auto& t) {
      std::ofstream(out / "a.txt") << "theirs";
      return inner(f, t);
    };
    const Status s = copyItemWithoutReplacing(from, out / "a.txt", steps);
    EXPECT_EQ(s.message(), "an item named \"a.txt\" already exists");
    EXPECT_EQ(readFile(out / "a.txt"), "theirs");
    EXPECT_EQ(allNames(out), std::vector<std::string>{"a.txt"});
  }
}

TEST(CopyItemTest, VolumesThatRefuseNoReplaceRenameOrLinksStillGetTheCopy) {
  struct Case {
    int renameError;
    int linkError;
  };
  for (const Case& c : {Case{EINVAL, 0}, Case{ENOSYS, EPERM}, Case{EOPNOTSUPP, ENOTSUP}}) {
    SCOPED_TRACE(std::to_string(c.renameError) + "/" + std::to_string(c.linkError));
    TempDir tmp;
    const fs::path from = tmp.write("in/a.txt", "mine");
    fs::last_write_time(from, kLongAgo);
    const fs::path out = tmp.mkdir("out");
    std::vector<std::string> calls;
    const PlacingSteps steps = refusing(c.renameError, c.linkError, &calls);
    ASSERT_TRUE(copyItemWithoutReplacing(from, out / "a.txt", steps).ok());
    EXPECT_EQ(calls, (std::vector<std::string>{"rename", "link"}));
    EXPECT_EQ(readFile(out / "a.txt"), "mine");
    EXPECT_EQ(fs::last_write_time(out / "a.txt"), kLongAgo);
    EXPECT_EQ(allNames(out), std::vector<std::string>{"a.txt"});
  }
}

TEST(CopyItemTest, FailedCopyLeavesNothing) {
  TempDir tmp;
  const fs::path out = tmp.mkdir("out");
  RealEnv env;
  // Reading this file fails (its offset 0 is unmapped), even for root.
  EXPECT_EQ(env.copyItem("/proc/self/mem", out / "mem").message(), "Input/output error");
  EXPECT_FALSE(env.copyItem(tmp.path() / "missing.txt", out / "missing.txt").ok());
  EXPECT_FALSE(env.copyItem(tmp.write("a.txt"), tmp.path() / "no-such-folder/a.txt").ok());

  // A placing error that is not a refusal is not worked around.
  std::vector<std::string> calls;
  const Status s = copyItemWithoutReplacing(tmp.path() / "a.txt", out / "a.txt",
                                            refusing(EIO, 0, &calls));
  EXPECT_EQ(s.message(), "Input/output error");
  EXPECT_EQ(calls, std::vector<std::string>{"rename"});

  // A folder that cannot be copied whole is not left half copied.
  tmp.write("Folder/Sub/doc.txt");
  ASSERT_EQ(::mkfifo((tmp.path() / "Folder/Sub/pipe").c_str(), 0600), 0);
  EXPECT_EQ(env.copyItem(tmp.path() / "Folder", out / "Folder").message(),
            "\"pipe\" is not a file, folder or link");
  EXPECT_TRUE(allNames(out).empty());
}

TEST(CopyItemTest, FolderIsCopiedWithHiddenItemsLinksAndTimes) {
  TempDir tmp;
  const fs::path doc = tmp.write("Deck.key/Index/Document.iwa", "index");
  tmp.write("Deck.key/.meta", "m");
  fs::create_symlink("Index/Document.iwa", tmp.path() / "Deck.key/link");
  fs::last_write_time(doc, kLongAgo);
  fs::last_write_time(tmp.path() / "Deck.key", kLongAgo + 1s);
  const fs::path out = tmp.mkdir("out");
  RealEnv env;
  ASSERT_TRUE(env.copyItem(tmp.path() / "Deck.key", out / "Deck.key").ok());

  EXPECT_EQ(allNames(out / "Deck.key"), (std::vector<std::string>{".meta", "Index", "link"}));
  EXPECT_EQ(readFile(out / "Deck.key/Index/Document.iwa"), "index");
  EXPECT_EQ(fs::read_symlink(out / "Deck.key/link"), "Index/Document.iwa");
  EXPECT_EQ(fs::last_write_time(out / "Deck.key/Index/Document.iwa"), kLongAgo);
  EXPECT_EQ(fs::last_write_time(out / "Deck.key"), kLongAgo + 1s);
  EXPECT_EQ(allNames(out / "Deck.key/Index"), std::vector<std::string>{"Document.iwa"});
}

TEST(CopyItemTest, TopLevelLinkIsCopiedAsALink) {
  TempDir tmp;
  fs::create_symlink("elsewhere/a.txt", tmp.path() / "link");
  RealEnv env;
  ASSERT_TRUE(env.copyItem(tmp.path() / "link", tmp.path() / "copy").ok());
  EXPECT_EQ(fs::read_symlink(tmp.path() / "copy"), "elsewhere/a.txt");
}

// Flushing steps that note what each descriptor names and fail with `err`
// on files (`onFiles`) or on folders.
PlacingSteps flushing(int err, bool onFiles, std::vector<std::string>* flushed) {
  PlacingSteps steps = systemPlacingSteps();
  steps.flush = [=](int fd) {
    struct ::stat st;
    const bool folder = ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode);
    const fs::path name = fs::read_symlink("/proc/self/fd/" + std::to_string(fd));
    flushed->push_back((folder ? "folder " : "file ") + name.filename().string());
    return folder != onFiles ? err : 0;
  };
  return steps;
}

// A copy is on the disk before it counts: each file is flushed before it
// takes its name, each folder that gained an item after. A copy that
// cannot be flushed fails with the reason and leaves nothing.
TEST(CopyItemTest, CopiesAreFlushedAndAFailedFlushLeavesNothing) {
  TempDir tmp;
  const fs::path from = tmp.write("in/a.txt", "contents");
  tmp.write("in/Folder/b.txt", "b");
  const fs::path out = tmp.mkdir("out");
  std::vector<std::string> flushed;
  ASSERT_TRUE(copyItemWithoutReplacing(from, out / "a.txt", flushing(0, true, &flushed)).ok());
  ASSERT_EQ(flushed.size(), 2u);
  EXPECT_TRUE(flushed[0].starts_with("file .a.txt.morvane-copy-")) << flushed[0];
  EXPECT_EQ(flushed[1], "folder out");

  flushed.clear();
  ASSERT_TRUE(copyItemWithoutReplacing(tmp.path() / "in/Folder", out / "Folder",
                                       flushing(0, true, &flushed))
                  .ok());
  EXPECT_EQ(flushed.size(), 3u);
  EXPECT_EQ(flushed[1], "folder Folder");
  EXPECT_EQ(flushed[2], "folder out");
  fs::remove_all(out / "Folder");
  fs::remove(out / "a.txt");

  for (const bool onFiles : {true, false}) {
    for (const fs::path& item : {from, tmp.path() / "in/Folder"}) {
      flushed.clear();
      const Status s = copyItemWithoutReplacing(item, out / item.filename(),
                                                flushing(EIO, onFiles, &flushed));
      EXPECT_NE(s.message().find("could not be flushed to the disk: Input/output error"),
                std::string::npos)
          << s.message();
      EXPECT_TRUE(allNames(out).empty()) << item << " " << onFiles;
    }
  }
}

TEST(EnvTest, StatTellsLinksAndResolveFollowsThem) {
  TempDir tmp;
  const fs::path dir = tmp.mkdir("dir");
  fs::create_symlink(dir, tmp.path() / "link");
  fs::create_symlink("missing", tmp.path() / "dangling");
  RealEnv env;
  const FileInfo direct = env.stat(dir), linked = env.stat(tmp.path() / "link");
  EXPECT_TRUE(direct.isDir && !direct.isLink);
  EXPECT_TRUE(linked.isDir && linked.isLink);
  EXPECT_EQ(linked.inode, direct.inode);
  EXPECT_FALSE(env.stat(tmp.path() / "dangling").exists);
  EXPECT_EQ(env.resolve(tmp.path() / "link/../link"), fs::canonical(dir));
  EXPECT_TRUE(env.resolve(tmp.path() / "dangling").empty());
}

// FIFOs, sockets and devices are told apart from files and folders by the
// listing, a stat and the scan, are never opened (a FIFO without a writer
// would block), cannot be copied, and are named when a folder is flattened.
TEST(EnvTest, SpecialFilesAreToldApartAndNeverOpened) {
  TempDir tmp;
  const fs::path dir = tmp.mkdir("dir");
  const fs::path fifo = dir / "pipe.docx";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const fs::path socketPath = dir / "sock";
  const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ::sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(socketPath.native().size(), sizeof address.sun_path);
  std::copy(socketPath.native().begin(), socketPath.native().end(), address.sun_path);
  ASSERT_EQ(::bind(sock, reinterpret_cast<::sockaddr*>(&address), sizeof address), 0);
  ::close(sock);
  tmp.write("dir/a.txt");
  tmp.mkdir("dir/sub");
  fs::create_symlink(fifo, dir / "link");
  RealEnv env;
  std::vector<DirectoryItem> items;
  ASSERT_TRUE(env.listDirectory(dir, &items).ok());
  std::map<std::string, DirectoryItem::Kind> kinds;
  for (const DirectoryItem& item : items) kinds[item.path.filename().string()] = item.kind;
  using Kind = DirectoryItem::Kind;
  EXPECT_EQ(kinds, (std::map<std::string, Kind>{{"a.txt", Kind::other},
                                                 {"link", Kind::needsStat},
                                                 {"pipe.docx", Kind::special},
                                                 {"sock", Kind::special},
                                                 {"sub", Kind::directory}}));
  EXPECT_TRUE(env.stat(fifo).isSpecial);
  EXPECT_TRUE(env.stat(dir / "link").isSpecial);
  EXPECT_TRUE(env.stat("/dev/null").isSpecial);
  EXPECT_FALSE(env.stat(dir / "a.txt").isSpecial || env.stat(dir).isSpecial);

  const NQFileDataObject scanned(dir, 0, true, env);
  std::vector<std::string> special;
  for (const NQFileDataObject& e : *scanned.dirContents) {
    if (e.isSpecial) special.push_back(e.url.filename().string());
  }
  EXPECT_EQ(special, (std::vector<std::string>{"link", "pipe.docx", "sock"}));
  EXPECT_TRUE(NQFileDataObject(fifo, 0, true, env).isSpecial);

  const Status copied = env.copyItem(fifo, tmp.path() / "copy");
  EXPECT_EQ(copied.message(), "\"pipe.docx\" is not a file, folder or link");
  EXPECT_FALSE(fs::exists(tmp.path() / "copy"));

  testing::RecordingEnv recording;
  EXPECT_EQ(regularFilesIn(dir, recording), std::vector<fs::path>{dir / "a.txt"});
  EXPECT_EQ(recording.linesContaining("neither a regular file nor a folder"),
            (std::vector<std::string>{
                "Not adding " + fifo.string() +
                    ": it is neither a regular file nor a folder (a FIFO, socket or device)",
                "Not adding " + socketPath.string() +
                    ": it is neither a regular file nor a folder (a FIFO, socket or device)"}));
}

// A held folder is told apart from one made again under its name, though
// the file system would give the new one the same inode number.
TEST(EnvTest, AHeldFolderIsNotTheOneMadeAgainInItsPlace) {
  TempDir tmp;
  const fs::path dir = tmp.mkdir("out");
  RealEnv env;
  std::optional<HeldFolder> held = HeldFolder::open(dir);
  ASSERT_TRUE(held);
  tmp.write("out/a.pdf");
  EXPECT_TRUE(held->isAt(env.stat(dir)));
  EXPECT_FALSE(held->isAt(env.stat(tmp.path())));
  fs::remove_all(dir);
  EXPECT_FALSE(held->isAt(env.stat(dir)));
  fs::create_directory(dir);
  EXPECT_FALSE(held->isAt(env.stat(dir)));
  EXPECT_FALSE(HeldFolder::open(tmp.path() / "missing"));
}

TEST(EnvTest, SyncFlushesFilesAndFoldersAndNamesWhatIsMissing) {
  TempDir tmp;
  RealEnv env;
  EXPECT_TRUE(env.syncFile(tmp.write("a.txt", "a")).ok());
  EXPECT_TRUE(env.syncFolder(tmp.path()).ok());
  EXPECT_EQ(env.syncFile(tmp.path() / "missing").message(), "No such file or directory");
  EXPECT_EQ(env.syncFolder(tmp.path() / "a.txt").message(), "Not a directory");
}

// A FAT image mounted through a loop device for one test; unmounted when
// the test ends, with the image removed by its TempDir.
class FatVolume {
 public:
  explicit FatVolume(const fs::path& dir) : image_(dir / "fat.img"), mount_(dir / "mnt") {}
  ~FatVolume() {
    if (!mounted_) return;
    [[maybe_unused]] const int status = std::system(("umount '" + mount_.string() + "'").c_str());
  }

  // Empty when mounted; otherwise what is missing.
  std::string mount() {
    if (::geteuid() != 0) return "mounting a FAT image needs root";
    std::ofstream(image_).close();
    fs::resize_file(image_, 4 << 20);
    fs::create_directory(mount_);
    if (std::system(("mkfs.fat '" + image_.string() + "' >/dev/null 2>&1").c_str()) != 0) {
      return "mkfs.fat (dosfstools) is missing";
    }
    if (std::system(("mount -o loop '" + image_.string() + "' '" + mount_.string() +
                     "' >/dev/null 2>&1").c_str()) != 0) {
      return "cannot mount a FAT image through a loop device here (no vfat or no loop devices)";
    }
    mounted_ = true;
    return {};
  }
  const fs::path& path() const { return mount_; }

 private:
  fs::path image_;
  fs::path mount_;
  bool mounted_ = false;
};

TEST(CopyItemTest, CopiesOntoAFatVolume) {
  TempDir tmp;
  FatVolume fat(tmp.path());
  if (std::string missing = fat.mount(); !missing.empty()) GTEST_SKIP() << missing;
  const fs::path from = tmp.write("in/Report.txt", "contents");
  const auto time = std::chrono::floor<std::chrono::seconds>(kLongAgo);
  fs::last_write_time(from, time);
  RealEnv env;
  ASSERT_TRUE(env.copyItem(from, fat.path() / "Report.txt").ok());
  EXPECT_FALSE(env.copyItem(from, fat.path() / "Report.txt").ok());

  EXPECT_EQ(readFile(fat.path() / "Report.txt"), "contents");
  const auto kept = fs::last_write_time(fat.path() / "Report.txt");
  EXPECT_LE(std::chrono::abs(kept - time), 2s);  // FAT keeps times to 2 seconds
  EXPECT_EQ(allNames(fat.path()), std::vector<std::string>{"Report.txt"});
}

}  // namespace
}  // namespace morvane
