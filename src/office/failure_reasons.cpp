#include "office/failure_reasons.h"

#include <fcntl.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "office/target_folders.h"
#include "platform/subprocess.h"

namespace morvane {

namespace fs = std::filesystem;

namespace {

// Less room than this on the target's file system counts as a full disk
// (an export that failed there found no room for its next blocks, which
// LibreOffice writes tens of kilobytes at a time).
constexpr std::uintmax_t kNearlyFull = 256ull << 10;

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

// Whether this process is refused reading `path` (opening it tells,
// where access() would answer for the real user instead of the effective
// one).
bool readRefused(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd >= 0) {
    ::close(fd);
    return false;
  }
  return errno == EACCES || errno == EPERM;
}

// The class LibreOffice gives an error code ("Error Area:Io Class:Access
// Code:7" is Access); empty when the text holds none.
std::string officeErrorClass(const std::string& text) {
  const std::size_t at = text.find("Class:");
  if (at == std::string::npos) return {};
  const std::size_t end = text.find_first_of(" )", at);
  return text.substr(at + 6, end == std::string::npos ? std::string::npos : end - at - 6);
}

FailureReason reason(FailureKind kind, std::string pattern, std::vector<std::string> values,
                     const std::string& details) {
  return FailureReason::worded(kind, std::move(pattern), std::move(values), details);
}

// The system's errors that say something plain about a file, by the words
// the system uses for them.
struct SystemError {
  int code;
  FailureKind kind;
};
constexpr SystemError kSystemErrors[] = {
    {ENOSPC, FailureKind::diskFull},      {EDQUOT, FailureKind::diskFull},
    {EACCES, FailureKind::noPermission},  {EPERM, FailureKind::noPermission},
    {EROFS, FailureKind::readOnlyDisk},   {ENOENT, FailureKind::missing},
    {ENAMETOOLONG, FailureKind::nameTooLong},
};

std::string folderOf(const std::string& path) { return fs::path(path).parent_path().string(); }

// The reason for a system error `code` met reading or writing `path`.
FailureReason fileErrorReason(const SystemError& e, const std::string& path, bool writing,
                              const std::string& text) {
  switch (e.code) {
    case ENOSPC:
    case EDQUOT: return reason(e.kind, "the disk of %1 is full", {folderOf(path)}, text);
    case EACCES:
    case EPERM:
      return reason(e.kind, writing ? "no permission to write %1" : "no permission to read %1",
                    {path}, text);
    case EROFS:
      return reason(e.kind, "the folder %1 is on a read-only disk", {folderOf(path)}, text);
    case ENOENT:
      return writing ? reason(e.kind, "the folder %1 no longer exists", {folderOf(path)}, text)
                     : reason(e.kind, "the file %1 no longer exists", {path}, text);
    default:
      return reason(e.kind, "the name %1 is too long for its disk",
                    {fs::path(path).filename().string()}, text);
  }
}

}  // namespace

bool isPasswordProtected(const std::string& path) {
  return isEncryptedOffice(path) || isProtectedIwork(path);
}

bool inOfficeTerms(const std::string& text) {
  for (const char* mark : {"Error Area:", "empty reference", "::", "exception:",
                           "type detection failed", "Unsupported URL"}) {
    if (text.find(mark) != std::string::npos) return true;
  }
  return false;
}

FailureReason explainFileError(const std::string& path, bool writing, const std::string& text) {
  for (const SystemError& e : kSystemErrors) {
    if (text.find(std::generic_category().message(e.code)) != std::string::npos) {
      return fileErrorReason(e, path, writing, text);
    }
  }
  return {FailureKind::unexplained, text, {}};
}

