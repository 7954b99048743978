// A worker whose process never answers, on a fake clock and a launcher
// that starts no process: the statement time limit and the memory cap end
// it as they would a real LibreOffice that hangs or grows, without a
// second of real waiting.
#include "office/office_worker.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include "testing/fake_clock.h"

namespace morvane {
namespace {

using namespace std::chrono_literals;

// A child that never says a word: every read waits its whole limit on the
// clock. Its pid is this process's, whose memory is real.
class SilentChild : public ChildProcess {
 public:
  SilentChild(Clock& clock, int* aborts) : clock_(clock), aborts_(aborts) {}
  Status write(std::string_view) override { return {}; }
  void closeInput() override {}
  ReadResult readLine(std::chrono::milliseconds limit, std::string*) override {
    clock_.sleepFor(limit);
    return ReadResult::timedOut;
  }
  ReadResult readAll(std::chrono::milliseconds limit, std::string* text) override {
    return readLine(limit, text);
  }
  int finish(std::chrono::milliseconds) override { return 0; }
  void kill() override {}
  void abort() override { ++*aborts_; }
  pid_t pid() const override { return ::getpid(); }

 private:
  Clock& clock_;
  int* aborts_;
};

class SilentLauncher : public ProcessLauncher {
 public:
  explicit SilentLauncher(Clock& clock) : clock_(clock) {}
  Status start(const std::vector<std::string>& argv, const std::string&,
               std::unique_ptr<ChildProcess>* out, const std::vector<std::string>*) override {
    started.push_back(argv.at(0));
    *out = std::make_unique<SilentChild>(clock_, &aborts);
    return {};
  }
  bool isAlive(pid_t) override { return true; }

  std::vector<std::string> started;
  int aborts = 0;

 private:
  Clock& clock_;
};

class OfficeWorkerTest : public ::testing::Test {
 protected:
  OfficeWorkerTest() {
    config_.workerPath = "/nonexistent/morvane-office";
    config_.installPath = "/nonexistent/program";
    config_.statementLimit = 90s;
    config_.launcher = &launcher_;
    config_.clock = &clock_;
  }

  testing::FakeClock clock_;
  SilentLauncher launcher_{clock_};
  OfficeConfig config_;
};

TEST_F(OfficeWorkerTest, AWorkerThatNeverAnswersIsEndedAtTheTimeLimitOfTheClock) {
  for (const std::uint64_t cap : {std::uint64_t{0}, std::uint64_t{1} << 50}) {
    config_.workerMemoryCap = cap;  // with a cap, the wait is watched in slices
    const auto start = clock_.now();
    std::unique_ptr<OfficeWorker> worker;
    const Status s = OfficeWorker::start(config_, &worker, nullptr);
    EXPECT_FALSE(s.ok()) << cap;
    EXPECT_EQ(worker, nullptr);
    EXPECT_NE(s.details().find("no answer within 90 s"), std::string::npos) << s.details();
    EXPECT_GE(clock_.now() - start, 90s) << cap;
    EXPECT_LT(clock_.now() - start, 91s) << cap;
  }
  EXPECT_EQ(launcher_.started, (std::vector<std::string>(2, "/nonexistent/morvane-office")));
  EXPECT_EQ(launcher_.aborts, 0);
}

TEST_F(OfficeWorkerTest, AWorkerPastItsMemoryCapIsEndedAtOnce) {
  config_.workerMemoryCap = 1;  // this process holds more than a byte
  const auto start = clock_.now();
  std::unique_ptr<OfficeWorker> worker;
  const Status s = OfficeWorker::start(config_, &worker, nullptr);
  EXPECT_FALSE(s.ok());
  EXPECT_NE(s.details().find("grew past 0 MB"), std::string::npos) << s.details();
  EXPECT_EQ(launcher_.aborts, 1);
  EXPECT_LT(clock_.now() - start, 1s);  // after one slice of the watch
}

}  // namespace
}  // namespace morvane
