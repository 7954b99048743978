// ScriptFileService: a script service that writes the script to a file
// instead of running it (morvane-cli --script-out). A regular file, or the
// one a symbolic link leads to, is replaced whole or not at all (the link
// stays); a device or other special file is written into, never replaced;
// missing folders are not created.
#pragma once

#include <string>
#include <vector>

#include "engine/script_service.h"
#include "platform/env.h"
#include "filelist/nq_file_data_object.h"
#include "platform/status.h"

namespace morvane {

class ScriptFileService : public ScriptService {
 public:
  explicit ScriptFileService(std::string path) : path_(std::move(path)) {}
  std::unique_ptr<Script> create(const std::string& source, ScriptError* error) override;

 private:
  std::string path_;
};

// Writes `text` to `path` as described above; the error says why not.
Status writeScriptFile(const fs::path& path, const std::string& text);

// An error when writing the script to `path` would change a document of
// the run's list: when `path` (links followed) is a listed item, a file
// below a listed folder, or a document package, or lies inside a package.
Status checkScriptOutIsNoSource(Env& env, const std::vector<NQFileDataObject>& list,
                                const fs::path& path);

}  // namespace morvane
