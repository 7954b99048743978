// ScriptFileService: a script service that writes the script to a file
// instead of running it (morvane-cli --script-out). The file is replaced
// whole or not at all.
#pragma once

#include <string>

#include "engine/script_service.h"

namespace morvane {

class ScriptFileService : public ScriptService {
 public:
  explicit ScriptFileService(std::string path) : path_(std::move(path)) {}
  std::unique_ptr<Script> create(const std::string& source, ScriptError* error) override;

 private:
  std::string path_;
};

}  // namespace morvane
