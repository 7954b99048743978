#include "office/package_folder.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <set>
#include <utility>
#include <vector>

namespace morvane {

namespace fs = std::filesystem;

namespace {

// True when `path` (resolved) is `root` (resolved) or lies below it.
bool isWithin(const fs::path& root, const fs::path& path) {
  return std::mismatch(root.begin(), root.end(), path.begin(), path.end()).first == root.end();
}

Status unreadable(const std::string& why) {
  return Status::error("the package folder cannot be read: " + why);
}

class PackageWalk {
 public:
  PackageWalk(Env& env, fs::path root, bool skipUnreadable, PackageFolderFiles* out)
      : env_(env), root_(std::move(root)), skipUnreadable_(skipUnreadable), out_(out) {}

  // Lists `dir`, named `relative` inside the package, and what is below
  // it; `real` is where `dir` resolves to.
  Status walk(const fs::path& dir, const fs::path& relative, const fs::path& real) {
    std::vector<DirectoryItem> items;
    const Status listed = env_.listAllItems(dir, &items);
    if (listed.errorNumber() == EACCES && skipUnreadable_ && !relative.empty()) return {};
    for (const DirectoryItem& item : items) {
      if (Status s = visit(item, relative / item.path.filename(), real); !s.ok()) return s;
    }
    return listed.ok() ? Status() : unreadable(listed.message());
  }

 private:
  Status visit(const DirectoryItem& item, const fs::path& name, const fs::path& parent) {
    using Kind = DirectoryItem::Kind;
    fs::path real = parent / item.path.filename();
    Kind kind = item.kind;
    if (kind == Kind::needsStat) {  // a link, or a type the listing did not tell
      FileInfo info;
      if (!env_.linkStatus(item.path, &info).ok() || !info.exists) return {};
      if (info.isLink && !mayFollow(item.path, parent, &real)) return {};
      if (info.isLink) info = env_.stat(item.path);
      kind = !info.exists   ? Kind::special
             : info.isDir   ? Kind::directory
             : info.isSpecial ? Kind::special
                              : Kind::other;
    }
    if (kind == Kind::directory) return walk(item.path, name, real);
    if (kind == Kind::other) out_->files[name.generic_string()] = item.path.string();
    return {};
  }

  // Whether the link in the folder that resolves to `parent` may be
  // followed: it leads inside the package, not back up to a folder being
  // listed, and was not followed before. Sets *target; names a link that
  // leads out.
  bool mayFollow(const fs::path& link, const fs::path& parent, fs::path* target) {
    *target = env_.resolve(link);
    if (target->empty()) return false;  // dangling: nothing to read there
    if (!isWithin(root_, *target)) {
      out_->leavingLinks.push_back("Not following the link at path: '" + link.string() +
                                   "': it leads out of the package to '" + target->string() +
                                   "'");
      return false;
    }
    FileInfo own;
    if (isWithin(*target, parent) || !env_.linkStatus(link, &own).ok() || !own.exists) {
      return false;
    }
    return followed_.emplace(own.device, own.inode).second;
  }

  Env& env_;
  fs::path root_;
  bool skipUnreadable_;
  PackageFolderFiles* out_;
  std::set<std::pair<std::uint64_t, std::uint64_t>> followed_;  // links, by their own identity
};

}  // namespace

Status listPackageFolder(const fs::path& folder, bool skipUnreadable, PackageFolderFiles* out,
                         Env& env) {
  fs::path root = env.resolve(folder);
  if (root.empty()) {
    // Resolving and listing fail alike on a path that cannot be reached;
    // the listing tells why.
    std::vector<DirectoryItem> ignored;
    const Status listed = env.listAllItems(folder, &ignored);
    return unreadable(listed.ok() ? "No such file or directory" : listed.message());
  }
  PackageWalk walk(env, root, skipUnreadable, out);
  return walk.walk(folder, {}, root);
}

}  // namespace morvane
