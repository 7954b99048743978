#include "filelist/nq_file_data_object.h"

#include <utf8proc.h>

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace morvane {

// The chain of folders from the root of a scan down to the one being
// scanned, identified by device and inode.
struct NQFileDataObject::Ancestor {
  std::uint64_t device;
  std::uint64_t inode;
  const Ancestor* parent;
};

NQFileDataObject::NQFileDataObject(fs::path url, std::int64_t level, bool topLevel, Env& env)
    : NQFileDataObject(std::move(url), level, topLevel, env, nullptr) {}

NQFileDataObject::NQFileDataObject(fs::path url_, std::int64_t level, bool topLevel, Env& env,
                                   const Ancestor* ancestors)
    : id(Uuid::random()), dirLevel(level), url(std::move(url_)) {
  const FileInfo info = env.stat(url);
  isDir = info.exists && info.isDir;
  if (!isDir) return;
  dirContents.emplace();
  scan(env, info, topLevel, ancestors);
}

void NQFileDataObject::scan(Env& env, const FileInfo& info, bool topLevel,
                            const Ancestor* ancestors) {
  for (const Ancestor* a = ancestors; a != nullptr; a = a->parent) {
    if (a->device == info.device && a->inode == info.inode) {
      env.log("Not scanning folder at path: '" + url.string() +
              "': it leads back to a folder that is already being scanned");
      return;
    }
  }
  std::vector<fs::path> listing;
  if (Status s = env.listDirectory(url, &listing); !s.ok()) {
    env.log("Error when creating file at path: '" + url.string() + "' with error: " + s.message());
    return;
  }
  const Ancestor self{info.device, info.inode, ancestors};
  const std::int64_t childLevel = topLevel ? dirLevel : dirLevel + 1;
  std::vector<std::pair<std::string, NQFileDataObject>> keyed;
  keyed.reserve(listing.size());
  for (fs::path& childUrl : listing) {
    std::string key = sortKey(childUrl);
    NQFileDataObject child(std::move(childUrl), childLevel, false, env, &self);
    env.log("\tadding to dir: " + url.string() + " file " + child.url.string() +
            " at lefel: " + std::to_string(child.dirLevel));
    keyed.emplace_back(std::move(key), std::move(child));
  }
  std::stable_sort(keyed.begin(), keyed.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  dirContents->reserve(keyed.size());
  for (auto& [key, child] : keyed) dirContents->push_back(std::move(child));
  dirCount = static_cast<std::int64_t>(dirContents->size());
}

std::string NQFileDataObject::sortKey(const fs::path& url) {
  fs::path name = lastPathComponent(url);
  std::string stem = name.stem().string();
  utf8proc_uint8_t* nfc = utf8proc_NFC(reinterpret_cast<const utf8proc_uint8_t*>(stem.c_str()));
  if (nfc == nullptr) return stem;  // not valid UTF-8: compare the raw bytes
  std::string key(reinterpret_cast<char*>(nfc));
  std::free(nfc);
  return key;
}

std::string NQFileDataObject::displayValue(std::string_view column, Env& env) const {
  if (column != "filename") return {};
  if (!env.stat(url).exists) {
    env.log("Error when creating file at path: '" + url.string() +
            "' with error: The file couldn't be opened because there is no such file.");
  }
  return lastPathComponent(url);
}

std::string lastPathComponent(const fs::path& path) {
  if (path.has_filename()) return path.filename().string();
  fs::path trimmed = path.parent_path();
  if (trimmed.has_filename()) return trimmed.filename().string();
  return path.string();
}

}  // namespace morvane
