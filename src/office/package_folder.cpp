#include "office/package_folder.h"

#include <sys/stat.h>

#include <algorithm>
#include <set>
#include <system_error>
#include <utility>

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
  PackageWalk(fs::path root, bool skipUnreadable, PackageFolderFiles* out)
      : root_(std::move(root)), skipUnreadable_(skipUnreadable), out_(out) {}

  // Lists `dir`, named `relative` inside the package, and what is below
  // it; `real` is where `dir` resolves to.
  Status walk(const fs::path& dir, const fs::path& relative, const fs::path& real) {
    std::error_code ec;
    fs::directory_iterator it(dir, ec);
    if (ec == std::errc::permission_denied && skipUnreadable_ && !relative.empty()) return {};
    for (const fs::directory_iterator end; !ec && it != end; it.increment(ec)) {
      if (Status s = visit(*it, relative / it->path().filename(), real); !s.ok()) return s;
    }
    return ec ? unreadable(ec.message()) : Status();
  }

 private:
  Status visit(const fs::directory_entry& item, const fs::path& name, const fs::path& parent) {
    std::error_code ec;
    fs::path real = parent / item.path().filename();
    if (item.is_symlink(ec) && !mayFollow(item.path(), parent, &real)) return {};
    if (item.is_directory(ec)) return walk(item.path(), name, real);
    if (item.is_regular_file(ec)) out_->files[name.generic_string()] = item.path().string();
    return {};
  }

  // Whether the link in the folder that resolves to `parent` may be
  // followed: it leads inside the package, not back up to a folder being
  // listed, and was not followed before. Sets *target; names a link that
  // leads out.
  bool mayFollow(const fs::path& link, const fs::path& parent, fs::path* target) {
    std::error_code ec;
    *target = fs::canonical(link, ec);
    if (ec) return false;  // dangling: nothing to read there
    if (!isWithin(root_, *target)) {
      out_->leavingLinks.push_back("Not following the link at path: '" + link.string() +
                                   "': it leads out of the package to '" + target->string() +
                                   "'");
      return false;
    }
    struct ::stat st;
    if (isWithin(*target, parent) || ::lstat(link.c_str(), &st) != 0) return false;
    return followed_.emplace(st.st_dev, st.st_ino).second;
  }

  fs::path root_;
  bool skipUnreadable_;
  PackageFolderFiles* out_;
  std::set<std::pair<dev_t, ino_t>> followed_;  // links, by their own identity
};

}  // namespace

Status listPackageFolder(const fs::path& folder, bool skipUnreadable, PackageFolderFiles* out) {
  std::error_code ec;
  fs::path root = fs::canonical(folder, ec);
  if (ec) return unreadable(ec.message());
  PackageWalk walk(root, skipUnreadable, out);
  return walk.walk(folder, {}, root);
}

}  // namespace morvane
