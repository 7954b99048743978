#include "office/failure_reasons.h"

#include <sys/statvfs.h>
#include <unistd.h>
#include <zip.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace morvane {

namespace fs = std::filesystem;

namespace {

// Less room than this on the target's file system counts as a full disk
// (an export that failed there found no room for its next blocks).
constexpr unsigned long long kNearlyFull = 64ull << 10;

// An encrypted Office document is an OLE compound file whose directory,
// near its start, names an "EncryptionInfo" stream (in UTF-16).
bool isEncryptedOffice(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string block(1 << 20, '\0');
  in.read(block.data(), static_cast<std::streamsize>(block.size()));
  block.resize(static_cast<std::size_t>(in.gcount()));
  if (!block.starts_with("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1")) return false;
  std::string name;
  for (char c : std::string_view("EncryptionInfo")) name += {c, '\0'};
  return block.find(name) != std::string::npos;
}

// iWork keeps a password verifier beside the index of a protected document.
bool isProtectedIwork(const std::string& path) {
  std::error_code ec;
  if (fs::is_directory(path, ec)) return fs::exists(fs::path(path) / ".iwpv2", ec);
  int code = 0;
  zip_t* z = zip_open(path.c_str(), ZIP_RDONLY, &code);
  if (z == nullptr) return false;
  const bool found = zip_name_locate(z, ".iwpv2", 0) >= 0;
  zip_discard(z);
  return found;
}

}  // namespace

bool isPasswordProtected(const std::string& path) {
  return isEncryptedOffice(path) || isProtectedIwork(path);
}

std::string explainLoadFailure(const std::string& path, const std::string& officeMessage) {
  if (::access(path.c_str(), R_OK) != 0 && errno == EACCES) {
    return "no permission to read " + path;
  }
  if (isPasswordProtected(path)) {
    return "the document is password-protected; remove the password to convert it";
  }
  return officeMessage;
}

std::string explainSaveFailure(const std::string& target, const std::string& officeMessage) {
  const fs::path folder = fs::path(target).parent_path();
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) {
    return ec && ec != std::errc::no_such_file_or_directory
               ? "the folder " + folder.string() + " cannot be reached: " + ec.message()
               : "the folder " + folder.string() + " no longer exists";
  }
  if (::access(folder.c_str(), W_OK) != 0 && (errno == EACCES || errno == EROFS)) {
    return errno == EROFS ? "the folder " + folder.string() + " is on a read-only disk"
                          : "no permission to write in " + folder.string();
  }
  struct statvfs vfs;
  // (Virtual file systems such as /proc have no blocks at all.)
  if (::statvfs(folder.c_str(), &vfs) == 0 && vfs.f_blocks > 0 &&
      static_cast<unsigned long long>(vfs.f_bavail) * vfs.f_frsize < kNearlyFull) {
    return "the disk of " + folder.string() + " is full";
  }
  return officeMessage;
}

}  // namespace morvane
