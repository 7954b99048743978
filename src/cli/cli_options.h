// The command line of morvane-cli: which export classes and options a run
// uses, where it writes, and which files and folders it takes.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace morvane {

struct CliOptions {
  bool office = false;  // export classes named on the command line;
  bool iwork = false;   // when none is named the options' defaults hold
  bool pdf = false;
  bool creatorStudio = false;
  bool rebuild = false;
  bool copy = false;
  bool keepGoing = false;
  bool verbose = false;  // one line per written file (the default on a terminal)
  bool log = false;      // the diagnostic lines on standard output
  bool yes = false;
  bool help = false;
  bool version = false;
  std::optional<std::string> target;
  std::optional<std::string> scriptOut;
  std::vector<std::string> paths;

  bool anyExportClass() const { return office || iwork || pdf; }
};

// Parses argv; on a usage error returns nothing and sets *error.
std::optional<CliOptions> parseCliOptions(const std::vector<std::string>& args,
                                          std::string* error);

extern const char kCliUsage[];

}  // namespace morvane
