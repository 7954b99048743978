#include "office/office_script_service.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <stdexcept>
#include <thread>

#include "office/office_service_fixture.h"
#include "testing/processes.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;
using testing::info;
using testing::processGone;
using testing::readFile;

class OfficeServiceTest : public testing::OfficeServiceTest {};

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
  config_.workers = 1;  // the second block's document waits for the first
  const std::string second = block("Numbers", documentBlocks({"n1"}, ".xlsx") + "  quit\n");
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
  config_.workerMemoryCap = 64 << 20;
  // The time limit each case runs under: short for the one that waits it
  // out, ample for the others (a busy machine grows 400 MB slowly).
  struct Case {
    std::string behaviour;
    std::chrono::seconds limit;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"echo -e \"error\\tits index is missing\"", std::chrono::seconds(30),
       "this Pages document is damaged or unreadable: its index is missing"},
      {"kill -SEGV $$", std::chrono::seconds(30),
       "this Pages document is damaged: checking it crashed"},
      {"sleep 5", std::chrono::seconds(1),
       "this Pages document is damaged: checking it took longer than 1 s"},
      {"s=$(head -c 400000000 /dev/zero | tr '\\0' x); echo ok", std::chrono::seconds(30),
       "this Pages document is damaged: checking it needs more memory than the 64 MB allowed per "
       "document"},
  };
  for (const Case& c : cases) {
    onInspect_ = c.behaviour;
    config_.statementLimit = c.limit;
    writeWorker("echo ok");
    ASSERT_FALSE(run(block("Pages", body))) << c.behaviour;
    EXPECT_EQ(info(error_, "message"), c.message);
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
  ASSERT_FALSE(run(block("TextEdit", exportPdf())));
  EXPECT_EQ(info(error_, "message"), "application \"TextEdit\" can't be found");
  EXPECT_EQ(info(error_, "line"), "2");
  EXPECT_TRUE(requests().empty());

  OfficeScriptService service(config_);
  // A block that opens no document is not planned: nothing runs.
  EXPECT_EQ(service.create(block("TextEdit", "  activate\n"), &error_), nullptr);
  EXPECT_EQ(info(error_, "message"),
            "the script cannot be run: line 2: no document is opened after it: activate");
  EXPECT_EQ(service.create("tell application \"Pages\"\n  delete document 1\nend tell\n", &error_),
            nullptr);
  EXPECT_EQ(info(error_, "message"),
            "the script cannot be run: line 2: unknown statement: delete document 1");

  config_.workerPath = (tmp_.path() / "missing-worker").string();
  ASSERT_FALSE(run(block("Pages", exportPdf())));
  EXPECT_NE(info(error_, "message").find("cannot start"), std::string::npos);
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

TEST_F(OfficeServiceTest, EmptyScriptSucceedsAndReportsProgress) {
  writeWorker("echo ok");
  std::vector<std::string> seen;
  OfficeScriptService service(config_, [&](const ScriptProgress& p) {
    seen.push_back(std::to_string(p.done) + "/" + std::to_string(p.total) + " " + p.statement);
  });
  ScriptError error;
  EXPECT_TRUE(service.create("", &error)->execute(&error));
  EXPECT_TRUE(seen.empty());
  // A block without a document is refused before anything runs.
  EXPECT_EQ(service.create(block("Numbers", "  activate\n  quit\n"), &error), nullptr);
  EXPECT_EQ(info(error, "message"),
            "the script cannot be run: line 3: expected an open after activate: quit");
  // The last step told is the block's quit, once its document landed.
  ASSERT_TRUE(service.create(block("Pages", exportPdf()), &error)->execute(&error))
      << error.description();
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.back(), "4/5 quit");
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

// What the executing thread throws (here the progress observer) ends the
// run the same way, after the lanes that use its frame have ended; with
// two lanes and with one.
TEST_F(OfficeServiceTest, AnExceptionOnTheExecutingThreadEndsTheRunWithItsMessage) {
  writeWorker("sleep 0.2; echo ok");
  fs::create_directories(tmp_.path() / "out");
  const std::string pooled = block("Pages", documentBlocks(docNames(4)) + "  quit\n");
  // Statement by statement is no more: a script not in the planned shape
  // is refused, naming the statement.
  const std::string inOrder = block("Pages", "  activate\n  activate\n  quit\n");
  EXPECT_EQ(OfficeScriptService(config_).create(inOrder, &error_), nullptr);
  EXPECT_EQ(info(error_, "message"),
            "the script cannot be run: line 3: expected an open after activate: activate");
  for (std::size_t workers : {2u, 1u}) {
    config_.workers = workers;
    OfficeScriptService service(config_, [](const ScriptProgress& p) {
      if (p.done >= 1) throw std::runtime_error("no room for the progress");
    });
    error_ = {};
    std::unique_ptr<Script> script = service.create(pooled, &error_);
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
