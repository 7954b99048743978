#include "filelist/env.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <system_error>

namespace morvane {

void RealEnv::log(std::string_view line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
}

FileInfo RealEnv::stat(const fs::path& path) {
  struct ::stat st;
  if (::stat(path.c_str(), &st) != 0) return {};
  return {true, S_ISDIR(st.st_mode), static_cast<std::uint64_t>(st.st_dev),
          static_cast<std::uint64_t>(st.st_ino)};
}

Status RealEnv::listDirectory(const fs::path& dir, std::vector<DirectoryItem>* out) {
  std::error_code ec;
  fs::directory_iterator it(dir, ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    const std::string& name = it->path().native();
    if (name[name.rfind('/') + 1] == '.') continue;
    // The listing's own type answers need no extra system call.
    std::error_code typeError;
    DirectoryItem::Kind kind = DirectoryItem::Kind::needsStat;
    if (!it->is_symlink(typeError) && !typeError) {
      kind = it->is_directory(typeError) ? DirectoryItem::Kind::directory
                                         : DirectoryItem::Kind::other;
      if (typeError) kind = DirectoryItem::Kind::needsStat;
    }
    out->push_back({it->path(), kind});
  }
  if (ec) return Status::error(ec.message());
  return {};
}

Status RealEnv::createDirectories(const fs::path& dir) {
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (ec) return Status::error(ec.message());
  return {};
}

Status RealEnv::copyItem(const fs::path& from, const fs::path& to) {
  std::error_code ec;
  if (fs::symlink_status(to, ec).type() != fs::file_type::not_found) {
    return Status::error("an item named \"" + to.filename().string() + "\" already exists");
  }
  if (fs::symlink_status(from, ec).type() != fs::file_type::regular) {
    fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
    return ec ? Status::error(ec.message()) : Status();
  }
  // A file is copied under a temporary name and then linked into place, so
  // a failed copy leaves nothing behind and an existing file is never replaced.
  fs::path partial = to;
  partial += ".morvane-partial";
  fs::copy_file(from, partial, fs::copy_options::overwrite_existing, ec);
  if (!ec && ::link(partial.c_str(), to.c_str()) != 0) {
    ec = std::error_code(errno, std::generic_category());
  }
  std::error_code ignored;
  fs::remove(partial, ignored);
  return ec ? Status::error(ec.message()) : Status();
}

bool RealEnv::isFinderAlias(const fs::path& path) {
  std::error_code ec;
  if (fs::symlink_status(path, ec).type() != fs::file_type::regular) return false;
  static constexpr char kMagic[16] = {'b', 'o', 'o', 'k', 0, 0, 0, 0,
                                      'm', 'a', 'r', 'k', 0, 0, 0, 0};
  char head[sizeof kMagic] = {};
  std::ifstream in(path, std::ios::binary);
  if (!in.read(head, sizeof head)) return false;
  return std::memcmp(head, kMagic, sizeof kMagic) == 0;
}

}  // namespace morvane
