// morvane-office: one worker serving documents of any kind. It starts LibreOffice
// in-process through LibreOfficeKit once, answers "ready", then serves
// requests on standard input, one line each (see wire_format.h):
//   load PATH          -> ok KIND   (text, spreadsheet, presentation, ...)
//   save PATH FORMAT   -> ok        (writes document 1 in FORMAT: pdf, docx, ...)
//   close              -> ok        (closes document 1)
//   inspect PATH COPY  -> ok CELLS TEXT LOADABLE  (checks the iWork document
//                         PATH without LibreOffice and tells what it holds; a
//                         package folder is written as the single file COPY,
//                         which is then the one to load)
//   census PATH        -> ok CELLS TEXT DRAWINGS  (counts what document 1 holds,
//                         through a flat OpenDocument copy written to PATH
//                         and removed again)
//   version            -> ok LIBREOFFICE READER  (versions of LibreOffice
//                         and of the iWork reader it loads)
//   quit               -> ok, then exits at once
//   shutdown           -> shuts LibreOffice down (writing its settings), ok, exits
// A failure answers "error MESSAGE", or "error MESSAGE DETAILS" where the
// message is a plain sentence and the details the words it explains.
// Usage: morvane-office PROGRAM_DIR PROFILE_URL
#define LOK_USE_UNSTABLE_API
#include <LibreOfficeKit/LibreOfficeKit.hxx>
#include <LibreOfficeKit/LibreOfficeKitInit.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <filesystem>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "filelist/regular_files.h"
#include "office/document_census.h"
#include "office/flatten_package.h"
#include "office/iwork_package.h"
#include "office/wire_format.h"

namespace {

using morvane::decodeWireLine;
using morvane::encodeWireLine;
using morvane::fileUrlFromPath;

int protocolFd = -1;

void answer(const std::vector<std::string>& fields);

// The answer to a failed request.
void answerFailure(const morvane::Status& failure) {
  if (failure.details().empty()) return answer({"error", failure.message()});
  answer({"error", failure.message(), failure.details()});
}

void answer(const std::vector<std::string>& fields) {
  const std::string line = encodeWireLine(fields) + "\n";
  std::size_t written = 0;
  while (written < line.size()) {
    const ssize_t n = ::write(protocolFd, line.data() + written, line.size() - written);
    if (n <= 0) _exit(3);
    written += static_cast<std::size_t>(n);
  }
}

std::string officeError(lok::Office& office, const std::string& fallback) {
  char* raw = office.getError();
  std::string message = raw != nullptr && *raw != '\0' ? raw : fallback;
  if (raw != nullptr) office.freeError(raw);
  return message;
}

const char* kindName(int type) {
  switch (type) {
    case LOK_DOCTYPE_TEXT: return "text";
    case LOK_DOCTYPE_SPREADSHEET: return "spreadsheet";
    case LOK_DOCTYPE_PRESENTATION: return "presentation";
    case LOK_DOCTYPE_DRAWING: return "drawing";
    default: return "other";
  }
}

// The flat OpenDocument format for a document kind.
const char* flatFormat(int type) {
  switch (type) {
    case LOK_DOCTYPE_TEXT: return "fodt";
    case LOK_DOCTYPE_SPREADSHEET: return "fods";
    case LOK_DOCTYPE_PRESENTATION: return "fodp";
    default: return "fodg";
  }
}

// "7.4.7.2" from LibreOffice's version information (JSON).
std::string officeVersion(lok::Office& office) {
  char* raw = office.getVersionInfo();
  const std::string info = raw != nullptr ? raw : "";
  if (raw != nullptr) office.freeError(raw);
  std::smatch version, extension;
  static const std::regex kVersion("\"ProductVersion\"\\s*:\\s*\"([^\"]*)\"");
  static const std::regex kExtension("\"ProductExtension\"\\s*:\\s*\"([^\"]*)\"");
  if (!std::regex_search(info, version, kVersion)) return "unknown";
  std::regex_search(info, extension, kExtension);
  return version[1].str() + (extension.empty() ? "" : extension[1].str());
}

// The version of the iWork reader that LibreOffice's import filters load:
// the one the library path finds first, read off its file name
// (libetonyek-0.1.so.1.0.12 is 0.1.12).
std::string readerVersion() {
  void* handle = ::dlopen("libetonyek-0.1.so.1", RTLD_LAZY | RTLD_LOCAL);
  if (handle == nullptr) return "missing";
  link_map* map = nullptr;
  std::string file;
  if (::dlinfo(handle, RTLD_DI_LINKMAP, &map) == 0 && map != nullptr && map->l_name != nullptr) {
    std::error_code ec;
    file = std::filesystem::canonical(map->l_name, ec).filename().string();
  }
  ::dlclose(handle);
  static const std::regex kName("libetonyek-0\\.1\\.so\\.1\\.0\\.([0-9]+)");
  std::smatch m;
  if (!std::regex_match(file, m, kName)) return "unknown";
  return "0.1." + m[1].str();
}

class Worker {
 public:
  explicit Worker(lok::Office& office) : office_(office) {}

