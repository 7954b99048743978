// OsascriptService: the macOS script service. It hands the script text to
// osascript on its standard input and describes a failure from osascript's
// standard error and exit status.
#pragma once

#include <string>

#include "engine/script_service.h"

namespace morvane {

class OsascriptService : public ScriptService {
 public:
  explicit OsascriptService(std::string program = "/usr/bin/osascript");
  // osascript compiles the text when it runs it: creation always succeeds.
  std::unique_ptr<Script> create(const std::string& source, ScriptError* error) override;
  // Pages, Numbers and Keynote are the user's own, open documents and all.
  bool drivesUserApplications() const override { return true; }

 private:
  std::string program_;
};

}  // namespace morvane