FailureReason explainLoadFailure(const std::string& path, const Status& failure) {
  const std::string& text = failure.message();
  const std::string raw = failure.details().empty() ? text : failure.details();
  if (!failure.details().empty()) return reasonOf(failure);
  if (readRefused(path)) {
    return reason(FailureKind::noPermission, "no permission to read %1", {path}, raw);
  }
  if (isPasswordProtected(path)) {
    return reason(FailureKind::passwordProtected,
                  "the document is password-protected; remove the password to convert it", {},
                  raw);
  }
  if (text.starts_with("no such file: ")) {
    return reason(FailureKind::missing, "no such file: %1", {text.substr(14)}, {});
  }
  const std::string errorClass = officeErrorClass(text);
  if (errorClass == "Access") {
    return reason(FailureKind::noPermission, "no permission to read %1", {path}, raw);
  }
  if (errorClass == "NotExists") {
    return reason(FailureKind::missing, "no such file: %1", {path}, raw);
  }
  if (inOfficeTerms(text)) {
    return reason(FailureKind::damaged, "the file is damaged or truncated", {}, raw);
  }
  return {FailureKind::unexplained, text, {}};
}

FailureReason explainSaveFailure(const std::string& target, const Status& failure,
                                 std::uintmax_t neededRoom) {
  const std::string& text = failure.message();
  if (!failure.details().empty()) return reasonOf(failure);
  const fs::path folder = fs::path(target).parent_path();
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) {
    return ec && ec != std::errc::no_such_file_or_directory
               ? reason(FailureKind::missing, "the folder %1 cannot be reached: %2",
                        {folder.string(), ec.message()}, text)
               : reason(FailureKind::missing, "the folder %1 no longer exists", {folder.string()},
                        text);
  }
  if (::access(folder.c_str(), W_OK) != 0 && (errno == EACCES || errno == EROFS)) {
    if (errno == EROFS) {
      return reason(FailureKind::readOnlyDisk, "the folder %1 is on a read-only disk",
                    {folder.string()}, text);
    }
    return reason(FailureKind::noPermission, "no permission to write in %1", {folder.string()},
                  text);
  }
  struct statvfs vfs;
  // (Virtual file systems such as /proc have no blocks at all.)
  if (::statvfs(folder.c_str(), &vfs) == 0 && vfs.f_blocks > 0 &&
      static_cast<std::uintmax_t>(vfs.f_bavail) * vfs.f_frsize <
          std::max(kNearlyFull, neededRoom)) {
    return reason(FailureKind::diskFull, "the disk of %1 is full", {folder.string()}, text);
  }
  const std::string errorClass = officeErrorClass(text);
  if (errorClass == "Access") {
    return reason(FailureKind::noPermission, "no permission to write %1", {target}, text);
  }
  if (errorClass == "Space") {
    return reason(FailureKind::diskFull, "the disk of %1 is full", {folder.string()}, text);
  }
  if (FailureReason system = explainFileError(target, true, text);
      system.kind != FailureKind::unexplained) {
    return system;
  }
  if (inOfficeTerms(text)) {
    return reason(FailureKind::unexplained, "LibreOffice could not write %1", {target}, text);
  }
  return {FailureKind::unexplained, text, {}};
}

FailureReason wrongKindOfFile(const std::string& path, const std::string& found,
                              const std::string& application, const std::string& wanted) {
  const auto named = [](const std::string& kind) -> std::string {
    if (kind == "text") return "a text document";
    if (kind == "spreadsheet") return "a spreadsheet";
    if (kind == "presentation") return "a presentation";
    if (kind == "drawing") return "a drawing";
    return "a document of another kind";
  };
  const std::string ext = fs::path(path).extension().string();
  // The kinds are part of the wording: a front end words each pair whole,
  // with the extension and without.
  const std::string pattern = std::string(ext.empty() ? "this file" : "this %1 file") + " is " +
                              named(found) + ", not " + named(wanted);
  return reason(FailureKind::wrongKind, pattern,
                ext.empty() ? std::vector<std::string>{} : std::vector<std::string>{ext},
                application + " opens " + wanted + " documents, but LibreOffice read this one as " +
                    named(found));
}

FailureReason emptyFile() {
  return reason(FailureKind::damaged, "the file is empty (0 bytes); there is nothing to convert",
                {}, {});
}

