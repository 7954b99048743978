#include "office/office_script_service.h"

#include <mutex>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "filelist/regular_files.h"
#include "testing/fault_injection_env.h"
#include "testing/processes.h"
#include "testing/temp_dir.h"

namespace morvane {
namespace {

using testing::TempDir;
namespace fs = std::filesystem;

std::string readFile(const fs::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The process is gone, or dead and waiting for its parent to reap it.
bool gone(const std::string& pid) {
  if (::kill(std::stoi(pid), 0) != 0) return true;
  const std::string stat = readFile("/proc/" + pid + "/stat");
  const std::size_t close = stat.rfind(')');
  return close != std::string::npos && stat.substr(close + 2, 1) == "Z";
}

// Every process listed in the file is gone within a few seconds. A SIGKILL
// sent to a group is delivered asynchronously: a grandchild that init
// inherits may still be on its way out when the service returns.
bool processGone(const fs::path& pidFile) {
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

std::string info(const ScriptError& error, const std::string& key) {
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

TEST_F(OfficeServiceTest, ExportsThroughATemporaryFileAndQuits) {
  writeWorker("echo ok");
  ASSERT_TRUE(run(block("Pages", exportPdf()))) << error_.description();
  EXPECT_EQ(readFile(target_), "partial\n");
  EXPECT_EQ(outFiles(), std::vector<std::string>{"in.pdf"});
  const std::vector<std::string> log = requests();
  ASSERT_EQ(log.size(), 5u);
  EXPECT_TRUE(log[0].starts_with("start " + fileUrlFromPath(workerFolderRoot().string())));
  EXPECT_EQ(log[1], "load " + source_ + " ");
  EXPECT_TRUE(log[2].starts_with("save " + tmp_.path().string() + "/out/.in.pdf.morvane-"));
  EXPECT_TRUE(log[2].ends_with(".part pdf"));
  EXPECT_EQ(log[3], "close  ");
  EXPECT_EQ(log[4], "quit  ");
  EXPECT_TRUE(processGone(tmp_.path() / "worker.pid"));
  // The worker's temporary profile folder is gone with it.
  const std::string profileUrl = log[0].substr(6);
  EXPECT_FALSE(fs::exists(fs::path(profileUrl.substr(7)).parent_path()));
}

TEST_F(OfficeServiceTest, CrashingWorkerBecomesTheStatementsError) {
  writeWorker("kill -SEGV $$");
  const std::string second = block("Numbers", "  activate\n  quit\n");
  ASSERT_FALSE(run(block("Pages", exportPdf()) + second));
  EXPECT_EQ(info(error_, "application"), "Pages");
  EXPECT_EQ(info(error_, "statement"), "export document 1 to POSIX file \"" + target_ + "\" as PDF");
  EXPECT_EQ(info(error_, "line"), "4");
  EXPECT_EQ(info(error_, "document"), source_);
  EXPECT_EQ(info(error_, "message"), "LibreOffice crashed on this document");
  EXPECT_NE(info(error_, "details").find("stopped unexpectedly (killed by signal 11"),
            std::string::npos)
      << info(error_, "details");
  EXPECT_TRUE(outFiles().empty());
  EXPECT_TRUE(processGone(tmp_.path() / "worker.pid"));
  EXPECT_EQ(requests().size(), 3u);  // start, load, save: no close, no quit, no second block
  EXPECT_NE(error_.description().find("application = \"Pages\";"), std::string::npos);
}

// A worker that aborts on a document, as LibreOffice does when it fails an
// assertion: the user reads that LibreOffice crashed on the document; the
// signal and the worker's last words go to the details, which the error's
// description (the error report, the log) holds.
TEST_F(OfficeServiceTest, AnAbortedWorkerIsACrashOnTheDocument) {
  writeWorker("echo '/lib/x86_64-linux-gnu/libc.so.6(+0x1098ec)' >&2; kill -ABRT $$");
  ASSERT_FALSE(run(block("Pages", exportPdf())));
  EXPECT_EQ(info(error_, "document"), source_);
  EXPECT_EQ(info(error_, "message"), "LibreOffice crashed on this document");
  EXPECT_EQ(info(error_, "details"),
            "the LibreOffice worker stopped unexpectedly (killed by signal 6 (Aborted)); its last "
            "message: /lib/x86_64-linux-gnu/libc.so.6(+0x1098ec)");
  EXPECT_NE(error_.description().find("details = \"the LibreOffice worker stopped"),
            std::string::npos)
      << error_.description();
  EXPECT_TRUE(processGone(tmp_.path() / "worker.pid"));
}

TEST_F(OfficeServiceTest, HangingWorkerIsEndedAtTheTimeLimit) {
  // The child starts before the worker says ready, so its pid is on record
  // whenever the limit strikes.
  writeWorker("wait $child", "text", "sleep 600 & child=$!; echo $child > \"$dir/sleep.pid\"");
  config_.statementLimit = std::chrono::milliseconds(1500);
  ASSERT_FALSE(run(block("Pages", exportPdf())));
  EXPECT_EQ(info(error_, "message"), "it took longer than the time limit of 1500 ms");
  EXPECT_EQ(info(error_, "details"),
            "LibreOffice gave no answer within 1500 ms; the worker was ended");
  EXPECT_EQ(info(error_, "line"), "4");
  EXPECT_TRUE(outFiles().empty());
  EXPECT_TRUE(processGone(tmp_.path() / "worker.pid"));
  EXPECT_TRUE(processGone(tmp_.path() / "sleep.pid"));
}

TEST_F(OfficeServiceTest, WorkerErrorsAndKindsAreReported) {
  writeWorker("echo -e 'error\\tLibreOffice could not write pdf: disk full'");
  ASSERT_FALSE(run(block("Pages", exportPdf())));
  EXPECT_EQ(info(error_, "message"), "LibreOffice could not write pdf: disk full");
  EXPECT_TRUE(outFiles().empty());
  EXPECT_TRUE(processGone(tmp_.path() / "worker.pid"));

  writeWorker("echo ok", "spreadsheet");
  ASSERT_FALSE(run(block("Keynote Creator Studio", exportPdf())));
  EXPECT_EQ(info(error_, "message"), "this .docx file is a spreadsheet, not a presentation");
  EXPECT_EQ(info(error_, "details"),
            "Keynote Creator Studio opens presentation documents, but LibreOffice read this one as "
            "a spreadsheet");
  EXPECT_EQ(info(error_, "document"), source_);
}

// The container check runs in the worker: whatever ends the worker while
// it checks a document is the document's doing, and is said so, never put
// on LibreOffice.
TEST_F(OfficeServiceTest, AFailedCheckCallsTheDocumentDamaged) {
  const std::string pages = tmp_.write("a.pages", "x").string();
  const std::string body = "  open POSIX file \"" + pages + "\"\n  close document 1\n";
  config_.statementLimit = std::chrono::seconds(1);
  config_.workerMemoryCap = 64 << 20;
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"echo -e \"error\\tits index is missing\"",
       "this is not a readable Pages document: its index is missing"},
      {"kill -SEGV $$",
       "this Pages document is damaged: checking it crashed"},
      {"sleep 5", "this Pages document is damaged: checking it took longer than 1 s"},
      {"s=$(head -c 400000000 /dev/zero | tr '\\0' x); echo ok",
       "this Pages document is damaged: checking it needs more memory than the 64 MB allowed per "
       "document"},
  };
  for (const auto& [behaviour, message] : cases) {
    onInspect_ = behaviour;
    writeWorker("echo ok");
    ASSERT_FALSE(run(block("Pages", body))) << behaviour;
    EXPECT_EQ(info(error_, "message"), message);
    EXPECT_EQ(info(error_, "document"), pages);
  }
  EXPECT_TRUE(processGone(tmp_.path() / "worker.pid"));
}

TEST_F(OfficeServiceTest, SavingInAnIworkFormatFailsClearly) {
  writeWorker("echo ok");
  const std::string target = (tmp_.path() / "out/a.pages").string();
  fs::create_directories(tmp_.path() / "out");
  ASSERT_FALSE(run(block("Pages", "  open POSIX file \"" + tmp_.write("a.docx").string() +
                                      "\"\n  save document 1 in POSIX file \"" + target +
                                      "\"\n  close document 1\n")));
  EXPECT_EQ(info(error_, "message"), "LibreOffice reads Pages documents but cannot write them; " +
                                         target + " was not written");
  EXPECT_TRUE(outFiles().empty());
  for (const std::string& r : requests()) EXPECT_FALSE(r.starts_with("save")) << r;
}

TEST_F(OfficeServiceTest, UnknownApplicationsTextsAndWorkers) {
  writeWorker("echo ok");
  ASSERT_FALSE(run(block("TextEdit", "  activate\n")));
  EXPECT_EQ(info(error_, "message"), "application \"TextEdit\" can't be found");
  EXPECT_TRUE(requests().empty());

  OfficeScriptService service(config_);
  EXPECT_EQ(service.create("tell application \"Pages\"\n  delete document 1\nend tell\n", &error_),
            nullptr);
  EXPECT_EQ(info(error_, "message"),
            "the script cannot be run: line 2: unknown statement: delete document 1");

  config_.workerPath = (tmp_.path() / "missing-worker").string();
  ASSERT_FALSE(run(block("Pages", "  activate\n")));
  EXPECT_NE(info(error_, "message").find("cannot start"), std::string::npos);
}

TEST_F(OfficeServiceTest, SharedWorkersCommitInScriptOrderUpToTheFailure) {
  config_.workers = 2;
  writeWorker("case \"$a\" in *doc2*) kill -SEGV $$ ;; *) echo ok ;; esac");
  fs::create_directories(tmp_.path() / "out");
  const std::string body = documentBlocks(docNames(4));
  ASSERT_FALSE(run(block("Pages", body + "  quit\n")));
  EXPECT_EQ(info(error_, "document"), (tmp_.path() / "doc2.docx").string());
  EXPECT_EQ(info(error_, "line"), "8");
  // doc1 was written; doc3 and doc4 may have been converted meanwhile by
  // the other worker, but nothing after the failure lands, and only what
  // landed is told as written.
  EXPECT_EQ(outFiles(), std::vector<std::string>{"doc1.pdf"});
  EXPECT_EQ(written_, std::vector<std::string>{"doc1.pdf"});
  EXPECT_TRUE(processGone(tmp_.path() / "worker.pid"));

  writeWorker("echo ok");
  fs::remove_all(tmp_.path() / "out");
  fs::create_directories(tmp_.path() / "out");
  fs::remove(tmp_.path() / "requests.log");
  ASSERT_TRUE(run(block("Pages", body + "  quit\n"))) << error_.description();
  std::vector<std::string> files = outFiles();
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::string>{"doc1.pdf", "doc2.pdf", "doc3.pdf", "doc4.pdf"}));
  EXPECT_EQ(written_, files);  // told in script order, as they land
  const std::vector<std::string> log = requests();
  EXPECT_EQ(std::count_if(log.begin(), log.end(), [](auto& l) { return l.starts_with("start"); }), 2);
  EXPECT_EQ(std::count_if(log.begin(), log.end(), [](auto& l) { return l.starts_with("quit"); }), 2);
  EXPECT_TRUE(processGone(tmp_.path() / "worker.pid"));
}

// Workers of one run exporting to one target, a commit that fails, and a
// target whose name leaves no room for a longer temporary name.
TEST_F(OfficeServiceTest, TemporaryNamesNeverCollideAndFailedCommitsNameTheirExport) {
  config_.workers = 2;
  writeWorker("sleep 0.2; echo ok");
  fs::create_directories(tmp_.path() / "out");
  const auto documentBlock = [&](const std::string& source, const std::string& target) {
    return "  activate\n  open POSIX file \"" + tmp_.write(source).string() + "\"\n"
           "  export document 1 to POSIX file \"" + (tmp_.path() / "out" / target).string() +
           "\" as PDF\n  close document 1\n";
  };
  const std::string same = documentBlock("A/Notes.docx", "Notes.pdf") +
                           documentBlock("B/Notes.docx", "Notes.pdf");
  ASSERT_TRUE(run(block("Pages", same + "  quit\n"))) << error_.description();
  EXPECT_EQ(outFiles(), std::vector<std::string>{"Notes.pdf"});

  fs::create_directories(tmp_.path() / "out/taken.pdf/inside");  // no file can replace it
  const std::string failing = documentBlock("c.docx", "c.pdf") + documentBlock("d.docx", "taken.pdf");
  ASSERT_FALSE(run(block("Pages", failing + "  quit\n")));
  EXPECT_EQ(info(error_, "statement"),
            "export document 1 to POSIX file \"" + (tmp_.path() / "out/taken.pdf").string() + "\" as PDF");
  EXPECT_EQ(info(error_, "document"), (tmp_.path() / "d.docx").string());
  EXPECT_EQ(info(error_, "line"), "8");
  fs::remove_all(tmp_.path() / "out/taken.pdf");
  fs::remove(tmp_.path() / "out/c.pdf");

  const std::string longName = std::string(250, 'n') + ".pdf";
  ASSERT_TRUE(run(block("Pages", documentBlock("e.docx", longName) + "  quit\n")))
      << error_.description();
  std::vector<std::string> files = outFiles();
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::string>{"Notes.pdf", longName}));
}