  void serve(const std::vector<std::string>& request) {
    const std::string& verb = request[0];
    if (verb == "load" && request.size() == 2) return load(request[1]);
    if (verb == "save" && request.size() == 3) return save(request[1], request[2]);
    if (verb == "inspect" && request.size() == 3) return inspect(request[1], request[2]);
    if (verb == "census" && request.size() == 2) return census(request[1]);
    if (verb == "version") return answer({"ok", officeVersion(office_), readerVersion()});
    if (verb == "close") {
      if (!documents_.empty()) documents_.pop_back();
      return answer({"ok"});
    }
    answer({"error", "unknown request " + verb});
  }

 private:
  void load(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return answer({"error", "no such file: " + path});
    if (!S_ISREG(st.st_mode)) return answer({"error", "not a document file: " + path});
    std::unique_ptr<lok::Document> doc(office_.documentLoad(fileUrlFromPath(path).c_str()));
    if (!doc) {
      return answer({"error", "LibreOffice cannot open " + path + ": " +
                                  officeError(office_, "the format was not recognised")});
    }
    const char* kind = kindName(doc->getDocumentType());
    documents_.push_back(std::move(doc));
    answer({"ok", kind});
  }

  void save(const std::string& path, const std::string& format) {
    if (documents_.empty()) return answer({"error", "no document is open"});
    if (!documents_.back()->saveAs(fileUrlFromPath(path).c_str(), format.c_str(), nullptr)) {
      return answer({"error", "LibreOffice could not write " + format + ": " +
                                  officeError(office_, "the export failed")});
    }
    answer({"ok"});
  }

  void inspect(const std::string& path, const std::string& copy) {
    morvane::IworkDocumentInfo info;
    if (morvane::Status s = morvane::readIworkDocument(path, &info); !s.ok()) {
      return answerFailure(s);
    }
    std::error_code ec;
    std::string loadable = path;
    if (std::filesystem::is_directory(path, ec)) {
      if (morvane::Status s = morvane::flattenPackage(path, copy); !s.ok()) {
        return answerFailure(s);
      }
      loadable = copy;
    }
    for (const std::string& note : info.notes) std::fprintf(stderr, "%s\n", note.c_str());
    answer({"ok", std::to_string(info.content.cells), std::to_string(info.content.textCharacters),
            loadable});
  }

  void census(const std::string& path) {
    if (documents_.empty()) return answer({"error", "no document is open"});
    lok::Document& doc = *documents_.back();
    const bool saved = doc.saveAs(fileUrlFromPath(path).c_str(), flatFormat(doc.getDocumentType()),
                                  nullptr);
    morvane::DocumentCensus counted;
    morvane::Status status = saved ? morvane::takeCensus(path, &counted)
                                   : morvane::Status::error(officeError(office_, "the copy failed"));
    std::error_code ec;
    std::filesystem::remove(path, ec);
    if (!status.ok()) return answer({"error", "cannot count what LibreOffice read: " + status.message()});
    answer({"ok", std::to_string(counted.cells), std::to_string(counted.textCharacters),
            std::to_string(counted.drawings)});
  }

  lok::Office& office_;
  std::vector<std::unique_ptr<lok::Document>> documents_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: morvane-office PROGRAM_DIR PROFILE_URL\n");
    return 2;
  }
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);  // never outlive the service
  // The protocol socket (standard input and output) is kept on
  // close-on-exec copies, so that no program LibreOffice starts holds it;
  // standard input reads nothing, and whatever LibreOffice prints itself
  // goes to standard error.
  protocolFd = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0);
  const int requestFd = ::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0);
  FILE* requests = requestFd >= 0 ? ::fdopen(requestFd, "r") : nullptr;
  const int nothing = ::open("/dev/null", O_RDONLY);
  if (protocolFd < 0 || requests == nullptr || nothing < 0) return 1;
  ::dup2(nothing, STDIN_FILENO);
  ::close(nothing);
  ::dup2(STDERR_FILENO, STDOUT_FILENO);

  lok::Office* office = lok::lok_cpp_init(argv[1], argv[2]);
  if (office == nullptr) {
    answer({"error", std::string("LibreOffice could not be started from ") + argv[1]});
    return 1;
  }
  answer({"ready"});
  Worker worker(*office);
  char* buffer = nullptr;
  std::size_t capacity = 0;
  for (ssize_t n; (n = ::getline(&buffer, &capacity, requests)) > 0;) {
    const std::string line(buffer, static_cast<std::size_t>(n) - (buffer[n - 1] == '\n' ? 1 : 0));
    const std::vector<std::string> request = decodeWireLine(line);
    if (request[0] == "quit") {
      answer({"ok"});
      break;
    }
    if (request[0] == "shutdown") {
      // A full shutdown writes LibreOffice's settings back to the profile.
      delete office;
      answer({"ok"});
      break;
    }
    worker.serve(request);
  }
  // Tearing LibreOffice down takes longer than the process needs; the
  // documents are closed and nothing is left to save.
  std::fflush(stderr);
  _exit(0);
}