FailureReason checkEnded(const std::string& application, CheckEnding ending,
                         const std::string& limit, const std::string& details) {
  switch (ending) {
    case CheckEnding::crashed:
      return reason(FailureKind::damaged, "this %1 document is damaged: checking it crashed",
                    {application}, details);
    case CheckEnding::timedOut:
      return reason(FailureKind::tooSlow,
                    "this %1 document is damaged: checking it took longer than %2",
                    {application, limit}, details);
    case CheckEnding::tooLarge:
      break;
  }
  return reason(FailureKind::tooMuchMemory,
                "this %1 document is damaged: checking it needs more memory than the %2 MB "
                "allowed per document",
                {application, limit}, details);
}

FailureReason unreadableDocument(const std::string& application, const std::string& problem) {
  // The checker's own findings (src/office/iwork_package.cpp) that a user
  // can act on.
  static const std::string kVersionPrefix = "it declares file format version ";
  static const std::string kVersionSuffix = ", which no reader supports";
  if (problem.starts_with("the file is empty (0 bytes)")) return emptyFile();
  if (problem == "it holds no document (no index)") {
    return reason(FailureKind::damaged,
                  "this is not a readable %1 document: it holds no document (no index)",
                  {application}, {});
  }
  if (problem == "the package folder holds no document (no index)") {
    return reason(FailureKind::damaged,
                  "this is not a readable %1 document: the package folder holds no document (no "
                  "index)",
                  {application}, {});
  }
  if (problem.starts_with(kVersionPrefix) && problem.ends_with(kVersionSuffix)) {
    const std::string version = problem.substr(
        kVersionPrefix.size(), problem.size() - kVersionPrefix.size() - kVersionSuffix.size());
    return reason(FailureKind::damaged,
                  "this is not a readable %1 document: it declares file format version %2, "
                  "which no reader supports",
                  {application, version}, {});
  }
  // The window words the pattern and shows the problem under its details;
  // the sentence (the command line's) says both.
  FailureReason damaged = reason(FailureKind::damaged, "this %1 document is damaged or unreadable",
                                 {application}, problem);
  damaged.sentence += ": " + problem;
  return damaged;
}

FailureReason targetFolderGone(const std::string& target, bool replaced) {
  const std::string folder = folderOf(fs::path(target)).string();
  if (replaced) {
    return reason(FailureKind::missing,
                  "the target folder %1 was removed during the run and another one made in its "
                  "place; %2 was not written",
                  {folder, target}, {});
  }
  return reason(FailureKind::missing,
                "the target folder %1 was removed during the run; %2 was not written",
                {folder, target}, {});
}

FailureReason workerStopped(int exitStatus, const std::string& lastMessage) {
  std::string details = "the LibreOffice worker stopped unexpectedly (" +
                        Subprocess::describeStatus(exitStatus) + ")";
  if (!lastMessage.empty()) details += "; its last message: " + lastMessage;
  if (!WIFSIGNALED(exitStatus)) {
    return reason(FailureKind::crashed, "LibreOffice stopped unexpectedly on this document", {},
                  details);
  }
  if (WTERMSIG(exitStatus) == SIGKILL) {  // not by the service: it says why it ends one
    return reason(FailureKind::crashed,
                  "LibreOffice was ended by the system on this document, perhaps for lack of "
                  "memory",
                  {}, details);
  }
  return reason(FailureKind::crashed, "LibreOffice crashed on this document", {}, details);
}

FailureReason workerTooLarge(std::uint64_t capBytes) {
  return reason(FailureKind::tooMuchMemory, "it needs more memory than the %1 MB allowed per document",
                {std::to_string(capBytes >> 20)},
                "the LibreOffice worker grew past " + std::to_string(capBytes >> 20) +
                    " MB and was ended");
}

FailureReason workerTooSlow(std::chrono::milliseconds limit) {
  return reason(FailureKind::tooSlow, "it took longer than the time limit of %1",
                {formatTimeLimit(limit)},
                "LibreOffice gave no answer within " + formatTimeLimit(limit) +
                    "; the worker was ended");
}

std::string formatTimeLimit(std::chrono::milliseconds limit) {
  if (limit.count() % 1000 == 0) return std::to_string(limit.count() / 1000) + " s";
  return std::to_string(limit.count()) + " ms";
}

}  // namespace morvane
