#include "engine/target_paths.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "filelist/nq_file_data_object.h"

namespace morvane {

std::string pathExtension(const std::filesystem::path& path) {
  const std::string name = lastPathComponent(path);
  const std::size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) return {};
  return name.substr(dot + 1);
}

std::string stripLastExtension(const std::string& name) {
  const std::string ext = pathExtension(name);
  return ext.empty() ? name : name.substr(0, name.size() - ext.size() - 1);
}

// The folder part is kept as written (doubled slashes and all), so that the
// result compares as text with the other targets of the run.
std::filesystem::path numberedPath(const std::filesystem::path& path, int number) {
  const std::string& text = path.native();
  const std::size_t slash = text.rfind('/');
  const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  const std::string name = text.substr(nameStart);
  const std::string ext = pathExtension(name);
  std::string numbered = text.substr(0, nameStart) + stripLastExtension(name) + " " +
                         std::to_string(number);
  if (!ext.empty()) numbered += "." + ext;
  return numbered;
}

namespace {

// The path itself or its nearest ancestor that exists; empty for none.
std::filesystem::path nearestExisting(Env& env, std::filesystem::path path) {
  while (!path.empty() && !env.stat(path).exists) {
    std::filesystem::path parent = path.parent_path();
    if (parent == path) return {};
    path = std::move(parent);
  }
  return path;
}

// Why the process may not create items in `folder`; empty when it may.
std::string whyNotWritable(const std::filesystem::path& folder) {
  if (::access(folder.c_str(), W_OK | X_OK) == 0) return {};
  return std::strerror(errno);
}

}  // namespace

Status checkTargetFolder(Env& env, const std::filesystem::path& folder) {
  const std::string name = "Target folder " + folder.string();
  const FileInfo info = env.stat(folder);
  if (info.exists && !info.isDir) return Status::error(name + ": it exists but is not a folder");
  if (info.exists) {
    const std::string why = whyNotWritable(folder);
    return why.empty() ? Status() : Status::error(name + " cannot be written: " + why);
  }
  const std::filesystem::path existing = nearestExisting(env, folder.parent_path());
  if (existing.empty()) return {};
  if (!env.stat(existing).isDir) {
    return Status::error(name + " cannot be created: " + existing.string() + " is not a folder");
  }
  const std::string why = whyNotWritable(existing);
  if (why.empty()) return {};
  return Status::error(name + " cannot be created in " + existing.string() + ": " + why);
}

std::string lastComponents(const std::filesystem::path& path, std::int64_t count) {
  std::vector<std::string> parts;
  for (const std::filesystem::path& part : path) {
    if (!part.empty()) parts.push_back(part.string());
  }
  const std::size_t keep = count < 0 ? 0 : static_cast<std::size_t>(count);
  const std::size_t first = parts.size() > keep ? parts.size() - keep : 0;
  std::string joined;
  for (std::size_t i = first; i < parts.size(); ++i) {
    if (i > first) joined += '/';
    joined += parts[i];
  }
  return joined;
}

}  // namespace morvane
