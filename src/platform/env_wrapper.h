// EnvWrapper: an Env that hands every call to another one, its target.
// Derive from it to change a few calls (record them, make them fail) and
// leave the rest to whatever Env lies below, the machine's or another
// wrapper.
#pragma once

#include "platform/env.h"

namespace morvane {

class EnvWrapper : public Env {
 public:
  // `target` must outlive the wrapper.
  explicit EnvWrapper(Env& target) : target_(&target) {}

  Env& target() const { return *target_; }

  void log(std::string_view line) override { target_->log(line); }
  FileInfo stat(const fs::path& path) override { return target_->stat(path); }
  Status linkStatus(const fs::path& path, FileInfo* out) override {
    return target_->linkStatus(path, out);
  }
  fs::path resolve(const fs::path& path) override { return target_->resolve(path); }
  Status listDirectory(const fs::path& dir, std::vector<DirectoryItem>* out) override {
    return target_->listDirectory(dir, out);
  }
  Status listAllItems(const fs::path& dir, std::vector<DirectoryItem>* out) override {
    return target_->listAllItems(dir, out);
  }
  Status createDirectories(const fs::path& dir) override {
    return target_->createDirectories(dir);
  }
  Status copyItem(const fs::path& from, const fs::path& to,
                  const StopRequested& stop = {}) override {
    return target_->copyItem(from, to, stop);
  }
  bool isFinderAlias(const fs::path& path) override { return target_->isFinderAlias(path); }
  Status renameFile(const fs::path& from, const fs::path& to) override {
    return target_->renameFile(from, to);
  }
  Status removeAll(const fs::path& path) override { return target_->removeAll(path); }
  Status removeFile(const fs::path& path) override { return target_->removeFile(path); }
  Status writeFile(const fs::path& path, std::string_view data) override {
    return target_->writeFile(path, data);
  }
  Status readFile(const fs::path& path, std::string* out) override {
    return target_->readFile(path, out);
  }
  Status makeUniqueFile(const fs::path& parent, const std::string& prefix,
                        fs::path* out) override {
    return target_->makeUniqueFile(parent, prefix, out);
  }
  std::size_t longestName(const fs::path& folder) override {
    return target_->longestName(folder);
  }
  Status makeUniqueFolder(const fs::path& parent, const std::string& prefix,
                          fs::path* out) override {
    return target_->makeUniqueFolder(parent, prefix, out);
  }
  Status lockFile(const fs::path& path, std::unique_ptr<FileLock>* lock) override {
    return target_->lockFile(path, lock);
  }
  Status syncFile(const fs::path& path) override { return target_->syncFile(path); }
  Status syncFolder(const fs::path& dir) override { return target_->syncFolder(dir); }

 protected:
  // For a wrapper that makes its target itself, before it can name it.
  void setTarget(Env& target) { target_ = &target; }

 private:
  Env* target_;
};

}  // namespace morvane
