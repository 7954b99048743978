#include "engine/target_paths.h"

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
