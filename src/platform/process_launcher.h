// ProcessLauncher: starting child programs and asking after processes,
// behind an interface so that the service's process handling can be
// tested without real children. systemLauncher() starts Subprocesses.
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/child_process.h"
#include "platform/clock.h"
#include "platform/status.h"

namespace morvane {

class ProcessLauncher {
 public:
  virtual ~ProcessLauncher() = default;

  // Starts argv[0] (a path) with `argv` in a process group of its own,
  // talking over its standard input and output; its standard error goes
  // to `stderrPath` (created or truncated), or /dev/null when empty. The
  // child gets `environment` ("NAME=value" each), or this process's own
  // environment when it is null. An error names the step that failed.
  virtual Status start(const std::vector<std::string>& argv, const std::string& stderrPath,
                       std::unique_ptr<ChildProcess>* out,
                       const std::vector<std::string>* environment = nullptr) = 0;

  // Whether a process with this id is there (a zombie counts), whoever
  // owns it: false only when the system knows none (kill(pid, 0) fails
  // with ESRCH).
  virtual bool isAlive(pid_t pid) = 0;
};

// Starts Subprocesses that wait on `clock`.
class SubprocessLauncher : public ProcessLauncher {
 public:
  explicit SubprocessLauncher(Clock& clock = systemClock()) : clock_(clock) {}
  Status start(const std::vector<std::string>& argv, const std::string& stderrPath,
               std::unique_ptr<ChildProcess>* out,
               const std::vector<std::string>* environment = nullptr) override;
  bool isAlive(pid_t pid) override;

 private:
  Clock& clock_;
};

// The one SubprocessLauncher of the process, on the system clock.
ProcessLauncher& systemLauncher();

}  // namespace morvane
