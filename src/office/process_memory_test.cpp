// The memory of real processes read from /proc: a child of the test that
// maps memory and touches part of it, and a grandchild in its process
// group doing the same, both with names that look like the end of one.
#include "office/process_memory.h"

#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>

namespace morvane {
namespace {

constexpr std::size_t kMapped = 64 << 20;
constexpr std::size_t kTouched = 32 << 20;

// In a child after fork(): only calls that are safe there. Maps kMapped
// bytes, touches kTouched of them, renames itself so that its /proc stat
// line holds ") " in the name, then tells `ready` and waits to be killed.
[[noreturn]] void holdMemory(int ready) {
  ::prctl(PR_SET_NAME, "held) 1 2 (x", 0, 0, 0);
  void* block = ::mmap(nullptr, kMapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (block != MAP_FAILED) std::memset(block, 1, kTouched);
  const char byte = block != MAP_FAILED ? 'y' : 'n';
  if (::write(ready, &byte, 1) != 1) ::_exit(1);
  for (;;) ::pause();
}

// A child in a process group of its own with a grandchild in it, each
// holding memory as holdMemory says; ended when dropped.
class MemoryHolders {
 public:
  MemoryHolders() {
    int fds[2];
    if (::pipe(fds) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(fds[0]);
      ::setpgid(0, 0);
      const pid_t grandchild = ::fork();
      if (grandchild == 0) holdMemory(fds[1]);
      if (grandchild < 0 && ::write(fds[1], "n", 1) != 1) ::_exit(1);
      holdMemory(fds[1]);
    }
    ::close(fds[1]);
    char answers[2] = {};
    ready_ = pid_ > 0 && ::read(fds[0], answers, 1) == 1 && ::read(fds[0], answers + 1, 1) == 1 &&
             answers[0] == 'y' && answers[1] == 'y';
    ::close(fds[0]);
  }
  ~MemoryHolders() {
    if (pid_ <= 0) return;
    ::kill(-pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  pid_t pid() const { return pid_; }
  bool ready() const { return ready_; }

 private:
  pid_t pid_ = -1;
  bool ready_ = false;
};

TEST(ProcessMemoryTest, ResidentMemoryCountsWhatAProcessAndItsGroupTouched) {
  const std::uint64_t ours = residentMemory(::getpid());
  ASSERT_GT(ours, 0u);
  MemoryHolders holders;
  ASSERT_TRUE(holders.ready());
  // What was touched counts, what was only mapped does not; a child shares
  // at most what this process holds.
  const std::uint64_t child = residentMemory(holders.pid());
  EXPECT_GE(child, kTouched);
  EXPECT_LT(child, kTouched + ours + (16 << 20));
  // The group: the child and the grandchild, and nothing else of the
  // machine (this process is in no group of theirs).
  const std::uint64_t group = groupResidentMemory(holders.pid());
  EXPECT_GE(group, child + kTouched);
  EXPECT_LT(group, 2 * (kTouched + ours + (16 << 20)));
}

TEST(ProcessMemoryTest, ProcessesThatAreGoneHoldNothing) {
  pid_t gone = ::fork();
  if (gone == 0) ::_exit(0);
  ASSERT_GT(gone, 0);
  ::waitpid(gone, nullptr, 0);
  EXPECT_EQ(residentMemory(gone), 0u);
  EXPECT_EQ(groupResidentMemory(gone), 0u);
  EXPECT_EQ(residentMemory(0), 0u);
  EXPECT_EQ(groupResidentMemory(-1), 0u);
}

TEST(ProcessMemoryTest, AvailableMemoryIsWithinTheMachines) {
  const auto available = availableMemory();
  ASSERT_TRUE(available.has_value());
  const auto physical = static_cast<std::uint64_t>(::sysconf(_SC_PHYS_PAGES)) *
                        static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
  EXPECT_GT(*available, 1u << 20);
  EXPECT_LE(*available, physical);
}

}  // namespace
}  // namespace morvane
