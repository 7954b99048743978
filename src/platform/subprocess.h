// Subprocess: a child program in its own process group, talking over a
// socket on its standard input and output. Reads wait no longer than the
// caller allows; ending it kills the whole group, so nothing it started
// is left running.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"

namespace morvane {

class Subprocess {
 public:
  // Starts argv[0] (a path) with `argv`; its standard error goes to
  // `stderrPath` (created or truncated), or /dev/null when empty. The
  // child gets `environment` ("NAME=value" each), or this process's own
  // environment when it is null.
  static Status start(const std::vector<std::string>& argv, const std::string& stderrPath,
                      std::unique_ptr<Subprocess>* out,
                      const std::vector<std::string>* environment = nullptr);
  ~Subprocess();  // ends the process group if still running

  Subprocess(const Subprocess&) = delete;
  Subprocess& operator=(const Subprocess&) = delete;

  // Writes all of `data`; fails when the child has closed its input.
  Status write(std::string_view data);
  // Closes the child's standard input (it reads end of file).
  void closeInput();

  enum class ReadResult { line, closed, timedOut };
  // One line (without its line feed), waiting at most `limit`.
  ReadResult readLine(std::chrono::milliseconds limit, std::string* line);
  // Everything until the child closes its output, waiting at most `limit`.
  ReadResult readAll(std::chrono::milliseconds limit, std::string* text);

  // Waits at most `limit` for the child to exit; then ends the group.
  // Returns the wait status (as waitpid reports it).
  int finish(std::chrono::milliseconds limit);
  // Kills the whole process group at once and reaps the child.
  void kill();
  // Kills the whole process group without reaping the child; safe from
  // any thread while another one reads, writes or finishes (used to
  // cancel). The thread that owns the process then sees it gone.
  void abort();

  pid_t pid() const { return pid_; }
  // A readable text for a wait status: "exited with status 3",
  // "killed by signal 11 (Segmentation fault)".
  static std::string describeStatus(int status);

 private:
  Subprocess(pid_t pid, int fd) : pid_(pid), fd_(fd) {}
  ReadResult fill(std::chrono::steady_clock::time_point deadline);

  pid_t pid_;
  int fd_;
  std::mutex reaping_;  // guards reaped_ between kill() and abort()
  bool reaped_ = false;
  int status_ = 0;
  std::string buffer_;
};

}  // namespace morvane
