#include "office/worker_pool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

#include "office/office_service_fixture.h"
#include "testing/processes.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;
using testing::info;
using testing::processGone;
using testing::readFile;

// The pool through the service, with the stand-in worker.
class WorkerPoolTest : public testing::OfficeServiceTest {};

// The documents of all blocks form one queue for one pool of workers; the
// commits still follow the script across blocks: a later block's failure
// keeps everything before it, an earlier one's lets nothing after it land.
TEST_F(WorkerPoolTest, OnePoolServesEveryBlockAndCommitsInScriptOrder) {
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
TEST_F(WorkerPoolTest, AWorkerIsReplacedAfterItsDocumentsOrItsMemory) {
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

// What a lane's thread throws (here the front end's callback for a written
// file, while the lane commits) ends the run as an error with the message,
// with every worker ended; nothing escapes the thread.
TEST_F(WorkerPoolTest, AnExceptionOnALaneEndsTheRunWithItsMessage) {
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

// Told to go on after a failed document, a run converts every other one,
// with one worker or two, and ends listing the failed ones in order.
TEST_F(WorkerPoolTest, ARunThatGoesOnAfterFailuresListsThemAtTheEnd) {
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

}  // namespace
}  // namespace morvane
