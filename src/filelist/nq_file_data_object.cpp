#include "filelist/nq_file_data_object.h"

#include <utf8proc.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <utility>

#include "filelist/regular_files.h"

namespace morvane {

// The folders one scan (one top-level entry and everything below it) has
// entered, by device and inode. Every folder on the way from the root is
// among them, so a link back up is caught as well as two links that join.
struct NQFileDataObject::EnteredFolders {
  std::set<std::pair<std::uint64_t, std::uint64_t>> ids;
};

namespace {

// True when the link at `link` resolves to `bound` or a place below it.
bool leadsInside(Env& env, const fs::path& link, const fs::path& bound) {
  const fs::path target = env.resolve(link);
  if (target.empty() || bound.empty()) return false;
  return std::mismatch(bound.begin(), bound.end(), target.begin(), target.end()).first ==
         bound.end();
}

}  // namespace

NQFileDataObject::NQFileDataObject(fs::path url_, std::int64_t level, bool topLevel, Env& env)
    : id(Uuid::random()), dirLevel(level), url(std::move(url_)) {
  const FileInfo info = env.stat(url);
  isDir = info.isDir;
  isSpecial = info.isSpecial;
  if (!isDir) return;
  EnteredFolders entered;
  scan(env, info, topLevel, entered, env.resolve(url));
}

NQFileDataObject::NQFileDataObject(DirectoryItem item, std::int64_t level, Env& env,
                                   EnteredFolders& entered, const fs::path& bound)
    : id(Uuid::random()), dirLevel(level), url(std::move(item.path)) {
  // Files take their type from the listing; a folder is looked at once,
  // for the device and inode that guard against scanning in circles.
  if (item.kind == DirectoryItem::Kind::other) return;
  if (item.kind == DirectoryItem::Kind::special) {
    isSpecial = true;
    return;
  }
  const FileInfo info = env.stat(url);
  isDir = info.isDir;
  isSpecial = info.isSpecial;
  if (!isDir) return;
  if (info.isLink && !leadsInside(env, url, bound)) {
    dirContents.emplace();
    env.log("Not scanning folder at path: '" + url.string() +
            "': it is a link that leads out of '" + bound.string() + "'");
    return;
  }
  scan(env, info, false, entered, bound);
}

void NQFileDataObject::scan(Env& env, const FileInfo& info, bool topLevel,
                            EnteredFolders& entered, const fs::path& outerBound) {
  dirContents.emplace();
  if (!entered.ids.emplace(info.device, info.inode).second) {
    env.log("Not scanning folder at path: '" + url.string() +
            "': it leads back to a folder that is already being scanned");
    return;
  }
  std::vector<DirectoryItem> listing;
  if (Status s = env.listDirectory(url, &listing); !s.ok()) {
    env.log("Error when creating file at path: '" + url.string() + "' with error: " + s.message());
    return;
  }
  const std::int64_t childLevel = topLevel ? dirLevel : dirLevel + 1;
  std::vector<std::pair<std::string, NQFileDataObject>> keyed;
  keyed.reserve(listing.size());
  const std::string prefix = "\tadding to dir: " + url.string() + " file ";
  const std::string suffix = " at lefel: " + std::to_string(childLevel);
  // Inside a document package, links may not lead out of the package.
  const fs::path bound = isDocumentPackage(url) ? env.resolve(url) : outerBound;
  for (DirectoryItem& item : listing) {
    std::string key = sortKey(item.path);
    NQFileDataObject child(std::move(item), childLevel, env, entered, bound);
    env.log(prefix + child.url.native() + suffix);
    keyed.emplace_back(std::move(key), std::move(child));
  }
  std::stable_sort(keyed.begin(), keyed.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  dirContents->reserve(keyed.size());
  for (auto& [key, child] : keyed) dirContents->push_back(std::move(child));
  dirCount = static_cast<std::int64_t>(dirContents->size());
}

std::string NQFileDataObject::sortKey(const fs::path& url) {
  std::string stem = fs::path(lastPathComponent(url)).stem().native();
  const bool ascii = std::all_of(stem.begin(), stem.end(),
                                 [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (ascii) return stem;  // already in normal form
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
