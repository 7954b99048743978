#include "platform/process_launcher.h"

#include <signal.h>

#include <cerrno>

#include "platform/subprocess.h"

namespace morvane {

Status SubprocessLauncher::start(const std::vector<std::string>& argv,
                                 const std::string& stderrPath,
                                 std::unique_ptr<ChildProcess>* out,
                                 const std::vector<std::string>* environment) {
  std::unique_ptr<Subprocess> process;
  if (Status s = Subprocess::start(argv, stderrPath, &process, environment, clock_); !s.ok()) {
    return s;
  }
  *out = std::move(process);
  return {};
}

bool SubprocessLauncher::isAlive(pid_t pid) { return ::kill(pid, 0) == 0 || errno != ESRCH; }

ProcessLauncher& systemLauncher() {
  static SubprocessLauncher launcher;
  return launcher;
}

}  // namespace morvane
