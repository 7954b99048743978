#include "filelist/regular_files.h"

#include <algorithm>
#include <cctype>
#include <utility>
#include <vector>

#include "filelist/nq_file_data_object.h"

namespace morvane {

namespace fs = std::filesystem;

bool isDocumentPackage(const fs::path& folder) {
  const fs::path ext = folder.extension();
  return ext == ".pages" || ext == ".numbers" || ext == ".key";
}

namespace {

// As a scanned folder's contents: by sort key, equal keys in listing order.
void sortSiblings(std::vector<DirectoryItem>& items) {
  std::vector<std::pair<std::string, DirectoryItem>> keyed;
  keyed.reserve(items.size());
  for (DirectoryItem& item : items) {
    std::string key = NQFileDataObject::sortKey(item.path);
    keyed.emplace_back(std::move(key), std::move(item));
  }
  std::stable_sort(keyed.begin(), keyed.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  for (std::size_t i = 0; i < keyed.size(); ++i) items[i] = std::move(keyed[i].second);
}

// Links are never followed; one to a folder outside `bound` (the folder
// being flattened) is named, since following it would leave the folder.
void noteLinkOut(const fs::path& link, const fs::path& bound, Env& env) {
  const FileInfo info = env.stat(link);
  if (!info.isDir) return;
  const fs::path target = env.resolve(link);
  if (std::mismatch(bound.begin(), bound.end(), target.begin(), target.end()).first ==
      bound.end()) {
    return;
  }
  env.log("Not scanning folder at path: '" + link.string() + "': it is a link that leads out of '" +
          bound.string() + "'");
}

// `bound` is the resolved folder being flattened; empty for the top call.
// With `packages`, a document package below is listed as one item.
void collect(const fs::path& dir, bool top, fs::path bound, bool packages, Env& env,
             std::vector<fs::path>* files) {
  std::vector<DirectoryItem> items;
  if (Status s = env.listDirectory(dir, &items); !s.ok()) {
    if (!top) env.log("Enumeration error at " + fileUrlFromPath(dir.native()) + ": " + s.message());
    return;
  }
  if (top) bound = env.resolve(dir);
  sortSiblings(items);
  for (const DirectoryItem& item : items) {  // hidden items are never listed
    bool isDir = item.kind == DirectoryItem::Kind::directory;
    bool isRegular = false;
    if (!isDir) {
      FileInfo info;
      if (Status s = env.linkStatus(item.path, &info); !s.ok()) {
        env.log("Failed reading resource values for " + fileUrlFromPath(item.path.native()) +
                ": " + s.message());
        continue;
      }
      isDir = info.isDir;
      isRegular = info.exists && !info.isDir && !info.isLink && !info.isSpecial;  // not a link
      if (info.isLink) noteLinkOut(item.path, bound, env);
      if (info.isSpecial) {
        env.log("Not adding " + item.path.string() +
                ": it is neither a regular file nor a folder (a FIFO, socket or device)");
      }
    }
    const bool package = isDir && isDocumentPackage(item.path);
    if (isDir && !package) collect(item.path, false, bound, packages, env, files);
    if (isRegular || (package && packages)) files->push_back(item.path);  // links are neither
  }
}

}  // namespace

std::vector<fs::path> regularFilesIn(const fs::path& folder, Env& env) {
  std::vector<fs::path> files;
  collect(folder, true, {}, false, env, &files);
  return files;
}

std::vector<fs::path> documentsIn(const fs::path& folder, Env& env) {
  std::vector<fs::path> files;
  collect(folder, true, {}, true, env, &files);
  return files;
}

std::string fileUrlFromPath(std::string_view path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string url = "file://";
  for (unsigned char c : path) {
    if (std::isalnum(c) || c == '/' || c == '-' || c == '.' || c == '_' || c == '~') {
      url += static_cast<char>(c);
    } else {
      url += '%';
      url += kHex[c >> 4];
      url += kHex[c & 15];
    }
  }
  return url;
}

}  // namespace morvane