// Faults of the file system, injected: each export fault gives one error
// naming the document and leaves no partial file; a cache folder that
// cannot be written only costs the profile template.
TEST_F(OfficeServiceTest, InjectedFaultsNameTheDocumentAndLeaveNoPartialFile) {
  using Op = testing::FaultInjectionEnv::Op;
  testing::FaultInjectionEnv env;
  config_.env = &env;
  writeWorker("echo ok");
  env.fail(Op::rename, "/out/in.pdf", EIO);
  ASSERT_FALSE(run(block("Pages", exportPdf())));
  EXPECT_EQ(info(error_, "document"), source_);
  EXPECT_EQ(info(error_, "message"), "cannot write " + target_ + ": Input/output error");
  EXPECT_TRUE(outFiles().empty());
  EXPECT_EQ(env.failures().size(), 1u);

  // The target folder vanishes while the document is exported.
  config_.env = nullptr;
  writeWorker("rm -rf \"$(dirname \"$a\")\"; echo ok");
  ASSERT_FALSE(run(block("Pages", exportPdf())));
  EXPECT_EQ(info(error_, "document"), source_);
  EXPECT_EQ(info(error_, "message"), "the target folder " + (tmp_.path() / "out").string() +
                                         " was removed during the run; " + target_ +
                                         " was not written");
  EXPECT_FALSE(fs::exists(tmp_.path() / "out"));

  // A cache folder that cannot be written or is full: the run goes on
  // without a template and leaves nothing there.
  writeWorker("echo ok");
  for (const auto& [op, err] : {std::pair{Op::createDirectories, EACCES}, {Op::write, ENOSPC}}) {
    testing::FaultInjectionEnv cacheEnv;
    cacheEnv.fail(op, "cache", err);
    config_.env = &cacheEnv;
    config_.profileTemplate = (tmp_.path() / "cache/morvane/profile").string();
    fs::create_directories(tmp_.path() / "cache");
    ASSERT_TRUE(run(block("Pages", exportPdf()))) << error_.description();
    EXPECT_FALSE(cacheEnv.failures().empty());
    for (const auto& e : fs::recursive_directory_iterator(tmp_.path() / "cache")) {
      EXPECT_TRUE(e.is_directory() || e.path().filename() == "profile.lock") << e.path();
    }
    fs::remove_all(tmp_.path() / "cache");
  }
}

