// ChildProcess: a program this process started, as the service talks to
// it: lines over its standard input and output, waits that end at a time
// limit, and ending it with everything it started. Subprocess is the
// machine's; a ProcessLauncher makes them.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <string_view>

#include "platform/status.h"

namespace morvane {

class ChildProcess {
 public:
  virtual ~ChildProcess() = default;  // ends the child if still running

  // Writes all of `data`; fails when the child has closed its input.
  virtual Status write(std::string_view data) = 0;
  // Closes the child's standard input (it reads end of file).
  virtual void closeInput() = 0;

  enum class ReadResult { line, closed, timedOut };
  // One line (without its line feed), waiting at most `limit`.
  virtual ReadResult readLine(std::chrono::milliseconds limit, std::string* line) = 0;
  // Everything until the child closes its output, waiting at most `limit`.
  virtual ReadResult readAll(std::chrono::milliseconds limit, std::string* text) = 0;

  // Waits at most `limit` for the child to exit; then ends what is left of
  // it. Returns the wait status (as waitpid reports it).
  virtual int finish(std::chrono::milliseconds limit) = 0;
  // Kills the child and all it started at once and reaps the child.
  virtual void kill() = 0;
  // Kills the child and all it started without reaping it; safe from any
  // thread while another one reads, writes or finishes (used to cancel).
  // The thread that owns the process then sees it gone.
  virtual void abort() = 0;

  // The child's process id, as it was started.
  virtual pid_t pid() const = 0;
};

}  // namespace morvane
