#include "testing/fault_injection_env.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>

#include "platform/env_wrapper.h"
#include "platform/real_env.h"
#include "testing/recording_fakes.h"
#include "testing/temp_dir.h"

namespace morvane::testing {
namespace {

using Op = FaultInjectionEnv::Op;

// Records which calls reach it, by name and path, and hands them on to
// the machine.
class CallRecordingEnv : public EnvWrapper {
 public:
  CallRecordingEnv() : EnvWrapper(machine_) {}

  void log(std::string_view line) override { calls.push_back("log " + std::string(line)); }
  FileInfo stat(const fs::path& path) override {
    calls.push_back("stat " + path.filename().string());
    return EnvWrapper::stat(path);
  }
  Status listDirectory(const fs::path& dir, std::vector<DirectoryItem>* out) override {
    calls.push_back("list " + dir.filename().string());
    return EnvWrapper::listDirectory(dir, out);
  }
  Status writeFile(const fs::path& path, std::string_view data) override {
    calls.push_back("write " + path.filename().string());
    return EnvWrapper::writeFile(path, data);
  }
  Status syncFile(const fs::path& path) override {
    calls.push_back("syncFile " + path.filename().string());
    return EnvWrapper::syncFile(path);
  }

  std::vector<std::string> calls;

 private:
  RealEnv machine_{LogSink{}};
};

std::string contents(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A failed call never reaches the Env below; one that passes reaches it
// unchanged, whatever that Env does with it.
TEST(FaultInjectionEnvTest, FailedCallsStopAboveTheEnvBelowAndTheRestPassThrough) {
  TempDir tmp;
  CallRecordingEnv below;
  FaultInjectionEnv env(below);
  tmp.write("Docs/a.txt");
  env.fail(Op::list, "Docs", EACCES);
  env.fail(Op::write, "refused", ENOSPC);
  env.fail(Op::log, "secret", EIO);

  std::vector<DirectoryItem> items;
  EXPECT_EQ(env.listDirectory(tmp.path() / "Docs", &items).message(), "Permission denied");
  EXPECT_TRUE(items.empty());
  EXPECT_EQ(env.writeFile(tmp.path() / "refused.txt", "x").message(),
            "No space left on device");
  EXPECT_TRUE(env.writeFile(tmp.path() / "kept.txt", "x").ok());
  env.log("a secret line");
  env.log("an open line");
  EXPECT_TRUE(env.stat(tmp.path() / "Docs").isDir);

  // writeFile asks the Env below whether the file was there before.
  EXPECT_EQ(below.calls, (std::vector<std::string>{"stat kept.txt", "write kept.txt",
                                                   "log an open line", "stat Docs"}));
  EXPECT_EQ(env.failures().size(), 3u);
  EXPECT_EQ(env.failures()[2], "log a secret line: Input/output error");
}

// The calls that answer no Status fail as a place that cannot be reached.
TEST(FaultInjectionEnvTest, StatResolveAliasesAndLinksCanFailToo) {
  TempDir tmp;
  RecordingEnv below;
  FaultInjectionEnv env(below);
  const fs::path file = tmp.write("Docs/a.txt");
  below.aliases.insert(file);
  EXPECT_TRUE(env.isFinderAlias(file));
  for (Op op : {Op::stat, Op::resolve, Op::isFinderAlias, Op::linkStatus, Op::readFile,
                Op::longestName, Op::syncFile}) {
    env.fail(op, "a.txt", EIO);
  }
  EXPECT_FALSE(env.stat(file).exists);
  EXPECT_TRUE(env.resolve(file).empty());
  EXPECT_FALSE(env.isFinderAlias(file));
  FileInfo info;
  EXPECT_FALSE(env.linkStatus(file, &info).ok());
  std::string text;
  EXPECT_FALSE(env.readFile(file, &text).ok());
  EXPECT_EQ(env.longestName(file), 0u);
  EXPECT_FALSE(env.syncFile(file).ok());
  // Other paths go on as before.
  EXPECT_TRUE(env.stat(tmp.path() / "Docs").exists);
  EXPECT_TRUE(env.linkStatus(tmp.path() / "Docs", &info).ok());
  EXPECT_TRUE(info.isDir && info.ownedByUser && !info.isLink);
  EXPECT_GT(env.longestName(tmp.path()), 0u);
  EXPECT_EQ(env.failures().size(), 7u);
}

// What was written and not flushed is gone after a power loss: new files
// whose folder was not flushed vanish, files written over are left empty.
TEST(FaultInjectionEnvTest, DropsWhatWasNotSynced) {
  TempDir tmp;
  FaultInjectionEnv env;
  const fs::path old = tmp.write("old.txt", "before");
  const fs::path synced = tmp.path() / "synced.txt";
  const fs::path lonely = tmp.path() / "lonely.txt";
  const fs::path fresh = tmp.path() / "fresh.txt";
  const fs::path moved = tmp.path() / "moved.txt";
  ASSERT_TRUE(env.writeFile(old, "after").ok());
  ASSERT_TRUE(env.writeFile(synced, "kept").ok());
  ASSERT_TRUE(env.syncFile(synced).ok());
  ASSERT_TRUE(env.syncFolder(tmp.path()).ok());
  ASSERT_TRUE(env.writeFile(lonely, "flushed, but not its name").ok());
  ASSERT_TRUE(env.syncFile(lonely).ok());
  ASSERT_TRUE(env.writeFile(fresh, "lost").ok());
  ASSERT_TRUE(env.writeFile(tmp.path() / "partial", "lost as well").ok());
  ASSERT_TRUE(env.renameFile(tmp.path() / "partial", moved).ok());
  EXPECT_EQ(env.unsyncedFiles(), (std::vector<fs::path>{fresh, moved, old}));

  ASSERT_TRUE(env.dropUnsyncedData().ok());
  EXPECT_EQ(contents(old), "");
  EXPECT_EQ(contents(synced), "kept");
  EXPECT_FALSE(fs::exists(fresh));
  EXPECT_FALSE(fs::exists(moved));
  EXPECT_FALSE(fs::exists(tmp.path() / "partial"));
  // A flushed file whose folder was not flushed since loses its name.
  EXPECT_FALSE(fs::exists(lonely));
  EXPECT_TRUE(env.unsyncedFiles().empty());
}

TEST(FaultInjectionEnvTest, RemovedFilesAreForgottenAndHooksRunOnce) {
  TempDir tmp;
  FaultInjectionEnv env;
  const fs::path folder = tmp.mkdir("Out");
  ASSERT_TRUE(env.writeFile(folder / "a.txt", "x").ok());
  ASSERT_TRUE(env.removeAll(folder).ok());
  EXPECT_TRUE(env.unsyncedFiles().empty());
  int ran = 0;
  env.before(Op::stat, "b.txt", [&] { ++ran; });
  env.stat(tmp.path() / "b.txt");
  env.stat(tmp.path() / "b.txt");
  EXPECT_EQ(ran, 1);
}

// A lock can be refused outright, or found held elsewhere (no lock, ok);
// other lock files pass through to a real lock.
TEST(FaultInjectionEnvTest, LocksCanBeRefusedOrFoundHeldElsewhere) {
  TempDir tmp;
  FaultInjectionEnv env;
  env.fail(Op::lockFile, "refused", EACCES);
  env.fail(Op::lockFile, "busy", EWOULDBLOCK);
  std::unique_ptr<FileLock> lock;
  EXPECT_EQ(env.lockFile(tmp.path() / "refused.lock", &lock).message(), "Permission denied");
  EXPECT_EQ(lock, nullptr);
  EXPECT_FALSE(env.stat(tmp.path() / "refused.lock").exists);  // never reached the machine
  EXPECT_TRUE(env.lockFile(tmp.path() / "busy.lock", &lock).ok());
  EXPECT_EQ(lock, nullptr);
  ASSERT_TRUE(env.lockFile(tmp.path() / "free.lock", &lock).ok());
  ASSERT_NE(lock, nullptr);
  EXPECT_TRUE(lock->excludes());
  EXPECT_EQ(env.failures().size(), 2u);
}

}  // namespace
}  // namespace morvane::testing
