// ScriptService: runs the one automation script of a run. It creates a
// script from its text, executes it to the end or to the first failing
// statement, and describes what went wrong. Implementations: the office
// service (LibreOffice) and osascript; tests use a recording fake.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace morvane {

// What a failed creation or execution reports: named fields, in order.
struct ScriptError {
  std::vector<std::pair<std::string, std::string>> info;

  // The whole record as readable text, one "key = value;" line per field.
  std::string description() const;
};

class Script {
 public:
  virtual ~Script() = default;
  // Blocks until the script has ended; an error when a statement failed.
  virtual bool execute(ScriptError* error) = 0;
};

class ScriptService {
 public:
  virtual ~ScriptService() = default;
  // Null when the text is not a script the service can run; *error then
  // says why.
  virtual std::unique_ptr<Script> create(const std::string& source, ScriptError* error) = 0;
};

}  // namespace morvane
