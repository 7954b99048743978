// Subprocess: the machine's ChildProcess, a program in its own process
// group talking over a socket on its standard input and output. Reads
// wait no longer than the caller allows, as its Clock counts; ending it
// kills the whole group, so nothing it started is left running.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/child_process.h"
#include "platform/clock.h"
#include "platform/status.h"
#include "platform/thread_annotations.h"

namespace morvane {

class Subprocess : public ChildProcess {
 public:
  // Starts a child as ProcessLauncher::start tells; its time limits are
  // counted on `clock`.
  static Status start(const std::vector<std::string>& argv, const std::string& stderrPath,
                      std::unique_ptr<Subprocess>* out,
                      const std::vector<std::string>* environment = nullptr,
                      Clock& clock = systemClock());
  ~Subprocess() override;  // ends the process group if still running

  Subprocess(const Subprocess&) = delete;
  Subprocess& operator=(const Subprocess&) = delete;

  Status write(std::string_view data) override;
  void closeInput() override;
  ReadResult readLine(std::chrono::milliseconds limit, std::string* line) override;
  ReadResult readAll(std::chrono::milliseconds limit, std::string* text) override;
  // The child is polled every few milliseconds of the clock.
  int finish(std::chrono::milliseconds limit) override EXCLUDES(reaping_);
  void kill() override EXCLUDES(reaping_);
  void abort() override EXCLUDES(reaping_);
  pid_t pid() const override { return pid_; }

  // A readable text for a wait status: "exited with status 3",
  // "killed by signal 11 (Segmentation fault)".
  static std::string describeStatus(int status);

 private:
  Subprocess(pid_t pid, int fd, Clock& clock) : pid_(pid), fd_(fd), clock_(clock) {}
  // Waits on the socket (in real time: poll) for what is left until
  // `deadline`, as the clock counts it.
  ReadResult fill(Clock::TimePoint deadline);
  bool reaped() const EXCLUDES(reaping_);

  const pid_t pid_;
  const int fd_;
  Clock& clock_;
  mutable Mutex reaping_;  // between kill() and abort()
  bool reaped_ GUARDED_BY(reaping_) = false;
  int status_ GUARDED_BY(reaping_) = 0;
  std::string buffer_;  // read, not yet handed out; the owning thread's
};

}  // namespace morvane
