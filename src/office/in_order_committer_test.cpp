#include "office/in_order_committer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <thread>

#include "office/office_service_fixture.h"
#include "testing/fault_injection_env.h"
#include "testing/temp_dir.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;
using testing::info;
using testing::processGone;
using testing::readFile;

// The committer alone, on real files: documents end in any order, their
// exports land in the order of the script.
class CommitterOrderTest : public ::testing::Test {
 protected:
  // Outcome i: one finished export of doc<i>.pdf, or an error.
  void prepare(std::size_t count) {
    fs::create_directories(tmp_.path() / "out");  // kept: the folders know it as entered
    statements_.resize(count);
    outcomes_.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
      const fs::path target = tmp_.path() / "out" / ("doc" + std::to_string(i) + ".pdf");
      const fs::path partial = partialPathFor(officeEnv(config_), target);
      std::ofstream(partial) << "doc " << i;
      statements_[i].text = "export " + std::to_string(i);
      outcomes_[i].exports.push_back({partial, target, &statements_[i], &folders_});
      outcomes_[i].exportsDone = true;
    }
  }

  InOrderCommitter committer(bool keepGoing) {
    return InOrderCommitter(
        officeEnv(config_), outcomes_,
        [](std::size_t, const PendingExport&, const Status& s) {
          return ScriptError{{{"message", s.message()}}};
        },
        [this](std::size_t behind) { advanced_.push_back(behind); }, keepGoing,
        written_);
  }

  std::vector<std::string> files() {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(tmp_.path() / "out")) {
      names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  testing::TempDir tmp_;
  OfficeConfig config_;
  TargetFolders folders_;
  std::vector<ScriptStatement> statements_;
  std::vector<Outcome> outcomes_;
  std::vector<std::size_t> advanced_;
  std::vector<std::string> landed_;
  WrittenFile written_ = [this](const std::string& path) {
    landed_.push_back(fs::path(path).filename().string());
  };
};

TEST_F(CommitterOrderTest, DocumentsEndingOutOfOrderLandInScriptOrder) {
  prepare(4);
  InOrderCommitter c = committer(false);
  c.ended(2);
  c.ended(1);
  EXPECT_TRUE(landed_.empty());  // document 0 has not ended
  c.ended(0);
  EXPECT_EQ(landed_, (std::vector<std::string>{"doc0.pdf", "doc1.pdf", "doc2.pdf"}));
  c.ended(3);
  EXPECT_EQ(advanced_, (std::vector<std::size_t>{3, 4}));
  std::size_t failed = 99;
  EXPECT_TRUE(c.finish(&failed));
  EXPECT_EQ(c.committed(), 4u);
  EXPECT_EQ(files(), (std::vector<std::string>{"doc0.pdf", "doc1.pdf", "doc2.pdf", "doc3.pdf"}));
}

// The first failed document stops the commits: its own finished exports
// land, nothing after it does, and finish() removes what waited.
TEST_F(CommitterOrderTest, AFailureStopsTheCommitsUnlessTheRunGoesOn) {
  fs::create_directories(tmp_.path() / "out");
  for (bool keepGoing : {false, true}) {
    for (const std::string& name : files()) fs::remove(tmp_.path() / "out" / name);
    outcomes_.clear();
    landed_.clear();
    prepare(3);
    outcomes_[1].error = ScriptError{{{"message", "broken"}}};
    outcomes_[1].exportsDone = false;
    InOrderCommitter c = committer(keepGoing);
    c.ended(2);
    c.ended(1);
    c.ended(0);
    std::size_t failed = 99;
    EXPECT_EQ(c.stopped(), !keepGoing);
    EXPECT_EQ(c.finish(&failed), keepGoing);
    if (keepGoing) {
      EXPECT_EQ(files(), (std::vector<std::string>{"doc0.pdf", "doc1.pdf", "doc2.pdf"}));
      EXPECT_EQ(c.committed(), 2u);  // document 1's export landed, but it failed after
    } else {
      EXPECT_EQ(failed, 1u);
      EXPECT_EQ(files(), (std::vector<std::string>{"doc0.pdf", "doc1.pdf"}));
      EXPECT_EQ(c.committed(), 1u);
    }
  }
}

// Documents that never ended (a cancel) land nothing, and leave nothing.
TEST_F(CommitterOrderTest, WhatNeverEndedIsDiscarded) {
  prepare(3);
  InOrderCommitter c = committer(false);
  c.ended(1);
  std::size_t failed = 0;
  EXPECT_FALSE(c.finish(&failed));
  EXPECT_EQ(failed, 3u);
  EXPECT_TRUE(files().empty());
  EXPECT_TRUE(landed_.empty());
}

class InOrderCommitterTest : public testing::OfficeServiceTest {};

TEST_F(InOrderCommitterTest, SharedWorkersCommitInScriptOrderUpToTheFailure) {
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
TEST_F(InOrderCommitterTest, TemporaryNamesNeverCollideAndFailedCommitsNameTheirExport) {
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
TEST_F(InOrderCommitterTest, InjectedFaultsNameTheDocumentAndLeaveNoPartialFile) {
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
TEST_F(InOrderCommitterTest, ATargetFolderRemovedDuringTheRunIsNeverMadeAgain) {
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
TEST_F(InOrderCommitterTest, AnExportIntoATargetFolderMadeAgainFails) {
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
TEST_F(InOrderCommitterTest, ExportsAreFlushedBeforeTheyCountAndAFailedFlushLeavesNothing) {
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

// Exports land as soon as they and every earlier document are done; a
// cancel from another thread ends the workers at once and keeps what
// landed, with nothing half-written and no worker left.
TEST_F(InOrderCommitterTest, ExportsLandAsTheyFinishAndACancelKeepsThem) {
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

}  // namespace
}  // namespace morvane
