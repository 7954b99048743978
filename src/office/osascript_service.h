// OsascriptService: the macOS script service. It hands the script text to
// osascript on its standard input and describes a failure from osascript's
// standard error and exit status.
#pragma once

#include <string>

#include "engine/script_service.h"
#include "platform/process_launcher.h"
#include "platform/real_env.h"

namespace morvane {

class OsascriptService : public ScriptService {
 public:
  // Starts `program` through `launcher`; its standard error goes through a
  // temporary file that `env` makes, reads and removes.
  explicit OsascriptService(std::string program = "/usr/bin/osascript", Env& env = machineEnv(),
                            ProcessLauncher& launcher = systemLauncher());
  // osascript compiles the text when it runs it: creation always succeeds.
  std::unique_ptr<Script> create(const std::string& source, ScriptError* error) override;
  // Pages, Numbers and Keynote are the user's own, open documents and all.
  bool drivesUserApplications() const override { return true; }

 private:
  std::string program_;
  Env& env_;
  ProcessLauncher& launcher_;
};

}  // namespace morvane
