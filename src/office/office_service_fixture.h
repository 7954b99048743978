// OfficeServiceTest: the fixture of the office service's tests. A stand-in
// worker script answers like morvane-office and logs every request, so
// that the service, its pool and its committer run with real processes
// and real files in a temporary folder, without LibreOffice.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "filelist/regular_files.h"
#include "office/office_script_service.h"
#include "office/wire_format.h"
#include "testing/temp_dir.h"

namespace morvane::testing {

namespace fs = std::filesystem;

inline std::string readFile(const fs::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The process is gone, or dead and waiting for its parent to reap it.
inline bool gone(const std::string& pid) {
  if (::kill(std::stoi(pid), 0) != 0) return true;
  const std::string stat = readFile("/proc/" + pid + "/stat");
  const std::size_t close = stat.rfind(')');
  return close != std::string::npos && stat.substr(close + 2, 1) == "Z";
}

// Every process listed in the file is gone within a few seconds. A SIGKILL
// sent to a group is delivered asynchronously: a grandchild that init
// inherits may still be on its way out when the service returns.
inline bool processGone(const fs::path& pidFile) {
  std::istringstream pids(readFile(pidFile));
  int count = 0;
  for (std::string pid; std::getline(pids, pid); ++count) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!gone(pid)) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  return count > 0;
}

inline std::string info(const ScriptError& error, const std::string& key) {
  for (const auto& [k, v] : error.info) {
    if (k == key) return v;
  }
  return "<none>";
}

// A stand-in for morvane-office: answers like the worker, logs every
// request, and on save behaves as `onSave` says (a shell fragment), on
// inspect as onInspect_ says. It
// loads .xlsx files as spreadsheets, .pptx as presentations, anything else
// as `kind`.
class OfficeServiceTest : public ::testing::Test {
 protected:
  void writeWorker(const std::string& onSave, const std::string& kind = "text",
                   const std::string& onStart = "") {
    const fs::path script = tmp_.path() / "worker.sh";
    std::ofstream(script) << "#!/bin/bash\n"
                          << "dir='" << tmp_.path().string() << "'\n"
                          << "echo $$ >> \"$dir/worker.pid\"\n"
                          << onStart << "\n"
                          << "echo \"start $2\" >> \"$dir/requests.log\"\n"
                          << "echo ready\n"
                          << "while IFS=$'\\t' read -r verb a b; do\n"
                          << "  echo \"$verb $a $b\" >> \"$dir/requests.log\"\n"
                          << "  case \"$verb\" in\n"
                          << "    load) case \"$a\" in *.xlsx) k=spreadsheet ;;"
                          << " *.pptx) k=presentation ;; *) k=" << kind << " ;; esac;"
                          << " echo -e \"ok\\t$k\" ;;\n"
                          << "    save) echo partial > \"$a\"; " << onSave << " ;;\n"
                          << "    inspect) " << onInspect_ << " ;;\n"
                          << "    quit|shutdown) echo ok; exit 0 ;;\n"
                          << "    *) echo ok ;;\n"
                          << "  esac\n"
                          << "done\n";
    fs::permissions(script, fs::perms::owner_all);
    config_.workerPath = script.string();
  }

  bool run(const std::string& text) {
    OfficeScriptService service(config_);
    std::unique_ptr<Script> script = service.create(text, &error_);
    if (!script) return false;
    written_.clear();
    script->reportWrittenFiles([this](const std::string& path) {
      std::lock_guard lock(writtenMutex_);
      written_.push_back(fs::path(path).filename().string());
    });
    return script->execute(&error_);
  }

  std::string block(const std::string& app, const std::string& body) {
    return "tell application \"/Applications/" + app + ".app\"\n" + body + "end tell\n";
  }

  std::string exportPdf() {
    source_ = tmp_.write("in.docx").string();
    target_ = (tmp_.path() / "out" / "in.pdf").string();
    fs::create_directories(tmp_.path() / "out");
    return "  activate\n  open POSIX file \"" + source_ + "\"\n"
           "  export document 1 to POSIX file \"" + target_ + "\" as PDF\n"
           "  close document 1\n  quit\n";
  }

  // The statements of documents named `names` (made as NAME.docx, or
  // with the extension `ext`), each exported to out/NAME.pdf.
  std::string documentBlocks(const std::vector<std::string>& names,
                             const std::string& ext = ".docx") {
    std::string body;
    for (const std::string& n : names) {
      body += "  activate\n  open POSIX file \"" + tmp_.write(n + ext).string() + "\"\n"
              "  export document 1 to POSIX file \"" + (tmp_.path() / "out" / n).string() +
              ".pdf\" as PDF\n  close document 1\n";
    }
    return body;
  }

  // "doc1" … "docN", or "doc01" … with `padded`.
  static std::vector<std::string> docNames(int count, bool padded = false) {
    std::vector<std::string> names;
    for (int i = 1; i <= count; ++i) {
      names.push_back("doc" + std::string(padded && i < 10 ? "0" : "") + std::to_string(i));
    }
    return names;
  }

  std::vector<std::string> requests() {
    std::vector<std::string> lines;
    std::ifstream in(tmp_.path() / "requests.log");
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  long countRequests(const std::string& verb) {
    const std::vector<std::string> log = requests();
    return std::count_if(log.begin(), log.end(),
                         [&](const std::string& l) { return l.starts_with(verb + " "); });
  }

  std::vector<std::string> outFiles() {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(tmp_.path() / "out")) {
      names.push_back(e.path().filename().string());
    }
    return names;
  }

  TempDir tmp_;
  static OfficeConfig standInConfig() {
    OfficeConfig config;
    config.installPath = "/nowhere/program";
    config.statementLimit = std::chrono::seconds(20);
    return config;
  }
  OfficeConfig config_ = standInConfig();
  std::mutex writtenMutex_;
  std::vector<std::string> written_;  // file names told as written
  ScriptError error_;
  std::string source_, target_;
  std::string onInspect_ = "echo ok";
};

}  // namespace morvane::testing
