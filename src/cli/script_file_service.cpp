#include "cli/script_file_service.h"

#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <utility>

#include "engine/conversion_controller.h"

namespace morvane {

namespace {

class ScriptFile : public Script {
 public:
  ScriptFile(std::string path, std::string source)
      : path_(std::move(path)), source_(std::move(source)) {}

  bool execute(ScriptError* error) override {
    const Status written = writeScriptFile(path_, source_);
    if (written.ok()) return true;
    error->info = {{"message", "cannot write the script to " + path_ + ": " + written.message()}};
    return false;
  }

 private:
  std::string path_;
  std::string source_;
};

// Writes into an existing special file (a device, a named pipe) in place.
Status writeInto(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  out.close();
  if (!out) return Status::error(std::strerror(errno));
  return {};
}

// Replaces (or creates) a regular file through a partial file beside it
// and a rename, so it holds the whole text or what it held before.
Status replaceFile(const fs::path& path, const std::string& text) {
  const fs::path folder = path.parent_path();
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) {
    return Status::error("the folder " + folder.string() + " does not exist");
  }
  const std::string partial = path.string() + ".morvane-" + std::to_string(::getpid()) + ".part";
  std::ofstream out(partial, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) {
    const std::string why = std::strerror(errno);
    fs::remove(partial, ec);
    return Status::error(why);
  }
  fs::rename(partial, path, ec);
  if (!ec) return {};
  const std::string why = ec.message();
  fs::remove(partial, ec);
  return Status::error(why);
}

// Where a chain of symbolic links ends (the path itself when it is none),
// whether or not anything is there.
Status followLinks(fs::path* path) {
  for (int hops = 0; hops < 40; ++hops) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(*path, ec))) return {};
    const fs::path next = fs::read_symlink(*path, ec);
    if (ec) return Status::error("cannot follow the symbolic link: " + ec.message());
    *path = path->parent_path() / next;  // an absolute `next` replaces the whole path
  }
  return Status::error("too many levels of symbolic links");
}

using FileIds = std::set<std::pair<std::uint64_t, std::uint64_t>>;

// Device and inode of every file and document package at any depth.
void gatherDocuments(Env& env, const std::vector<NQFileDataObject>& entries, FileIds* out) {
  for (const NQFileDataObject& e : entries) {
    if (!e.isDir || ConversionController::isIworkPackage(e)) {
      if (const FileInfo info = env.stat(e.url); info.exists) out->emplace(info.device, info.inode);
    }
    if (e.dirContents) gatherDocuments(env, *e.dirContents, out);
  }
}

bool isAmong(Env& env, const fs::path& path, const FileIds& ids) {
  const FileInfo info = env.stat(path);
  return info.exists && ids.contains({info.device, info.inode});
}

}  // namespace

std::unique_ptr<Script> ScriptFileService::create(const std::string& source, ScriptError*) {
  return std::make_unique<ScriptFile>(path_, source);
}

// A name of this process's own streams (/dev/stdout, /proc/self/fd/1):
// written where it points, appended, as a shell's `>>` would.
bool isStreamName(const fs::path& path) {
  const std::string text = path.lexically_normal().string();
  return text.starts_with("/dev/std") || text.starts_with("/dev/fd/") ||
         text.starts_with("/proc/self/fd/") || text.starts_with("/proc/thread-self/fd/");
}

Status appendTo(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::app);
  out << text;
  out.close();
  if (!out) return Status::error(std::strerror(errno));
  return {};
}

Status writeScriptFile(const fs::path& path, const std::string& text) {
  std::error_code ec;
  const fs::file_status target = fs::status(path, ec);  // links followed
  if (fs::is_directory(target)) return Status::error("it is a folder");
  if (isStreamName(path) && fs::exists(target)) return appendTo(path, text);
  if (fs::exists(target) && !fs::is_regular_file(target)) return writeInto(path, text);
  fs::path linked = path;
  if (Status s = followLinks(&linked); !s.ok()) return s;
  return replaceFile(linked, text);
}

Status checkScriptOutIsNoSource(Env& env, const std::vector<NQFileDataObject>& list,
                                const fs::path& path) {
  FileIds documents;
  gatherDocuments(env, list, &documents);
  FileIds listed = documents;
  for (const NQFileDataObject& e : list) {
    if (const FileInfo info = env.stat(e.url); info.exists) listed.emplace(info.device, info.inode);
  }
  if (isAmong(env, path, listed)) {
    return Status::error("--script-out " + path.string() +
                         " is a source of this run; it would be written over");
  }
  for (fs::path p = path.parent_path(); !p.empty(); p = p.parent_path()) {
    if (isAmong(env, p, documents)) {
      return Status::error("--script-out " + path.string() + " lies inside " + p.string() +
                           ", a source document of this run");
    }
    if (p == p.parent_path()) break;
  }
  return {};
}

}  // namespace morvane
