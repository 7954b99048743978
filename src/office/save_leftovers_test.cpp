#include "office/save_leftovers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>

#include "testing/fault_injection_env.h"
#include "testing/temp_dir.h"

namespace morvane {
namespace {

std::vector<std::string> namesIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& item : fs::directory_iterator(folder)) names.push_back(item.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

// Only the worker's own save files go: not another worker's, not one
// whose name fits a longer pid of a living worker, not the user's files.
TEST(SaveLeftoversTest, RemovesOnlyTheWorkersOwnSaveFiles) {
  testing::TempDir tmp;
  for (const char* name : {"lu123a1b2.tmp", "lu123xyz.tmp", "lu1234ab.tmp", "lu99abc.tmp",
                           "lu123abc.txt", "report.docx", "my-lu123.tmp"}) {
    tmp.write(std::string("Out/") + name);
  }
  testing::FaultInjectionEnv env;
  removeSaveLeftovers(env, tmp.path() / "Out", 123, {123, 1234, 99});
  // lu1234ab.tmp may be 1234's; lu99abc.tmp is 99's.
  EXPECT_EQ(namesIn(tmp.path() / "Out"),
            (std::vector<std::string>{"lu1234ab.tmp", "lu123abc.txt", "lu99abc.tmp",
                                      "my-lu123.tmp", "report.docx"}));

  // With no other worker living, a name that fits a longer pid is its own.
  removeSaveLeftovers(env, tmp.path() / "Out", 123, {});
  EXPECT_EQ(namesIn(tmp.path() / "Out"),
            (std::vector<std::string>{"lu123abc.txt", "lu99abc.tmp", "my-lu123.tmp",
                                      "report.docx"}));
}

TEST(SaveLeftoversTest, AWorkerThatNeverStartedLeavesNothingToRemove) {
  testing::TempDir tmp;
  tmp.write("Out/lu0abc.tmp");
  tmp.write("Out/lu-1abc.tmp");
  testing::FaultInjectionEnv env;
  removeSaveLeftovers(env, tmp.path() / "Out", 0, {});
  removeSaveLeftovers(env, tmp.path() / "Out", -1, {});
  EXPECT_EQ(namesIn(tmp.path() / "Out").size(), 2u);
}

// A file that cannot be removed does not keep the others; a folder that
// cannot be listed, or is gone, is no error.
TEST(SaveLeftoversTest, FailuresLeaveTheRestAsItWas) {
  testing::TempDir tmp;
  tmp.write("Out/lu42a.tmp");
  tmp.write("Out/lu42b.tmp");
  testing::FaultInjectionEnv env;
  using Op = testing::FaultInjectionEnv::Op;
  env.fail(Op::removeFile, "lu42a", EACCES);
  removeSaveLeftovers(env, tmp.path() / "Out", 42, {});
  EXPECT_EQ(namesIn(tmp.path() / "Out"), (std::vector<std::string>{"lu42a.tmp"}));

  env.fail(Op::list, "Out", EACCES);
  tmp.write("Out/lu42c.tmp");
  removeSaveLeftovers(env, tmp.path() / "Out", 42, {});
  EXPECT_EQ(namesIn(tmp.path() / "Out").size(), 2u);
  removeSaveLeftovers(env, tmp.path() / "Gone", 42, {});
  EXPECT_EQ(env.failures().size(), 2u);  // a.tmp, then the listing
}

}  // namespace
}  // namespace morvane