// The target folder removed while a run goes on is never made again: the
// export that finds it gone fails naming it, and so does every later one
// of a run that goes on after failures, with one worker or two; what
// landed before is told as written.
TEST_F(OfficeServiceTest, ATargetFolderRemovedDuringTheRunIsNeverMadeAgain) {
  using Op = testing::FaultInjectionEnv::Op;
  const fs::path out = tmp_.path() / "out";
  const auto gone = [&](const std::string& name) {
    return "the target folder " + out.string() + " was removed during the run; " +
           (out / name).string() + ".pdf was not written";
  };
  writeWorker("echo ok");
  for (std::size_t workers : {1u, 2u}) {
    for (bool keepGoing : {false, true}) {
      config_.workers = workers;
      testing::FaultInjectionEnv env;
      config_.env = &env;
      fs::create_directories(out);
      env.removeBefore(Op::rename, "/out/doc2.pdf", out);
      OfficeScriptService service(config_);
      error_ = {};
      std::unique_ptr<Script> script =
          service.create(block("Pages", documentBlocks(docNames(4)) + "  quit\n"), &error_);
      if (keepGoing) script->continueAfterFailures();
      written_.clear();
      script->reportWrittenFiles([this](const std::string& path) {
        std::lock_guard lock(writtenMutex_);
        written_.push_back(fs::path(path).filename().string());
      });
      const std::string label = std::to_string(workers) + (keepGoing ? " going on" : "");
      ASSERT_FALSE(script->execute(&error_)) << label;
      EXPECT_EQ(info(error_, "document"), (tmp_.path() / "doc2.docx").string()) << label;
      EXPECT_EQ(info(error_, "message"), gone("doc2")) << label;
      if (keepGoing) {
        ASSERT_EQ(error_.failedDocuments.size(), 3u) << label;
        EXPECT_EQ(error_.failedDocuments[2].document, (tmp_.path() / "doc4.docx").string());
        EXPECT_EQ(error_.failedDocuments[2].reason.sentence, gone("doc4"));
      }
      EXPECT_EQ(error_.converted, 1u) << label;
      EXPECT_EQ(written_, std::vector<std::string>{"doc1.pdf"}) << label;
      EXPECT_FALSE(fs::exists(out)) << label;
    }
  }
  config_.env = nullptr;
}

