// morvane-office: the worker behind one tell block. It starts LibreOffice
// in-process through LibreOfficeKit once, answers "ready", then serves
// requests on standard input, one line each (see wire_format.h):
//   load PATH          -> ok KIND   (text, spreadsheet, presentation, ...)
//   save PATH FORMAT   -> ok        (writes document 1 in FORMAT: pdf, docx, ...)
//   close              -> ok        (closes document 1)
//   quit               -> ok, then exits at once
//   shutdown           -> shuts LibreOffice down (writing its settings), ok, exits
// A failure answers "error MESSAGE". Usage: morvane-office PROGRAM_DIR PROFILE_URL
#define LOK_USE_UNSTABLE_API
#include <LibreOfficeKit/LibreOfficeKit.hxx>
#include <LibreOfficeKit/LibreOfficeKitInit.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "filelist/regular_files.h"
#include "office/wire_format.h"

namespace {

using morvane::decodeWireLine;
using morvane::encodeWireLine;
using morvane::fileUrlFromPath;

int protocolFd = -1;

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

class Worker {
 public:
  explicit Worker(lok::Office& office) : office_(office) {}

  void serve(const std::vector<std::string>& request) {
    const std::string& verb = request[0];
    if (verb == "load" && request.size() == 2) return load(request[1]);
    if (verb == "save" && request.size() == 3) return save(request[1], request[2]);
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
  // Answers go to the original standard output; whatever LibreOffice
  // prints itself goes to standard error.
  protocolFd = ::dup(STDOUT_FILENO);
  ::dup2(STDERR_FILENO, STDOUT_FILENO);

  lok::Office* office = lok::lok_cpp_init(argv[1], argv[2]);
  if (office == nullptr) {
    answer({"error", std::string("LibreOffice could not be started from ") + argv[1]});
    return 1;
  }
  answer({"ready"});
  Worker worker(*office);
  std::string line;
  while (std::getline(std::cin, line)) {
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
