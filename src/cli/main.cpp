// morvane-cli: the batch converter without a window.
#include <unistd.h>

#include <cstdio>
#include <iostream>

#include "cli/morvane_cli.h"
#include "cli/signal_canceller.h"
#include "office/default_script_service.h"
#include "platform/real_env.h"

int main(int argc, char** argv) {
  using namespace morvane;
  ScriptCancellation cancellation;
  SignalCanceller signals(cancellation, std::cerr);  // before any thread starts
  StatusLine statusLine(std::cerr, ::isatty(STDERR_FILENO) != 0);
  auto progress = [&statusLine](const ScriptProgress& p) {
    statusLine.progress("[" + std::to_string(p.done + 1) + "/" + std::to_string(p.total) + "] " +
                            p.statement.substr(0, 100),
                        p.done + 1 == p.total);
  };
  RealEnv env(LogSink{});  // diagnostic lines only with --log
  PosixSystemVersion version;
  std::unique_ptr<ScriptService> scripts = makeDefaultScriptService(progress);
  const std::vector<std::string> args(argv + 1, argv + argc);
  const int status = runCli(args, {env, *scripts, version, std::cin, std::cout, std::cerr,
                                   ::isatty(STDIN_FILENO) != 0, describeScriptBackend,
                                   &cancellation, &statusLine, &signals.interruptible(),
                                   [&env](bool on) {
                                     env.setLogSink(on ? LogSink(logToStandardOutput) : LogSink());
                                   }});
  std::cout.flush();
  std::fflush(stdout);
  return signals.signal() != 0 ? 128 + signals.signal() : status;
}