// LibreOffice makes a missing folder again when it saves into it: the
// export into the new folder, and every later one into it, fail naming
// the folder, and nothing of theirs is left there.
TEST_F(OfficeServiceTest, AnExportIntoATargetFolderMadeAgainFails) {
  const fs::path out = tmp_.path() / "out";
  config_.workers = 1;
  writeWorker("case \"$a\" in */.doc2.pdf.*) rm -rf \"$(dirname \"$a\")\";"
              " mkdir \"$(dirname \"$a\")\"; echo partial > \"$a\" ;; esac; echo ok");
  fs::create_directories(out);
  OfficeScriptService service(config_);
  std::unique_ptr<Script> script =
      service.create(block("Pages", documentBlocks(docNames(3)) + "  quit\n"), &error_);
  script->continueAfterFailures();
  ASSERT_FALSE(script->execute(&error_));
  ASSERT_EQ(error_.failedDocuments.size(), 2u);
  for (const auto& [document, why] : error_.failedDocuments) {
    const std::string& reason = why.sentence;
    EXPECT_NE(reason.find("the target folder " + out.string() +
                          " was removed during the run and another one made in its place"),
              std::string::npos)
        << document << ": " << reason;
  }
  EXPECT_EQ(error_.converted, 1u);
  EXPECT_TRUE(outFiles().empty());
}

// An export counts only once it is on the disk: the file is flushed before
// it is renamed into place and its folder after. A flush that fails ends
// the export with the reason and leaves no partial file.
TEST_F(OfficeServiceTest, ExportsAreFlushedBeforeTheyCountAndAFailedFlushLeavesNothing) {
  using Op = testing::FaultInjectionEnv::Op;
  writeWorker("echo ok");
  {
    testing::FaultInjectionEnv env;
    config_.env = &env;
    ASSERT_TRUE(run(block("Pages", exportPdf()))) << error_.description();
    const std::string out = (tmp_.path() / "out").string();
    std::vector<std::string> steps;
    for (const std::string& step : env.steps()) {
      if (step.find(out) != std::string::npos) steps.push_back(step);
    }
    ASSERT_EQ(steps.size(), 3u) << ::testing::PrintToString(env.steps());
    EXPECT_TRUE(steps[0].starts_with("syncFile " + out + "/.in.pdf.")) << steps[0];
    EXPECT_EQ(steps[1], "rename " + target_);
    EXPECT_EQ(steps[2], "syncFolder " + out);
    EXPECT_EQ(written_, std::vector<std::string>{"in.pdf"});
    fs::remove(target_);
  }
  testing::FaultInjectionEnv env;
  config_.env = &env;
  env.fail(Op::syncFile, "/out/.in.pdf", EIO);
  ASSERT_FALSE(run(block("Pages", exportPdf())));
  EXPECT_EQ(info(error_, "document"), source_);
  EXPECT_EQ(info(error_, "message"),
            "cannot write " + target_ +
                ": it could not be flushed to the disk: Input/output error");
  EXPECT_TRUE(outFiles().empty());
  EXPECT_TRUE(written_.empty());

  testing::FaultInjectionEnv folderEnv;
  config_.env = &folderEnv;
  folderEnv.fail(Op::syncFolder, "/out", EIO);
  ASSERT_FALSE(run(block("Pages", exportPdf())));
  EXPECT_EQ(info(error_, "message"), "cannot write " + target_ +
                                         ": its folder could not be flushed to the disk: "
                                         "Input/output error");
  EXPECT_EQ(outFiles(), std::vector<std::string>{"in.pdf"});  // no partial file beside it
  EXPECT_TRUE(written_.empty());
  config_.env = nullptr;
}

