#include "office/stale_work_folders.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <set>

#include "testing/fault_injection_env.h"
#include "testing/temp_dir.h"

namespace morvane {
namespace {

// Knows the processes the test names living; starts nothing.
class FakeProcesses : public ProcessLauncher {
 public:
  explicit FakeProcesses(std::set<pid_t> living) : living_(std::move(living)) {}
  Status start(const std::vector<std::string>&, const std::string&,
               std::unique_ptr<ChildProcess>*, const std::vector<std::string>*) override {
    return Status::error("no processes here");
  }
  bool isAlive(pid_t pid) override {
    asked.push_back(pid);
    return living_.contains(pid);
  }
  std::vector<pid_t> asked;

 private:
  std::set<pid_t> living_;
};

std::vector<std::string> namesIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& item : fs::directory_iterator(folder)) names.push_back(item.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(StaleWorkFoldersTest, TellsAWorkFolderByItsNameAndKind) {
  testing::TempDir tmp;
  testing::FaultInjectionEnv env;
  EXPECT_EQ(workFolderOwnerPid(env, tmp.mkdir("morvane-office-321-aB3dE9")), 321);
  for (const char* name : {"morvane-office-321-aB3dE", "morvane-office-321-aB3dE9x",
                           "morvane-office-x-aB3dE9", "morvane-office-321_aB3dE9",
                           "morvane-offic-321-aB3dE9"}) {
    EXPECT_EQ(workFolderOwnerPid(env, tmp.mkdir(name)), 0) << name;
  }
  // A file, or a link to a folder, with such a name is none.
  EXPECT_EQ(workFolderOwnerPid(env, tmp.write("morvane-office-322-aB3dE9")), 0);
  fs::create_directory_symlink(tmp.path() / "morvane-office-321-aB3dE9",
                               tmp.path() / "morvane-office-323-aB3dE9");
  EXPECT_EQ(workFolderOwnerPid(env, tmp.path() / "morvane-office-323-aB3dE9"), 0);
  // Nothing when it cannot be looked at.
  env.fail(testing::FaultInjectionEnv::Op::linkStatus, "-321-", EACCES);
  EXPECT_EQ(workFolderOwnerPid(env, tmp.path() / "morvane-office-321-aB3dE9"), 0);
}

// The folders of processes that are gone go with all in them; those of
// living ones, and anything else, stay.
TEST(StaleWorkFoldersTest, RemovesTheFoldersOfProcessesThatAreGone) {
  testing::TempDir tmp;
  tmp.write("morvane-office-100-aaaaaa/profile/user/registrymodifications.xcu");
  tmp.mkdir("morvane-office-200-bbbbbb");
  tmp.mkdir("morvane-office-300-cccccc");
  tmp.mkdir("other-400-dddddd");
  tmp.write("morvane-office-500-eeeeee");
  FakeProcesses processes({200});
  testing::FaultInjectionEnv env;
  sweepStaleWorkFolders(env, processes, tmp.path());
  EXPECT_EQ(namesIn(tmp.path()), (std::vector<std::string>{"morvane-office-200-bbbbbb",
                                                           "morvane-office-500-eeeeee",
                                                           "other-400-dddddd"}));
  std::sort(processes.asked.begin(), processes.asked.end());
  EXPECT_EQ(processes.asked, (std::vector<pid_t>{100, 200, 300}));
}

TEST(StaleWorkFoldersTest, FoldersThatCannotBeRemovedOrListedAreLeft) {
  testing::TempDir tmp;
  tmp.mkdir("morvane-office-100-aaaaaa");
  tmp.mkdir("morvane-office-300-cccccc");
  FakeProcesses processes({});
  testing::FaultInjectionEnv env;
  using Op = testing::FaultInjectionEnv::Op;
  env.fail(Op::remove, "-100-", EBUSY);
  sweepStaleWorkFolders(env, processes, tmp.path());
  EXPECT_EQ(namesIn(tmp.path()), (std::vector<std::string>{"morvane-office-100-aaaaaa"}));

  env.fail(Op::list, tmp.path().filename().string(), EACCES);
  tmp.mkdir("morvane-office-300-cccccc");
  sweepStaleWorkFolders(env, processes, tmp.path());
  EXPECT_EQ(namesIn(tmp.path()).size(), 2u);
}

// The machine's own answer: this process lives, a reaped child does not.
TEST(StaleWorkFoldersTest, TheSystemLauncherKnowsWhichProcessesLive) {
  EXPECT_TRUE(systemLauncher().isAlive(::getpid()));
  std::unique_ptr<ChildProcess> child;
  ASSERT_TRUE(systemLauncher().start({"/bin/true"}, "", &child).ok());
  const pid_t pid = child->pid();
  child->finish(std::chrono::seconds(10));
  EXPECT_FALSE(systemLauncher().isAlive(pid));
}

}  // namespace
}  // namespace morvane
