#include "office/subprocess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

extern char** environ;

namespace morvane {

namespace {

Status errnoStatus(const std::string& what) { return Status::error(what + ": " + std::strerror(errno)); }

}  // namespace

Status Subprocess::start(const std::vector<std::string>& argv, const std::string& stderrPath,
                         std::unique_ptr<Subprocess>* out,
                         const std::vector<std::string>* environment) {
  int fds[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) return errnoStatus("socketpair");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO,
                                   stderrPath.empty() ? "/dev/null" : stderrPath.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  posix_spawnattr_setpgroup(&attr, 0);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  sigset_t none;  // signals a front end blocks for itself are not the child's
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF |
                                      POSIX_SPAWN_SETSIGMASK);

  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  std::vector<char*> env;
  if (environment != nullptr) {
    for (const std::string& e : *environment) env.push_back(const_cast<char*>(e.c_str()));
    env.push_back(nullptr);
  }
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, args[0], &actions, &attr, args.data(),
                             environment != nullptr ? env.data() : environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  ::close(fds[1]);
  if (rc != 0) {
    ::close(fds[0]);
    return Status::error("cannot start " + argv[0] + ": " + std::strerror(rc));
  }
  out->reset(new Subprocess(pid, fds[0]));
  return {};
}

Subprocess::~Subprocess() {
  if (!reaped_) kill();
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

Subprocess::ReadResult Subprocess::fill(std::chrono::steady_clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      deadline - std::chrono::steady_clock::now());
  if (left.count() <= 0) return ReadResult::timedOut;
  pollfd p{fd_, POLLIN, 0};
  const int ready = ::poll(&p, 1, static_cast<int>(std::min<long long>(left.count(), 1 << 30)));
  if (ready < 0 && errno == EINTR) return fill(deadline);
  if (ready == 0) return ReadResult::timedOut;
  char chunk[65536];
  const ssize_t n = ::read(fd_, chunk, sizeof chunk);
  if (n <= 0) return ReadResult::closed;
  buffer_.append(chunk, static_cast<std::size_t>(n));
  return ReadResult::line;
}

Subprocess::ReadResult Subprocess::readLine(std::chrono::milliseconds limit, std::string* line) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
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
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    const ReadResult r = fill(deadline);
    if (r == ReadResult::line) continue;
    text->swap(buffer_);
    buffer_.clear();
    return r;
  }
}

int Subprocess::finish(std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  // The child is waited for without reaping it: while it is a zombie its
  // process group id cannot pass to a new process, so the group can still
  // be signalled safely.
  while (!reaped_) {
    siginfo_t info{};
    const int r = ::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT);
    if (r == 0 && info.si_pid == pid_) break;
    if (r < 0 && errno == ECHILD) {
      std::lock_guard lock(reaping_);
      reaped_ = true;  // reaped elsewhere: its group id may be anyone's now
      return status_;
    }
    if (r < 0 && errno != EINTR) break;
    if (std::chrono::steady_clock::now() >= deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  kill();  // anything the child left behind in its group, then the child
  return status_;
}

void Subprocess::kill() {
  std::lock_guard lock(reaping_);
  if (reaped_) return;
  ::kill(-pid_, SIGKILL);
  while (::waitpid(pid_, &status_, 0) < 0 && errno == EINTR) {
  }
  reaped_ = true;
}

void Subprocess::abort() {
  std::lock_guard lock(reaping_);
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