// Each worker starts on a copy of the template with its own settings in
// place of the template's: no lock files, no sidebar, status bar or menu
// bar (LibreOffice would build them for every document).
TEST_F(OfficeServiceTest, WorkersStartWithoutLockingSidebarStatusOrMenuBar) {
  const fs::path profile = tmp_.path() / "template";
  tmp_.write("template/.morvane-profile-5", "ok\n");
  tmp_.write("template/user/registrymodifications.xcu",
             "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<oor:items>\n"
             "<item oor:path=\"/org.openoffice.Setup/L10N\"><prop oor:name=\"ooLocale\"/></item>\n"
             "<item oor:path=\"/org.openoffice.Office.Views/Windows/org.openoffice.Office.Views:"
             "WindowType['swriter/10336']/UserData\"><value>V2,V,0,AL:(16,5)</value></item>\n"
             "</oor:items>\n");
  config_.profileTemplate = profile.string();
  writeWorker("echo ok", "text",
              "p=\"${2#file://}\"; cp \"$p/user/registrymodifications.xcu\" \"$dir/settings.xcu\"; "
              "cp \"$p/user/config/soffice.cfg/modules/simpress/menubar/menubar.xml\" \"$dir/menubar.xml\"");
  ASSERT_TRUE(run(block("Pages", exportPdf()))) << error_.description();
  const std::string settings = readFile(tmp_.path() / "settings.xcu");
  EXPECT_NE(settings.find("org.openoffice.Setup/L10N"), std::string::npos);  // kept
  EXPECT_EQ(settings.find("V2,V,0"), std::string::npos);  // the sidebar shown, replaced
  EXPECT_NE(settings.find("<node oor:name=\"swriter/10336\" oor:op=\"replace\"><prop oor:name="
                          "\"Visible\" oor:op=\"fuse\"><value>false</value>"),
            std::string::npos);
  EXPECT_NE(settings.find("oor:name=\"UseLocking\" oor:op=\"fuse\"><value>false</value>"),
            std::string::npos);
  EXPECT_NE(settings.find("CalcWindowState/UIElements/States\"><node oor:name=\"private:resource/"
                          "statusbar/statusbar\""),
            std::string::npos);
  EXPECT_TRUE(settings.ends_with("</oor:items>\n"));
  EXPECT_NE(readFile(tmp_.path() / "menubar.xml").find("menu:id=\"menubar\"/>"), std::string::npos);
}

// A worker that dies while it starts, before the document is opened: the
// error still names the document it was starting for.
TEST_F(OfficeServiceTest, AWorkerLostAtItsStartNamesTheDocumentItWasFor) {
  writeWorker("echo ok", "text", "exit 3");
  ASSERT_FALSE(run(block("Pages", exportPdf())));
  EXPECT_EQ(info(error_, "statement"), "activate");
  EXPECT_EQ(info(error_, "document"), source_);
}

// Exports land as soon as they and every earlier document are done; a
// cancel from another thread ends the workers at once and keeps what
// landed, with nothing half-written and no worker left.
TEST_F(OfficeServiceTest, ExportsLandAsTheyFinishAndACancelKeepsThem) {
  config_.workers = 2;
  writeWorker("sleep 0.3; echo ok");
  fs::create_directories(tmp_.path() / "out");
  const std::string body = documentBlocks(docNames(12, true));
  OfficeScriptService service(config_);
  std::unique_ptr<Script> script = service.create(block("Pages", body + "  quit\n"), &error_);
  ASSERT_TRUE(script);
  bool executed = true;
  std::thread running([&] { executed = script->execute(&error_); });
  const auto landed = [&] {
    std::vector<std::string> files = outFiles();
    std::erase_if(files, [](const std::string& f) { return f.starts_with("."); });
    return files.size();
  };
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (landed() < 2 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_GE(landed(), 2u) << "nothing landed while the run went on";
  script->cancel();
  running.join();
  EXPECT_FALSE(executed);
  EXPECT_TRUE(error_.cancelled);
  std::vector<std::string> files = outFiles();
  std::sort(files.begin(), files.end());
  ASSERT_GE(files.size(), 2u);
  ASSERT_LT(files.size(), 12u);
  for (std::size_t i = 0; i < files.size(); ++i) {  // a prefix, and nothing hidden
    EXPECT_EQ(files[i], "doc" + std::string(i < 9 ? "0" : "") + std::to_string(i + 1) + ".pdf");
  }
  EXPECT_EQ(error_.converted, files.size());
  EXPECT_TRUE(processGone(tmp_.path() / "worker.pid"));
}

// Told to go on after a failed document, a run converts every other one,
// with one worker or two, and ends listing the failed ones in order.
TEST_F(OfficeServiceTest, ARunThatGoesOnAfterFailuresListsThemAtTheEnd) {
  for (std::size_t workers : {1u, 2u}) {
    config_.workers = workers;
    writeWorker("case \"$a\" in *doc2*) kill -SEGV $$ ;; *doc4*) echo -e 'error\tdisk trouble' ;;"
                " *) echo ok ;; esac");
    fs::remove_all(tmp_.path() / "out");
    fs::create_directories(tmp_.path() / "out");
    const std::string body = documentBlocks(docNames(5));
    OfficeScriptService service(config_);
    error_ = {};
    std::unique_ptr<Script> script = service.create(block("Pages", body + "  quit\n"), &error_);
    script->continueAfterFailures();
    ASSERT_FALSE(script->execute(&error_)) << workers;
    ASSERT_EQ(error_.failedDocuments.size(), 2u) << workers;
    EXPECT_EQ(error_.failedDocuments[0].document, (tmp_.path() / "doc2.docx").string());
    EXPECT_EQ(error_.failedDocuments[1].document, (tmp_.path() / "doc4.docx").string());
    EXPECT_EQ(error_.failedDocuments[1].reason.sentence, "disk trouble");
    // The words behind each reason, for the error report.
    EXPECT_NE(error_.failedDocuments[0].reason.details.find("killed by signal 11"),
              std::string::npos)
        << error_.failedDocuments[0].reason.details;
    EXPECT_EQ(error_.failedDocuments[1].reason.details, "");
    EXPECT_EQ(error_.converted, 3u);
    std::vector<std::string> files = outFiles();
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"doc1.pdf", "doc3.pdf", "doc5.pdf"})) << workers;
    EXPECT_TRUE(processGone(tmp_.path() / "worker.pid"));
  }
}

