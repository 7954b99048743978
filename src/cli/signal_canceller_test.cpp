// The real morvane-cli under termination signals: one it was started
// ignoring (nohup) changes nothing, and one during a copy cancels the run,
// removes the partial copy and ends the program with 128 + the signal.
#include "cli/signal_canceller.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "testing/temp_dir.h"

extern char** environ;

namespace morvane {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::string readFile(const fs::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string quoted(const fs::path& path) { return "'" + path.string() + "'"; }

// Waits up to a minute for `condition`.
bool eventually(const std::function<bool()>& condition) {
  for (const auto deadline = Clock::now() + std::chrono::seconds(60); Clock::now() < deadline;) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return condition();
}

// Whether `signal` waits, blocked, to be taken by the process.
bool signalPending(pid_t pid, int signal) {
  std::istringstream status(readFile("/proc/" + std::to_string(pid) + "/status"));
  for (std::string line; std::getline(status, line);) {
    if (!line.starts_with("ShdPnd:") && !line.starts_with("SigPnd:")) continue;
    const unsigned long long mask = std::stoull(line.substr(7), nullptr, 16);
    if (mask & (1ull << (signal - 1))) return true;
  }
  return false;
}

// Every name below `folder`, hidden ones included.
std::vector<std::string> allNames(const fs::path& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    names.push_back(it->path().filename().string());
  }
  return names;
}

class CliSignalTest : public ::testing::Test {
 protected:
  // Starts `command` with /bin/sh, its output in out.txt and err.txt, with
  // the signals this test process may block or ignore set back.
  pid_t start(const std::string& command) {
    const std::string line = "exec " + command + " >" + quoted(tmp_.path() / "out.txt") + " 2>" +
                             quoted(tmp_.path() / "err.txt") + " </dev/null";
    posix_spawnattr_t attr;
    EXPECT_EQ(posix_spawnattr_init(&attr), 0);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&defaults, s);
    EXPECT_EQ(posix_spawnattr_setsigmask(&attr, &none), 0);
    EXPECT_EQ(posix_spawnattr_setsigdefault(&attr, &defaults), 0);
    EXPECT_EQ(posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF), 0);
    const char* argv[] = {"/bin/sh", "-c", line.c_str(), nullptr};
    pid_t pid = 0;
    EXPECT_EQ(posix_spawn(&pid, "/bin/sh", nullptr, &attr, const_cast<char**>(argv), environ), 0);
    posix_spawnattr_destroy(&attr);
    return pid;
  }

  // The wait status of `pid`, killing it when it has not ended in two minutes.
  static int finish(pid_t pid) {
    int status = 0;
    for (const auto deadline = Clock::now() + std::chrono::minutes(2); Clock::now() < deadline;) {
      if (::waitpid(pid, &status, WNOHANG) == pid) return status;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    ADD_FAILURE() << "morvane-cli did not end";
    return status;
  }

  // The environment of a run: a stand-in worker, folders of the test's own.
  std::string environment() {
    fs::create_directories(tmp_.path() / "tmp");
    return "env MORVANE_OFFICE_WORKER=" + quoted(tmp_.path() / "worker.sh") +
           " MORVANE_OFFICE_WORKERS=1 XDG_CACHE_HOME=" + quoted(tmp_.path() / "cache") +
           " TMPDIR=" + quoted(tmp_.path() / "tmp") + " ";
  }

  // A stand-in for morvane-office whose saves wait until the file "go" exists.
  void writeGatedWorker() {
    const fs::path script = tmp_.path() / "worker.sh";
    std::ofstream(script) << "#!/bin/bash\n"
                          << "dir='" << tmp_.path().string() << "'\n"
                          << "echo ready\n"
                          << "while IFS=$'\\t' read -r verb a b; do\n"
                          << "  echo \"$verb $a\" >> \"$dir/requests.log\"\n"
                          << "  case \"$verb\" in\n"
                          << "    load) echo -e \"ok\\ttext\" ;;\n"
                          << "    save) echo partial > \"$a\";"
                          << " while [ ! -e \"$dir/go\" ]; do sleep 0.02; done; echo ok ;;\n"
                          << "    quit|shutdown) echo ok; exit 0 ;;\n"
                          << "    *) echo ok ;;\n"
                          << "  esac\n"
                          << "done\n";
    fs::permissions(script, fs::perms::owner_all);
  }

  testing::TempDir tmp_;
};

// `nohup morvane-cli …` outlives its terminal: the SIGHUP that comes while
// a document is being exported is not taken as a cancel, and the run ends
// normally with its export in place.
TEST_F(CliSignalTest, ASignalStartedIgnoredChangesNothing) {
  writeGatedWorker();
  const fs::path document = tmp_.write("in/Report.docx");
  const fs::path out = tmp_.mkdir("out");
  const pid_t cli = start(environment() + "nohup '" MORVANE_TEST_CLI "' --pdf --yes --target " +
                          quoted(out) + " " + quoted(document));
  ASSERT_TRUE(eventually([&] {
    return readFile(tmp_.path() / "requests.log").find("save ") != std::string::npos;
  })) << readFile(tmp_.path() / "err.txt");
  ASSERT_EQ(::kill(cli, SIGHUP), 0);
  // Not left waiting for the program to take it (as a blocked one would).
  EXPECT_TRUE(eventually([&] { return !signalPending(cli, SIGHUP); }));
  std::ofstream(tmp_.path() / "go") << "";
  const int status = finish(cli);
  const std::string err = readFile(tmp_.path() / "err.txt");
  ASSERT_TRUE(WIFEXITED(status)) << err;
  EXPECT_EQ(WEXITSTATUS(status), 0) << err;
  EXPECT_EQ(err.find("SIGHUP"), std::string::npos) << err;
  EXPECT_EQ(readFile(out / "Report.pdf"), "partial\n");
}

// Ctrl+C while a large file is being copied into the target: the copy stops,
// its hidden temporary file is removed, and the program ends with 130.
TEST_F(CliSignalTest, AnInterruptDuringACopyRemovesItAndEndsWith130) {
  const fs::path big = tmp_.write("in/Big.bin", "");
  fs::resize_file(big, std::uintmax_t{4} << 30);  // sparse: takes no room in the source
  const fs::path out = tmp_.mkdir("out");
  const pid_t cli = start(environment() + "'" MORVANE_TEST_CLI "' --copy --yes --target " +
                          quoted(out) + " " + quoted(tmp_.path() / "in"));
  const auto copying = [&] {
    for (const std::string& name : allNames(out)) {
      if (name.starts_with(".Big.bin.morvane-copy-")) return true;
    }
    return false;
  };
  ASSERT_TRUE(eventually(copying)) << readFile(tmp_.path() / "err.txt");
  ASSERT_EQ(::kill(cli, SIGINT), 0);
  const int status = finish(cli);
  const std::string err = readFile(tmp_.path() / "err.txt");
  ASSERT_TRUE(WIFEXITED(status)) << err;
  EXPECT_EQ(WEXITSTATUS(status), 128 + SIGINT) << err;
  EXPECT_NE(err.find("SIGINT received; cancelling the run"), std::string::npos) << err;
  const std::string told = readFile(tmp_.path() / "out.txt");  // what the run did
  EXPECT_NE(told.find("Conversion cancelled"), std::string::npos) << told;
  for (const std::string& name : allNames(out)) {
    EXPECT_FALSE(name.starts_with(".")) << name;
    EXPECT_NE(name, "Big.bin");
  }
}

}  // namespace
}  // namespace morvane
