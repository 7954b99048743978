#include "platform/subprocess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

extern char** environ;

namespace morvane {

namespace {

Status errnoStatus(const std::string& what) { return Status::error(what + ": " + std::strerror(errno)); }

// The file actions and attributes of one posix_spawn, each call's result
// looked at: a child started with any of them missing would share this
// process's group or signal mask, or write its errors over our output.
class SpawnSetup {
 public:
  SpawnSetup() = default;
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;
  ~SpawnSetup() {
    if (hasActions_) posix_spawn_file_actions_destroy(&actions_);
    if (hasAttributes_) posix_spawnattr_destroy(&attributes_);
  }

  // The child's standard input and output are `socket`, its standard error
  // goes to `stderrPath`; it leads a process group of its own, with SIGPIPE
  // handled by default and no signal blocked (a front end blocks some for
  // itself). An error names the step that failed.
  Status prepare(int socket, const std::string& stderrPath) {
    if (const int err = posix_spawn_file_actions_init(&actions_); err != 0) {
      return failed("posix_spawn_file_actions_init", err);
    }
    hasActions_ = true;
    if (const int err = posix_spawnattr_init(&attributes_); err != 0) {
      return failed("posix_spawnattr_init", err);
    }
    hasAttributes_ = true;
    sigset_t defaults, none;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigemptyset(&none);
    const std::pair<const char*, int> steps[] = {
        {"posix_spawn_file_actions_adddup2",
         posix_spawn_file_actions_adddup2(&actions_, socket, STDIN_FILENO)},
        {"posix_spawn_file_actions_adddup2",
         posix_spawn_file_actions_adddup2(&actions_, socket, STDOUT_FILENO)},
        {"posix_spawn_file_actions_addopen",
         posix_spawn_file_actions_addopen(&actions_, STDERR_FILENO,
                                          stderrPath.empty() ? "/dev/null" : stderrPath.c_str(),
                                          O_WRONLY | O_CREAT | O_TRUNC, 0600)},
        {"posix_spawnattr_setpgroup", posix_spawnattr_setpgroup(&attributes_, 0)},
        {"posix_spawnattr_setsigdefault", posix_spawnattr_setsigdefault(&attributes_, &defaults)},
        {"posix_spawnattr_setsigmask", posix_spawnattr_setsigmask(&attributes_, &none)},
        {"posix_spawnattr_setflags",
         posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF |
                                                    POSIX_SPAWN_SETSIGMASK)},
    };
    for (const auto& [what, err] : steps) {
      if (err != 0) return failed(what, err);
    }
    return {};
  }

  const posix_spawn_file_actions_t* actions() const { return &actions_; }
  const posix_spawnattr_t* attributes() const { return &attributes_; }

 private:
  static Status failed(const char* what, int err) {
    return Status::error(std::string(what) + ": " + std::strerror(err));
  }

  posix_spawn_file_actions_t actions_;
  posix_spawnattr_t attributes_;
  bool hasActions_ = false;
  bool hasAttributes_ = false;
};

}  // namespace

Status Subprocess::start(const std::vector<std::string>& argv, const std::string& stderrPath,
                         std::unique_ptr<Subprocess>* out,
                         const std::vector<std::string>* environment, Clock& clock) {
  int fds[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) return errnoStatus("socketpair");
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  std::vector<char*> env;
  if (environment != nullptr) {
    for (const std::string& e : *environment) env.push_back(const_cast<char*>(e.c_str()));
    env.push_back(nullptr);
  }
  pid_t pid = 0;
  SpawnSetup setup;
  Status prepared = setup.prepare(fds[1], stderrPath);
  const int rc = !prepared.ok() ? 0
                                : posix_spawn(&pid, args[0], setup.actions(), setup.attributes(),
                                              args.data(),
                                              environment != nullptr ? env.data() : environ);
  ::close(fds[1]);
  if (!prepared.ok() || rc != 0) {
    ::close(fds[0]);
    return Status::error("cannot start " + argv[0] + ": " +
                         (prepared.ok() ? std::string(std::strerror(rc)) : prepared.message()));
  }
  out->reset(new Subprocess(pid, fds[0], clock));
  return {};
}