TEST_F(OfficeServiceTest, EmptyScriptSucceedsAndReportsProgress) {
  writeWorker("echo ok");
  std::vector<std::string> seen;
  OfficeScriptService service(config_, [&](const ScriptProgress& p) {
    seen.push_back(std::to_string(p.done) + "/" + std::to_string(p.total) + " " + p.statement);
  });
  ScriptError error;
  EXPECT_TRUE(service.create("", &error)->execute(&error));
  EXPECT_TRUE(service.create(block("Numbers", "  activate\n  quit\n"), &error)->execute(&error));
  EXPECT_EQ(seen, (std::vector<std::string>{"0/2 activate", "1/2 quit"}));
}

// The documents of all blocks form one queue for one pool of workers; the
// commits still follow the script across blocks: a later block's failure
// keeps everything before it, an earlier one's lets nothing after it land.
TEST_F(OfficeServiceTest, OnePoolServesEveryBlockAndCommitsInScriptOrder) {
  config_.workers = 2;
  writeWorker("echo ok");
  fs::create_directories(tmp_.path() / "out");
  const std::string script =
      block("Pages", documentBlocks({"p1", "p2", "p3"}) + "  quit\n") +
      block("Numbers", documentBlocks({"n1", "n2", "n3"}, ".xlsx") + "  quit\n") +
      block("Keynote", documentBlocks({"k1", "k2"}, ".pptx") + "  quit\n");
  std::vector<std::string> told;
  OfficeScriptService service(config_, [&](const ScriptProgress& p) {
    told.push_back(std::to_string(p.done) + "/" + std::to_string(p.total));
  });
  std::unique_ptr<Script> run = service.create(script, &error_);
  ASSERT_TRUE(run->execute(&error_)) << error_.description();
  std::vector<std::string> files = outFiles();
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::string>{"k1.pdf", "k2.pdf", "n1.pdf", "n2.pdf", "n3.pdf",
                                             "p1.pdf", "p2.pdf", "p3.pdf"}));
  EXPECT_EQ(countRequests("start"), 2);  // not two for each block
  EXPECT_EQ(countRequests("quit"), 2);
  ASSERT_FALSE(told.empty());
  EXPECT_EQ(told.back().substr(told.back().find('/')), "/35");
  EXPECT_TRUE(processGone(tmp_.path() / "worker.pid"));

  const auto failing = [&](const std::string& name, bool keepGoing) {
    writeWorker("case \"$a\" in *" + name + "*) kill -SEGV $$ ;; *) echo ok ;; esac");
    fs::remove_all(tmp_.path() / "out");
    fs::create_directories(tmp_.path() / "out");
    error_ = {};
    std::unique_ptr<Script> s = OfficeScriptService(config_).create(script, &error_);
    if (keepGoing) s->continueAfterFailures();
    EXPECT_FALSE(s->execute(&error_));
    std::vector<std::string> landed = outFiles();
    std::sort(landed.begin(), landed.end());
    EXPECT_TRUE(processGone(tmp_.path() / "worker.pid"));
    return landed;
  };
  EXPECT_EQ(failing("n2", false),
            (std::vector<std::string>{"n1.pdf", "p1.pdf", "p2.pdf", "p3.pdf"}));
  EXPECT_EQ(info(error_, "application"), "Numbers");
  EXPECT_EQ(info(error_, "document"), (tmp_.path() / "n2.xlsx").string());
  EXPECT_EQ(info(error_, "line"), "23");
  EXPECT_EQ(error_.converted, 4u);
  EXPECT_EQ(failing("p2", false), std::vector<std::string>{"p1.pdf"});
  EXPECT_EQ(info(error_, "application"), "Pages");
  EXPECT_EQ(failing("n2", true), (std::vector<std::string>{"k1.pdf", "k2.pdf", "n1.pdf", "n3.pdf",
                                                           "p1.pdf", "p2.pdf", "p3.pdf"}));
  ASSERT_EQ(error_.failedDocuments.size(), 1u);
  EXPECT_EQ(error_.failedDocuments[0].document, (tmp_.path() / "n2.xlsx").string());
  EXPECT_EQ(error_.converted, 7u);
}

