// RealEnv: the Env of the machine itself, std::filesystem and POSIX, with
// its diagnostic lines going to a sink (standard output unless told
// otherwise). The programs make one each; machineEnv() is a shared one for
// code that is handed none.
#pragma once

#include <functional>
#include <string_view>
#include <utility>

#include "platform/env.h"

namespace morvane {

// Where a program's diagnostic lines go: one line, without its line feed,
// at a time. Empty: nowhere.
using LogSink = std::function<void(std::string_view line)>;

// Writes the line and a line feed to standard output, where tools that
// read the diagnostic lines find them.
void logToStandardOutput(std::string_view line);

class RealEnv : public Env {
 public:
  RealEnv() = default;
  explicit RealEnv(LogSink sink) : sink_(std::move(sink)) {}
  // From now on the lines go to `sink`; set it before a run starts.
  void setLogSink(LogSink sink) { sink_ = std::move(sink); }

  void log(std::string_view line) override;
  FileInfo stat(const fs::path& path) override;
  Status linkStatus(const fs::path& path, FileInfo* out) override;
  fs::path resolve(const fs::path& path) override;
  Status listDirectory(const fs::path& dir, std::vector<DirectoryItem>* out) override;
  Status listAllItems(const fs::path& dir, std::vector<DirectoryItem>* out) override;
  Status createDirectories(const fs::path& dir) override;
  Status copyItem(const fs::path& from, const fs::path& to,
                  const StopRequested& stop = {}) override;

  // A Finder alias copied from a Mac keeps its bookmark data as contents:
  // a regular file starting with "book\0\0\0\0mark\0\0\0\0".
  bool isFinderAlias(const fs::path& path) override;
  Status renameFile(const fs::path& from, const fs::path& to) override;
  Status removeAll(const fs::path& path) override;
  Status removeFile(const fs::path& path) override;
  Status writeFile(const fs::path& path, std::string_view data) override;
  Status readFile(const fs::path& path, std::string* out) override;
  Status makeUniqueFile(const fs::path& parent, const std::string& prefix,
                        fs::path* out) override;
  std::size_t longestName(const fs::path& folder) override;
  Status makeUniqueFolder(const fs::path& parent, const std::string& prefix,
                          fs::path* out) override;
  Status lockFile(const fs::path& path, std::unique_ptr<FileLock>* lock) override;
  Status syncFile(const fs::path& path) override;
  Status syncFolder(const fs::path& dir) override;

 private:
  LogSink sink_ = logToStandardOutput;
};

// One RealEnv for the whole process, its lines on standard output. Never
// give it another sink: it is everyone's.
Env& machineEnv();

}  // namespace morvane
