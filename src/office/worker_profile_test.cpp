// Worker profiles made from a template in real folders, with a stand-in for
// the LibreOffice that sets a fresh profile up (the end-to-end tests run
// the real one): the template is made once, under its lock, and put in
// place whole or not at all.
#include "office/worker_profile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

#include "platform/real_env.h"
#include "testing/fake_clock.h"
#include "testing/fault_injection_env.h"
#include "testing/temp_dir.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;

std::string contents(const fs::path& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class WorkerProfileTest : public ::testing::Test {
 protected:
  // Stands in for LibreOffice: a profile with a settings file and a file
  // of its own, after `delay`; fails when `fails`.
  ProfileSetUp setUp(std::chrono::milliseconds delay = {}, bool fails = false) {
    return [this, delay, fails](const std::string& profile, const std::string& document,
                                const std::string& scratch, std::string* office) {
      ++setUps_;
      EXPECT_TRUE(fs::exists(document));
      EXPECT_FALSE(scratch.starts_with(profile));
      std::this_thread::sleep_for(delay);
      if (fails) return Status::error("LibreOffice could not be started");
      fs::create_directories(fs::path(profile) / "user");
      std::ofstream(fs::path(profile) / "user/registrymodifications.xcu")
          << "<?xml version=\"1.0\"?>\n<oor:items>\n</oor:items>\n";
      std::ofstream(fs::path(profile) / "user/set-up") << "done";
      *office = "7.4.7.2";
      return Status();
    };
  }

  // The profile `name`/profile, in a worker's folder of its own.
  fs::path workerProfile(const std::string& name) {
    return tmp_.mkdir(name) / "profile";
  }

  WorkerProfile profile(StopRequested stop = [] { return false; }) {
    return WorkerProfile(env_, template_.string(), std::move(stop));
  }

  // Everything beside the template in its folder: nothing is left of a
  // building but the lock file.
  std::vector<std::string> besideTemplate() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(template_.parent_path())) {
      if (entry.path() != template_) names.push_back(entry.path().filename().string());
    }
    return names;
  }

  testing::TempDir tmp_;
  RealEnv env_;
  fs::path template_ = tmp_.path() / "cache/profile-template";
  std::atomic<int> setUps_{0};
};

TEST_F(WorkerProfileTest, TheTemplateIsMadeOnceAndEveryProfileIsACopyWithTheSettings) {
  const fs::path first = workerProfile("w1"), second = workerProfile("w2");
  profile().prepare(first.string(), setUp());
  profile().prepare(second.string(), setUp());
  EXPECT_EQ(setUps_, 1);
  EXPECT_EQ(besideTemplate(), std::vector<std::string>{"profile-template.lock"});
  for (const fs::path& made : {first, second}) {
    EXPECT_EQ(contents(made / "user/set-up"), "done") << made;
    const std::string settings = contents(made / "user/registrymodifications.xcu");
    EXPECT_NE(settings.find("\"UseLocking\""), std::string::npos) << made;
    EXPECT_NE(settings.find("<value>7.4</value>"), std::string::npos) << made;
    EXPECT_TRUE(fs::exists(made / "user/config/soffice.cfg/modules/swriter/menubar/menubar.xml"));
  }
}

TEST_F(WorkerProfileTest, AFailedSetUpLeavesNoTemplateAndTheProfileStartsAfresh) {
  const fs::path made = workerProfile("w1");
  profile().prepare(made.string(), setUp({}, /*fails=*/true));
  EXPECT_FALSE(fs::exists(template_));
  EXPECT_EQ(besideTemplate(), std::vector<std::string>{"profile-template.lock"});
  EXPECT_FALSE(fs::exists(made / "user/set-up"));
  EXPECT_NE(contents(made / "user/registrymodifications.xcu").find("\"UseLocking\""),
            std::string::npos);
}

TEST_F(WorkerProfileTest, WorkersSideBySideWaitForTheOneThatMakesTheTemplate) {
  std::vector<std::thread> workers;
  for (int n = 0; n < 3; ++n) {
    workers.emplace_back([&, made = workerProfile("w" + std::to_string(n))] {
      profile().prepare(made.string(), setUp(std::chrono::milliseconds(300)));
    });
  }
  for (std::thread& worker : workers) worker.join();
  EXPECT_EQ(setUps_, 1);
  for (int n = 0; n < 3; ++n) {
    EXPECT_EQ(contents(tmp_.path() / ("w" + std::to_string(n)) / "profile/user/set-up"), "done");
  }
}

TEST_F(WorkerProfileTest, AnAbortEndsTheWaitForTheTemplate) {
  fs::create_directories(template_.parent_path());
  const int held = ::open((template_.string() + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
  std::atomic<bool> aborted{false};
  std::thread abort([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    aborted = true;
  });
  const auto start = std::chrono::steady_clock::now();
  profile([&] { return aborted.load(); }).prepare(workerProfile("w1").string(), setUp());
  abort.join();
  ::close(held);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(setUps_, 0);
  EXPECT_FALSE(fs::exists(template_));
}

// The wait for a template another worker builds is polled on the clock:
// on a fake one, a minute of waiting passes at once, and the abort that
// comes after it ends the wait as a real one would.
TEST_F(WorkerProfileTest, TheWaitForTheTemplateIsCountedOnTheClock) {
  fs::create_directories(template_.parent_path());
  std::unique_ptr<FileLock> held;
  ASSERT_TRUE(env_.lockFile(template_.string() + ".lock", &held).ok());
  ASSERT_NE(held, nullptr);
  testing::FakeClock clock;
  const auto start = clock.now();
  const auto aMinuteLater = [&] { return clock.now() - start >= std::chrono::minutes(1); };
  const fs::path made = workerProfile("w1");
  WorkerProfile(env_, template_.string(), aMinuteLater, clock).prepare(made.string(), setUp());
  EXPECT_EQ(clock.sleeps(), 1200u);  // every 50 ms of the clock
  EXPECT_EQ(setUps_, 0);
  EXPECT_FALSE(fs::exists(template_));
}

// A lock file that cannot be had leaves the template unmade: the worker
// starts afresh, with the workers' settings.
TEST_F(WorkerProfileTest, ARefusedLockLeavesTheTemplateUnmade) {
  testing::FaultInjectionEnv env(env_);
  env.fail(testing::FaultInjectionEnv::Op::lockFile, "profile-template.lock", EACCES);
  const fs::path made = workerProfile("w1");
  WorkerProfile(env, template_.string(), [] { return false; }).prepare(made.string(), setUp());
  EXPECT_EQ(setUps_, 0);
  EXPECT_FALSE(fs::exists(template_));
  EXPECT_EQ(env.failures().size(), 1u);
  EXPECT_NE(contents(made / "user/registrymodifications.xcu").find("\"UseLocking\""),
            std::string::npos);
}

}  // namespace
}  // namespace morvane