// A worker that has served its share of documents, or holds more memory
// than allowed, is replaced between documents; nothing else shows.
TEST_F(OfficeServiceTest, AWorkerIsReplacedAfterItsDocumentsOrItsMemory) {
  writeWorker("echo ok");
  fs::create_directories(tmp_.path() / "out");
  config_.documentsPerWorker = 2;
  ASSERT_TRUE(run(block("Pages", documentBlocks(docNames(5)) + "  quit\n")))
      << error_.description();
  EXPECT_EQ(outFiles().size(), 5u);
  EXPECT_EQ(countRequests("start"), 3);  // 2 + 2 + 1 documents
  EXPECT_EQ(countRequests("quit"), 3);
  EXPECT_TRUE(processGone(tmp_.path() / "worker.pid"));

  fs::remove(tmp_.path() / "requests.log");
  config_.documentsPerWorker = 0;
  config_.workerMemoryLimit = 1;  // any process holds more
  ASSERT_TRUE(run(block("Pages", documentBlocks(docNames(3)) + "  quit\n")))
      << error_.description();
  EXPECT_EQ(countRequests("start"), 3);
  EXPECT_EQ(countRequests("load"), 3);

  fs::remove(tmp_.path() / "requests.log");
  config_.workerMemoryLimit = std::uint64_t{1} << 40;
  ASSERT_TRUE(run(block("Pages", documentBlocks(docNames(3)) + "  quit\n")))
      << error_.description();
  EXPECT_EQ(countRequests("start"), 1);
}

