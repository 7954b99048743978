// Env::lockFile on the machine's file system: a lock keeps every other
// taker out, in this process too, until it is dropped, and nobody waits.
#include <gtest/gtest.h>

#include <memory>

#include "platform/real_env.h"
#include "testing/temp_dir.h"

namespace morvane {
namespace {

TEST(LockFileTest, OneHolderAtATimeAndNoWaitForTheOthers) {
  testing::TempDir tmp;
  RealEnv env;
  const fs::path path = tmp.path() / "profile.lock";

  std::unique_ptr<FileLock> first, second;
  ASSERT_TRUE(env.lockFile(path, &first).ok());
  ASSERT_NE(first, nullptr);
  EXPECT_TRUE(first->excludes());
  EXPECT_TRUE(env.stat(path).exists);

  ASSERT_TRUE(env.lockFile(path, &second).ok());  // held: no lock, no wait
  EXPECT_EQ(second, nullptr);

  first.reset();
  ASSERT_TRUE(env.lockFile(path, &second).ok());
  EXPECT_NE(second, nullptr);
}

TEST(LockFileTest, ALockFileThatCannotBeMadeFails) {
  testing::TempDir tmp;
  RealEnv env;
  std::unique_ptr<FileLock> lock;
  EXPECT_FALSE(env.lockFile(tmp.path() / "missing/profile.lock", &lock).ok());
  EXPECT_EQ(lock, nullptr);
}

}  // namespace
}  // namespace morvane