Subprocess::~Subprocess() {
  kill();  // nothing when reaped already
  ::close(fd_);
}

Status Subprocess::write(std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::send(fd_, data.data(), data.size(), MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errnoStatus("writing to the worker");
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return {};
}

void Subprocess::closeInput() { ::shutdown(fd_, SHUT_WR); }

Subprocess::ReadResult Subprocess::fill(Clock::TimePoint deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - clock_.now());
  if (left.count() <= 0) return ReadResult::timedOut;
  pollfd p{fd_, POLLIN, 0};
  const int ready = ::poll(&p, 1, static_cast<int>(std::min<long long>(left.count(), 1 << 30)));
  if (ready < 0 && errno == EINTR) return fill(deadline);
  if (ready == 0) return ReadResult::timedOut;
  char chunk[65536];
  ssize_t n;
  do n = ::read(fd_, chunk, sizeof chunk);
  while (n < 0 && errno == EINTR);  // a signal is no end of the worker's output
  if (n <= 0) return ReadResult::closed;
  buffer_.append(chunk, static_cast<std::size_t>(n));
  return ReadResult::line;
}

Subprocess::ReadResult Subprocess::readLine(std::chrono::milliseconds limit, std::string* line) {
  const auto deadline = clock_.now() + limit;
  for (;;) {
    if (const std::size_t end = buffer_.find('\n'); end != std::string::npos) {
      line->assign(buffer_, 0, end);
      buffer_.erase(0, end + 1);
      return ReadResult::line;
    }
    if (const ReadResult r = fill(deadline); r != ReadResult::line) return r;
  }
}

Subprocess::ReadResult Subprocess::readAll(std::chrono::milliseconds limit, std::string* text) {
  const auto deadline = clock_.now() + limit;
  for (;;) {
    const ReadResult r = fill(deadline);
    if (r == ReadResult::line) continue;
    text->swap(buffer_);
    buffer_.clear();
    return r;
  }
}

int Subprocess::finish(std::chrono::milliseconds limit) {
  const auto deadline = clock_.now() + limit;
  // The child is waited for without reaping it: while it is a zombie its
  // process group id cannot pass to a new process, so the group can still
  // be signalled safely.
  while (!reaped()) {
    siginfo_t info{};
    const int r = ::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT);
    if (r == 0 && info.si_pid == pid_) break;
    if (r < 0 && errno == ECHILD) {
      MutexLock lock(reaping_);
      reaped_ = true;  // reaped elsewhere: its group id may be anyone's now
      return status_;
    }
    if (r < 0 && errno != EINTR) break;
    if (clock_.now() >= deadline) break;
    clock_.sleepFor(std::chrono::milliseconds(5));
  }
  kill();  // anything the child left behind in its group, then the child
  MutexLock lock(reaping_);
  return status_;
}

bool Subprocess::reaped() const {
  MutexLock lock(reaping_);
  return reaped_;
}

void Subprocess::kill() {
  MutexLock lock(reaping_);
  if (reaped_) return;
  ::kill(-pid_, SIGKILL);
  while (::waitpid(pid_, &status_, 0) < 0 && errno == EINTR) {
  }
  reaped_ = true;
}

void Subprocess::abort() {
  MutexLock lock(reaping_);
  if (!reaped_) ::kill(-pid_, SIGKILL);  // not reaped: the group id is still its own
}

std::string Subprocess::describeStatus(int status) {
  if (WIFEXITED(status)) return "exited with status " + std::to_string(WEXITSTATUS(status));
  if (WIFSIGNALED(status)) {
    return "killed by signal " + std::to_string(WTERMSIG(status)) + " (" +
           strsignal(WTERMSIG(status)) + ")";
  }
  return "stopped (status " + std::to_string(status) + ")";
}

}  // namespace morvane
