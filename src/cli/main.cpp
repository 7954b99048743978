// morvane-cli: the batch converter without a window.
#include <unistd.h>

#include <cstdio>
#include <iostream>

#include "cli/morvane_cli.h"
#include "cli/signal_canceller.h"
#include "office/default_script_service.h"

int main(int argc, char** argv) {
  using namespace morvane;
  ScriptCancellation cancellation;
  SignalCanceller signals(cancellation, std::cerr);  // before any thread starts
  const bool progressShown = ::isatty(STDERR_FILENO) != 0;
  auto progress = [progressShown](const ScriptProgress& p) {
    if (!progressShown) return;
    std::fprintf(stderr, "\r\033[K[%zu/%zu] %.100s", p.done + 1, p.total, p.statement.c_str());
    if (p.done + 1 == p.total) std::fputc('\n', stderr);
    std::fflush(stderr);
  };
  RealEnv env;
  PosixSystemVersion version;
  std::unique_ptr<ScriptService> scripts = makeDefaultScriptService(progress);
  const std::vector<std::string> args(argv + 1, argv + argc);
  const int status = runCli(args, {env, *scripts, version, std::cin, std::cout, std::cerr,
                                   ::isatty(STDIN_FILENO) != 0, describeScriptBackend,
                                   &cancellation});
  std::cout.flush();
  std::fflush(stdout);
  return signals.signal() != 0 ? 128 + signals.signal() : status;
}
