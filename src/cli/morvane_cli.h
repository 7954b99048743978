// The command-line front end: one batch conversion from the command line,
// with the questions of a run asked on the terminal. main() only wires the
// process's streams and services into runCli.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "cli/interruptible.h"
#include "cli/status_line.h"
#include "engine/script_service.h"
#include "platform/env.h"
#include "platform/status.h"
#include "options/system_version.h"

namespace morvane {

enum CliExit : int {
  kExitSuccess = 0,    // the run ended with the success alert
  kExitFailure = 1,    // the run ended with the error alert
  kExitUsage = 2,      // the command line was wrong
  kExitQuestion = 3,   // the run ended at a question
  kExitCancelled = 4,  // the run was cancelled (main() exits 128 + the signal)
};

struct CliContext {
  Env& env;                       // diagnostic lines go to its log
  ScriptService& scripts;         // runs the script (unless --script-out)
  const SystemVersion& version;
  std::istream& in;               // answers to the questions
  std::ostream& out;              // --help, --version and what a run did
  std::ostream& err;              // questions, failures and usage errors
  bool interactive;               // a terminal is there to answer on
  // For --version and the error report: what converts the documents (one
  // line each); unset when there is nothing to tell.
  std::function<Status(std::vector<std::string>*)> describeBackend = {};
  // Lets a signal cancel the running script; none: it cannot be cancelled.
  ScriptCancellation* cancellation = nullptr;
  // Where lines about written files go; none: straight to `err`, and only
  // with --verbose. On a terminal they are told without --verbose too.
  StatusLine* status = nullptr;
  // Where a signal may end the program at once (questions, the scan of
  // the folders given); none: nowhere is marked.
  Interruptible* interruptible = nullptr;
  // Turns env's diagnostic lines on standard output on (--log) or off,
  // before the run; none: they go wherever env sends them.
  std::function<void(bool on)> showLog = {};
};

int runCli(const std::vector<std::string>& args, CliContext context);

}  // namespace morvane