// Executes `script` on a thread of its own and cancels it once `ready`
// holds (looked at for up to 30 s). Returns whether the execution then
// ended within `bound`; it is waited for in any case, `release` being
// called first when it did not end in time.
bool cancelEndsItWithin(Script& script, ScriptError* error, const std::function<bool()>& ready,
                        std::chrono::seconds bound, const std::function<void()>& release = {}) {
  std::atomic<bool> done{false};
  std::thread running([&] {
    script.execute(error);
    done = true;
  });
  for (auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
       !ready() && std::chrono::steady_clock::now() < deadline;) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  script.cancel();
  const auto deadline = std::chrono::steady_clock::now() + bound;
  while (!done && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  const bool ended = done;
  if (!ended && release) release();
  running.join();
  return ended;
}

// A cancel reaches a worker while it starts, before LibreOffice says it is
// ready, whether it is the run's own or the one making the profile template:
// the run ends cancelled at once, not at the statement limit.
TEST_F(OfficeServiceTest, ACancelEndsAWorkerThatIsStillStarting) {
  config_.statementLimit = std::chrono::seconds(120);
  writeWorker("echo ok", "text", "sleep 600");
  for (bool makesTemplate : {false, true}) {
    fs::remove(tmp_.path() / "worker.pid");
    config_.profileTemplate = makesTemplate ? (tmp_.path() / "cache" / "template").string() : "";
    OfficeScriptService service(config_);
    std::unique_ptr<Script> script = service.create(block("Pages", exportPdf()), &error_);
    ASSERT_TRUE(script);
    error_ = {};
    const auto started = [&] { return fs::exists(tmp_.path() / "worker.pid"); };
    EXPECT_TRUE(cancelEndsItWithin(*script, &error_, started, std::chrono::seconds(60)))
        << makesTemplate;
    EXPECT_TRUE(error_.cancelled) << makesTemplate << error_.description();
    EXPECT_TRUE(processGone(tmp_.path() / "worker.pid")) << makesTemplate;
    EXPECT_TRUE(outFiles().empty());
    EXPECT_FALSE(fs::exists(config_.profileTemplate + "/.morvane-profile-5"));
  }
}

// A worker that waits for another run to finish the profile template (its
// lock held) stops waiting when the run is cancelled, and starts nothing.
TEST_F(OfficeServiceTest, ACancelEndsTheWaitForTheProfileTemplate) {
  writeWorker("echo ok");
  config_.profileTemplate = (tmp_.path() / "template").string();
  const int lock = ::open((config_.profileTemplate + ".lock").c_str(),
                          O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_GE(lock, 0);
  ASSERT_EQ(::flock(lock, LOCK_EX), 0);  // another run builds the template
  OfficeScriptService service(config_);
  std::unique_ptr<Script> script = service.create(block("Pages", exportPdf()), &error_);
  ASSERT_TRUE(script);
  // Most likely waiting for the lock by then; a cancel before that ends the start too.
  const auto waiting = [start = std::chrono::steady_clock::now()] {
    return std::chrono::steady_clock::now() - start > std::chrono::milliseconds(300);
  };
  EXPECT_TRUE(cancelEndsItWithin(*script, &error_, waiting, std::chrono::seconds(60),
                                 [lock] { ::flock(lock, LOCK_UN); }));
  ::close(lock);
  EXPECT_TRUE(error_.cancelled) << error_.description();
  EXPECT_FALSE(fs::exists(tmp_.path() / "worker.pid"));  // no worker was started
}

// What a lane's thread throws (here the front end's callback for a written
// file, while the lane commits) ends the run as an error with the message,
// with every worker ended; nothing escapes the thread.
TEST_F(OfficeServiceTest, AnExceptionOnALaneEndsTheRunWithItsMessage) {
  config_.workers = 2;
  writeWorker("echo ok");
  fs::create_directories(tmp_.path() / "out");
  OfficeScriptService service(config_);
  std::unique_ptr<Script> script =
      service.create(block("Pages", documentBlocks(docNames(6)) + "  quit\n"), &error_);
  ASSERT_TRUE(script);
  script->reportWrittenFiles([](const std::string& path) {
    if (path.ends_with("doc2.pdf")) throw std::runtime_error("the status line broke");
  });
  EXPECT_FALSE(script->execute(&error_));
  EXPECT_FALSE(error_.cancelled);
  EXPECT_EQ(info(error_, "message"),
            "the conversion stopped on an unexpected error: the status line broke");
  EXPECT_EQ(error_.converted, 1u);  // doc1; doc2 landed, but was never counted
  EXPECT_TRUE(processGone(tmp_.path() / "worker.pid"));
  EXPECT_EQ(testing::childProcesses(), 0);
  for (const std::string& name : outFiles()) EXPECT_FALSE(name.starts_with(".")) << name;
}

// What the executing thread throws (here the progress observer) ends the
// run the same way, after the lanes that use its frame have ended; in a
// pool and statement by statement.
TEST_F(OfficeServiceTest, AnExceptionOnTheExecutingThreadEndsTheRunWithItsMessage) {
  writeWorker("sleep 0.2; echo ok");
  fs::create_directories(tmp_.path() / "out");
  const std::string pooled = block("Pages", documentBlocks(docNames(4)) + "  quit\n");
  const std::string inOrder = block("Pages", "  activate\n  activate\n  quit\n");
  for (const std::string& text : {pooled, inOrder}) {
    config_.workers = 2;
    OfficeScriptService service(config_, [](const ScriptProgress& p) {
      if (p.done >= 1) throw std::runtime_error("no room for the progress");
    });
    error_ = {};
    std::unique_ptr<Script> script = service.create(text, &error_);
    ASSERT_TRUE(script);
    EXPECT_FALSE(script->execute(&error_));
    EXPECT_FALSE(error_.cancelled);
    EXPECT_EQ(info(error_, "message"),
              "the conversion stopped on an unexpected error: no room for the progress");
    EXPECT_EQ(testing::childProcesses(), 0);  // a worker may be ended before it wrote its pid
  }
}

TEST(OfficeWorkerCountTest, OnePerCoreWithinMemoryDocumentsAndTheUsersChoice) {
  constexpr std::uint64_t kGiB = std::uint64_t{1} << 30;
  const auto count = [](std::size_t cores, std::optional<std::uint64_t> memory,
                        std::size_t documents, std::size_t requested = 0) {
    return officeWorkerCount({cores, memory, kGiB, documents, requested});
  };
  EXPECT_EQ(count(8, 64 * kGiB, 100), 8u);
  EXPECT_EQ(count(8, std::nullopt, 100), 8u);  // memory unknown
  EXPECT_EQ(count(0, 64 * kGiB, 100), 1u);     // cores unknown
  EXPECT_EQ(count(8, 64 * kGiB, 3), 3u);
  EXPECT_EQ(count(8, 64 * kGiB, 0), 1u);
  EXPECT_EQ(count(500, 1024 * kGiB, 1000), static_cast<std::size_t>(kMostWorkers));
  // A margin stays free: 4 GiB leaves 3.5 for workers of 1 GiB.
  EXPECT_EQ(count(8, 4 * kGiB, 100), 3u);
  EXPECT_EQ(count(8, 40 * kGiB, 100), 8u);
  EXPECT_EQ(count(64, 40 * kGiB, 100), 36u);  // a tenth kept back
  EXPECT_EQ(count(8, kGiB / 2, 100), 1u);     // never none
  // The user's choice stands, memory aside, within the other bounds.
  EXPECT_EQ(count(2, kGiB, 100, 6), 6u);
  EXPECT_EQ(count(2, kGiB, 4, 6), 4u);
  EXPECT_EQ(count(2, kGiB, 1000, 1000), static_cast<std::size_t>(kMostWorkers));
}

TEST(OfficeWorkerMemoryTest, EachWorkerMayHoldItsShareOfWhatTheMachineSpares) {
  constexpr std::uint64_t kGiB = std::uint64_t{1} << 30;
  constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;
  // A tenth is kept back, at least 512 MB.
  EXPECT_EQ(spareWorkerMemory(20 * kGiB), 18 * kGiB);
  EXPECT_EQ(spareWorkerMemory(2 * kGiB), 2 * kGiB - 512 * kMiB);
  EXPECT_EQ(spareWorkerMemory(256 * kMiB), 0u);
  // An equal share, at most 2 GB, at least 512 MB.
  EXPECT_EQ(defaultWorkerMemoryCap(20 * kGiB, 12), 1536 * kMiB);
  EXPECT_EQ(defaultWorkerMemoryCap(20 * kGiB, 2), kLargestDefaultWorkerMemory);
  EXPECT_EQ(defaultWorkerMemoryCap(20 * kGiB, 0), kLargestDefaultWorkerMemory);
  EXPECT_EQ(defaultWorkerMemoryCap(kGiB, 1), kLeastWorkerMemory);
  EXPECT_EQ(defaultWorkerMemoryCap(0, 4), kLeastWorkerMemory);
  EXPECT_EQ(defaultWorkerMemoryCap(std::nullopt, 64), kLargestDefaultWorkerMemory);
}

TEST(OfficeWorkerMemoryTest, TheWorkersChosenForAMachineFitWhatEachMayHold) {
  constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;
  constexpr std::uint64_t kTypical = 768 * kMiB;  // what a run reckons without a cap
  for (std::uint64_t available : {1024 * kMiB, 3000 * kMiB, 8192 * kMiB, 24576 * kMiB}) {
    for (std::size_t cores : {1u, 2u, 8u, 32u}) {
      const std::size_t workers = officeWorkerCount({cores, available, kTypical, 100, 0});
      const std::uint64_t cap = defaultWorkerMemoryCap(available, workers);
      if (spareWorkerMemory(available) >= kLeastWorkerMemory) {
        EXPECT_LE(workers * cap, spareWorkerMemory(available)) << available << " " << cores;
      }
      EXPECT_GE(cap, kLeastWorkerMemory);
    }
  }
}

}  // namespace
}  // namespace morvane
