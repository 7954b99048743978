#include "engine/conversion_controller.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "engine/export_formats.h"
#include "cli/run_report_text.h"
#include "testing/engine_fixture.h"
#include "testing/fault_injection_env.h"

namespace morvane {
namespace {

class ConversionControllerTest : public testing::EngineFixture {
 protected:
  RunOutcome run() {
    runner_.reset();
    return ConversionController(options_, runner(), services()).runBatchConversion();
  }
  // The lines a run logged from the controller line on.
  std::vector<std::string> runLines() const {
    auto start = std::find(env_.lines.begin(), env_.lines.end(),
                           "ConversionController: Now run the conversion…");
    return {start, env_.lines.end()};
  }
  fs::path out() const { return tmp_.path() / "Out"; }
};

// A cancel that comes while the walk copies (here: once the first copy has
// landed) ends the walk there; the run executes no script and ends with the
// cancel alert, counting the copy made.
TEST_F(ConversionControllerTest, ACancelDuringTheWalkEndsItWithoutAScript) {
  for (const char* name : {"a.txt", "b.txt", "c.docx", "d.txt"}) {
    tmp_.write(std::string("In/") + name);
  }
  options_.addFile(tmp_.path() / "In");
  options_.setTargetFolder(out());
  options_.setCopyNonconvertibleFiles(true);
  ScriptCancellation cancellation;
  EngineServices withCancel = services();
  withCancel.cancellation = &cancellation;
  withCancel.fileWritten = [&cancellation](const fs::path&) { cancellation.cancel(); };
  runner_ = std::make_unique<ScriptRunner>(options_, withCancel);
  alerts_.responses = {kAlertFirstButtonReturn, kAlertFirstButtonReturn};
  EXPECT_EQ(ConversionController(options_, *runner_, withCancel).runBatchConversion(),
            RunOutcome::cancelled);
  EXPECT_EQ(env_.copies.size(), 1u);
  EXPECT_TRUE(scripts_.created.empty());
  EXPECT_EQ(alerts_.titles().back(), "Conversion cancelled");
  EXPECT_EQ(runner_->report().copied, 1u);
  EXPECT_FALSE(cancellation.cancelled());  // the next run starts afresh
}

TEST_F(ConversionControllerTest, DecliningTheTargetQuestionEndsTheRun) {
  options_.setPdfExport(true);  // a docx has no Office export
  options_.addFile(tmp_.write("a.docx"));
  const std::size_t scanLines = env_.lines.size();
  alerts_.responses = {kAlertSecondButtonReturn};
  EXPECT_EQ(run(), RunOutcome::endedAtQuestion);
  EXPECT_EQ(alerts_.titles(), std::vector<std::string>{"No target folder"});
  EXPECT_EQ(alerts_.shown[0].message.key,
            "Please choose a target folder where the converted files should be stored");
  EXPECT_EQ(alerts_.panelsShown, 0);
  EXPECT_EQ(env_.lines.size(), scanLines);
  EXPECT_TRUE(scripts_.created.empty());
}

TEST_F(ConversionControllerTest, CancelledPanelEndsTheRunSilently) {
  EXPECT_EQ(run(), RunOutcome::endedAtQuestion);
  EXPECT_EQ(alerts_.panelsShown, 1);
  EXPECT_EQ(alerts_.titles(), std::vector<std::string>{"No target folder"});
  EXPECT_TRUE(env_.lines.empty());
}

TEST_F(ConversionControllerTest, PickedFolderStaysWhenConfirmationIsDeclined) {
  alerts_.panelAnswer = out();
  alerts_.responses = {kAlertFirstButtonReturn, kAlertSecondButtonReturn};
  EXPECT_EQ(run(), RunOutcome::endedAtQuestion);
  EXPECT_EQ(alerts_.titles(),
            (std::vector<std::string>{"No target folder", "Before we start conversion"}));
  EXPECT_EQ(alerts_.shown[1].message.key,
            "Close all open documents in Pages, Numbers and Keynote. Confirm to continue…");
  EXPECT_EQ(options_.targetFolder(), out());
  EXPECT_TRUE(env_.lines.empty());
  EXPECT_TRUE(scripts_.created.empty());
}

// A service whose workers never touch the user's open documents (the
// LibreOffice one) has nothing to ask before a run: it starts once the
// target is checked. A target it cannot write still ends it first.
TEST_F(ConversionControllerTest, NoQuestionWhereNoUserApplicationIsDriven) {
  options_.setPdfExport(true);  // a docx has no Office export
  scripts_.userApplications = false;
  options_.addFile(tmp_.write("a.docx"));
  options_.setTargetFolder(out());
  alerts_.responses = {kAlertSecondButtonReturn};  // would decline a question
  EXPECT_EQ(run(), RunOutcome::succeeded);
  EXPECT_EQ(alerts_.titles(), std::vector<std::string>{"Success"});
  EXPECT_EQ(scripts_.executed.size(), 1u);

  alerts_.shown.clear();
  options_.setTargetFolder(tmp_.write("not-a-folder"));
  runner_.reset();
  EXPECT_EQ(run(), RunOutcome::failed);
  EXPECT_EQ(alerts_.titles(), std::vector<std::string>{"Error"});
  EXPECT_EQ(scripts_.executed.size(), 1u);
}

TEST_F(ConversionControllerTest, EmptyListRunsEmptyScript) {
  options_.setTargetFolder(out());
  options_.setPdfExport(true);
  EXPECT_EQ(run(), RunOutcome::succeeded);
  EXPECT_EQ(env_.lines, (std::vector<std::string>{"ConversionController: Now run the conversion…",
                                                  "\tExport to Office", "\tExport to PDF",
                                                  "did finish conversion"}));
  EXPECT_EQ(createdScript(), "");
  EXPECT_EQ(alerts_.titles(), (std::vector<std::string>{"Before we start conversion", "Success"}));
}

TEST_F(ConversionControllerTest, FailedScriptIsAFailedRun) {
  options_.setPdfExport(true);  // a docx has no Office export
  options_.setTargetFolder(out());
  scripts_.executeError = ScriptError{{{"message", "broken"}}};
  EXPECT_EQ(run(), RunOutcome::failed);
  EXPECT_EQ(alerts_.titles(), (std::vector<std::string>{"Before we start conversion", "Error"}));
}

// A target folder the run cannot write into ends it with the error alert,
// before any question, plan, folder or copy.
class UnusableTargetTest : public ConversionControllerTest {
 protected:
  void SetUp() override {
    options_.addFile(tmp_.write("Docs/Sub/a.docx"));
    options_.addFile(tmp_.write("Docs/notes.txt"));
    options_.setCopyNonconvertibleFiles(true);
    options_.setRebuildStruct(true);
    alerts_.responses = {kAlertThirdButtonReturn};  // send the report, to read it
  }
  // Runs into `target`; the report the error alert offered.
  std::string failedRunReport(const fs::path& target) {
    options_.setTargetFolder(target);
    EXPECT_EQ(run(), RunOutcome::failed);
    EXPECT_EQ(alerts_.titles(), std::vector<std::string>{"Error"});
    EXPECT_EQ(alerts_.shown.at(0).message.key,
              "There was an error during the conversion.");
    EXPECT_TRUE(scripts_.created.empty());
    EXPECT_TRUE(env_.copies.empty());
    EXPECT_TRUE(env_.linesContaining("Now run the conversion").empty());
    if (alerts_.mails.size() != 1u) return {};
    // The report's reason, on the last line of the mail.
    std::string body = alerts_.mails[0].body;
    if (body.ends_with('\n')) body.pop_back();
    const std::string reason = "Reason: ";
    const std::string report = body.substr(body.rfind('\n') + 1);
    if (!report.starts_with(reason)) return body;
    EXPECT_EQ(env_.lines.back(), "ERROR: " + report.substr(reason.size()));
    return report.substr(reason.size());
  }
};

TEST_F(UnusableTargetTest, FileInPlaceOfTheFolder) {
  const fs::path file = tmp_.write("Out", "not a folder");
  EXPECT_EQ(failedRunReport(file), "Target folder " + file.string() + ": it exists but is not a folder");
  EXPECT_TRUE(fs::is_regular_file(file));
}

TEST_F(UnusableTargetTest, FileInPlaceOfAFolderToCreate) {
  const fs::path file = tmp_.write("Out", "not a folder");
  EXPECT_EQ(failedRunReport(file / "New/Deeper"), "Target folder " + (file / "New/Deeper").string() +
                                                      " cannot be created: " + file.string() +
                                                      " is not a folder");
}

// An unwritable folder: one of mode 0555, or, for a process that may write
// there anyway (root), a folder of the kernel's that nobody may write into.
TEST_F(UnusableTargetTest, FolderThatCannotBeWritten) {
  fs::path locked = tmp_.mkdir("Locked");
  fs::permissions(locked, fs::perms(0555));
  if (::access(locked.c_str(), W_OK) == 0) locked = "/proc/sys";
  if (::access(locked.c_str(), W_OK) == 0) {
    GTEST_SKIP() << "this process may write into every folder it could test with";
  }
  const std::string report = failedRunReport(locked);
  EXPECT_TRUE(report.starts_with("Target folder " + locked.string() + " cannot be written: "))
      << report;
  EXPECT_FALSE(fs::exists(locked / "Sub"));
  const std::string below = (locked / "New").string();
  alerts_.shown.clear();
  alerts_.mails.clear();
  alerts_.responses = {kAlertThirdButtonReturn};
  EXPECT_TRUE(failedRunReport(below).starts_with("Target folder " + below +
                                                 " cannot be created in " + locked.string() + ": "));
}

class WalkTest : public ConversionControllerTest {
 protected:
  void SetUp() override {
    docs_ = tmp_.mkdir("Docs");
    tmp_.write("Docs/a.docx");
    tmp_.write("Docs/notes.txt");
    tmp_.write("Docs/Sub/b.pages");
    options_.addFile(docs_);
    options_.setTargetFolder(out());
    env_.lines.clear();
  }
  std::string p(const std::string& relative) const { return (docs_ / relative).string(); }
  fs::path docs_;
};

TEST_F(WalkTest, CopyOnPlansAndCopies) {
  options_.setCopyNonconvertibleFiles(true);
  run();
  EXPECT_EQ(runLines(),
            (std::vector<std::string>{
                "ConversionController: Now run the conversion…", "\tExport to Office",
                "\t" + docs_.string() + " is a folder => convert the contents",
                "\tconvertFolder for " + docs_.string(),
                "\t" + p("Sub") + " is a folder => convert the contents",
                "\tconvertFolder for " + p("Sub"), "isConvertible? pages",
                "\t" + p("Sub/b.pages") + " is a convertible file => convert", "docx",
                "isConvertible? docx", "\t" + p("a.docx") + " is a convertible file => convert",
                "", "Not converting " + p("a.docx") + ": the chosen formats give it no export",
                "isConvertible? txt",
                "\t" + p("notes.txt") + " is a non-convertible file => copy to target: " +
                    (out() / "notes.txt").string(),
                "export to file format: docx", "did finish conversion"}));
  EXPECT_TRUE(fs::exists(out() / "notes.txt"));
  const auto& configs = runner().conversionConfigs();
  // A docx has no Office export: it is named in the result, never opened.
  ASSERT_EQ(configs.at("Pages").size(), 1u);
  EXPECT_EQ(configs.at("Pages")[0].targetPaths, std::vector<fs::path>{out() / "b.docx"});
  EXPECT_EQ(createdScript().find("open POSIX file \"" + p("a.docx") + "\""), std::string::npos);
  ASSERT_EQ(runner().report().withoutExport.size(), 1u);
  EXPECT_EQ(runner().report().withoutExport[0].document, p("a.docx"));
  EXPECT_EQ(runner().report().converted, 1u);
  EXPECT_EQ(englishSummary(alerts_.shown.back()),
            "1 document converted, 1 file copied\nNot converted: " + p("a.docx") +
                " — docx files have no Office export");
}

TEST_F(WalkTest, DocumentPackagesAreConvertedAsDocumentsNotWalked) {
  tmp_.write("Docs/Budget.numbers/Index.zip");
  tmp_.write("Docs/Budget.numbers/Metadata/Properties.plist");
  tmp_.write("Docs/Plain.folder/c.key");
  options_.setFileList({});
  options_.addFile(docs_);
  options_.setCopyNonconvertibleFiles(true);
  env_.lines.clear();
  run();
  EXPECT_EQ(env_.linesContaining("Budget.numbers"),
            std::vector<std::string>{"\t" + p("Budget.numbers") + " is a document package => convert"});
  EXPECT_FALSE(fs::exists(out() / "Index.zip"));  // nothing inside it was copied
  const auto& configs = runner().conversionConfigs();
  ASSERT_EQ(configs.at("Numbers").size(), 1u);
  EXPECT_EQ(configs.at("Numbers")[0].targetPaths, std::vector<fs::path>{out() / "Budget.xlsx"});
  EXPECT_EQ(configs.at("Keynote").size(), 1u);  // an ordinary folder is still walked
  EXPECT_NE(createdScript().find("open POSIX file \"" + p("Budget.numbers") + "\""),
            std::string::npos);
}

TEST_F(WalkTest, CopyOffLeavesNonConvertibleFiles) {
  run();
  EXPECT_EQ(env_.linesContaining("notes.txt").size(), 0u);
  EXPECT_EQ(env_.linesContaining("isConvertible? txt").size(), 1u);
  EXPECT_FALSE(fs::exists(out() / "notes.txt"));
  EXPECT_TRUE(env_.copies.empty());
  EXPECT_EQ(runner().conversionConfigs().at("Pages").size(), 1u);
}

TEST_F(WalkTest, SecondRunIntoSameTargetKeepsExistingCopies) {
  options_.setCopyNonconvertibleFiles(true);
  run();
  const std::string first = createdScript();
  tmp_.write("Docs/notes.txt", "changed");
  env_.lines.clear();
  scripts_.created.clear();
  run();
  EXPECT_EQ(createdScript(), first);
  EXPECT_EQ(env_.linesContaining("ERROR: could not copy file: "),
            std::vector<std::string>{"ERROR: could not copy file: " + p("notes.txt") + " to : " +
                                     out().string() + "/notes.txt"});
  std::ifstream copy(out() / "notes.txt");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(copy), {}), "x");
}

TEST_F(ConversionControllerTest, CopiesKeepStructureAndUpperCaseIsNotConverted) {
  tmp_.write("Docs/Sub/Deep/Report.DOCX");
  tmp_.write("Docs/Sub/report.doc");
  tmp_.write("Docs/Sub/c.xlsx");
  options_.addFile(tmp_.path() / "Docs");
  options_.setTargetFolder(out());
  options_.setCopyNonconvertibleFiles(true);
  options_.setPdfExport(true);
  run();
  EXPECT_TRUE(fs::exists(out() / "Sub/Deep/Report.DOCX"));
  EXPECT_TRUE(fs::exists(out() / "Sub/report.doc"));
  EXPECT_EQ(env_.linesContaining("isConvertible? DOCX").size(), 1u);
  const auto& numbers = runner().conversionConfigs().at("Numbers");
  ASSERT_EQ(numbers.size(), 1u);
  EXPECT_EQ(numbers[0].targetPaths, std::vector<fs::path>{out() / "c.pdf"});
  EXPECT_TRUE(runner().conversionConfigs().at("Pages").empty());
}

TEST_F(ConversionControllerTest, AliasesAreSkippedOrCopiedAndLinksConverted) {
  options_.setPdfExport(true);  // a docx has no Office export
  const fs::path alias = tmp_.write("In/alias.docx");
  const fs::path real = tmp_.write("In/real.docx");
  fs::create_symlink(real, tmp_.path() / "In/link.docx");
  env_.aliases.insert(alias);
  options_.addFile(alias);
  options_.addFile(tmp_.path() / "In/link.docx");
  options_.setTargetFolder(out());
  run();
  EXPECT_EQ(env_.linesContaining("alias.docx"),
            std::vector<std::string>{"\t" + alias.string() + " is an alias and will be skipped!!!"});
  EXPECT_EQ(runner().conversionConfigs().at("Pages").size(), 1u);
  EXPECT_EQ(runner().conversionConfigs().at("Pages")[0].file.url, tmp_.path() / "In/link.docx");

  options_.setCopyNonconvertibleFiles(true);
  env_.lines.clear();
  run();
  EXPECT_EQ(env_.linesContaining("alias.docx"),
            (std::vector<std::string>{"\t" + alias.string() + " is an alias and will be copied!!!",
                                      "\t" + alias.string() +
                                          " is a non-convertible file => copy to target: " +
                                          (out() / "alias.docx").string()}));
  EXPECT_TRUE(fs::exists(out() / "alias.docx"));
}

// A package is one document: walking it would copy its inner files loose
// into the target, or skip the document, and report success either way.
TEST_F(ConversionControllerTest, PackagesAreConvertedAsWholeDocuments) {
  tmp_.write("Doc.pages/Index/Document.iwa");
  tmp_.write("Doc.pages/preview.jpg");
  options_.addFile(tmp_.path() / "Doc.pages");
  options_.setTargetFolder(out());
  options_.setCopyNonconvertibleFiles(true);
  run();
  ASSERT_EQ(runner().conversionConfigs().at("Pages").size(), 1u);
  EXPECT_EQ(runner().conversionConfigs().at("Pages")[0].targetPaths,
            std::vector<fs::path>{out() / "Doc.docx"});
  EXPECT_FALSE(fs::exists(out() / "Index/Document.iwa"));
  EXPECT_FALSE(fs::exists(out() / "preview.jpg"));
}

TEST_F(ConversionControllerTest, DuplicatesArePlannedTwiceAndCopiedOnce) {
  const fs::path doc = tmp_.write("a.docx");
  const fs::path txt = tmp_.write("n.txt");
  for (const fs::path& p : {doc, doc, txt, txt}) options_.addFile(p);
  options_.setTargetFolder(out());
  options_.setCopyNonconvertibleFiles(true);
  options_.setPdfExport(true);
  run();
  EXPECT_EQ(runner().conversionConfigs().at("Pages").size(), 2u);
  EXPECT_EQ(env_.linesContaining("ERROR: could not copy file: " + txt.string()).size(), 1u);
  const std::string& script = createdScript();
  std::size_t opens = 0;
  for (std::size_t at = script.find("open POSIX"); at != std::string::npos;
       at = script.find("open POSIX", at + 1)) {
    ++opens;
  }
  EXPECT_EQ(opens, 2u);
}

// Copies are outputs of the run too: a later target takes a number
// rather than write over a copy, and a copy never takes a planned target.
TEST_F(ConversionControllerTest, CopiesAndTargetsNeverShareALocation) {
  const fs::path copied = tmp_.write("A/Report.pdf", "the user's own pdf");
  options_.addFile(copied);
  options_.addFile(tmp_.write("B/Report.docx"));
  options_.addFile(tmp_.write("C/Report.pdf"));
  options_.setTargetFolder(out());
  options_.setCopyNonconvertibleFiles(true);
  options_.setPdfExport(true);
  run();
  EXPECT_EQ(runner().conversionConfigs().at("Pages").at(0).targetPaths,
            std::vector<fs::path>{out() / "Report 2.pdf"});
  EXPECT_EQ(env_.linesContaining("is already a target of this run"),
            (std::vector<std::string>{
                "\t" + (out() / "Report.pdf").string() + " is already a target of this run => " +
                    (out() / "Report 2.pdf").string(),
                "\t" + (out() / "Report.pdf").string() + " is already a target of this run => not copied"}));
  std::ifstream copy(out() / "Report.pdf");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(copy), {}), "the user's own pdf");

  // The other way round: the planned target keeps its name, the copy is not made.
  options_.setFileList({});
  options_.addFile(tmp_.write("D/Later.docx"));
  options_.addFile(tmp_.write("E/Later.pdf"));
  env_.lines.clear();
  run();
  EXPECT_EQ(runner().conversionConfigs().at("Pages").at(0).targetPaths,
            std::vector<fs::path>{out() / "Later.pdf"});
  EXPECT_FALSE(fs::exists(out() / "Later.pdf"));
  EXPECT_EQ(env_.linesContaining("ERROR: could not copy file: "),
            std::vector<std::string>{"ERROR: could not copy file: " + (tmp_.path() / "E/Later.pdf").string() +
                                     " to : " + out().string() + "/Later.pdf"});
}

TEST_F(ConversionControllerTest, FailedCopyIsLoggedAndTheWalkGoesOn) {
  const fs::path locked = tmp_.write("locked.txt");
  env_.uncopyable.insert(locked);
  options_.addFile(locked);
  options_.addFile(tmp_.write("b.numbers"));
  options_.setTargetFolder(out());
  options_.setCopyNonconvertibleFiles(true);
  run();
  EXPECT_EQ(env_.linesContaining("ERROR: could not copy file: ").size(), 1u);
  EXPECT_FALSE(fs::exists(out() / "locked.txt"));
  EXPECT_FALSE(fs::exists(out() / "locked.txt.morvane-partial"));
  EXPECT_EQ(runner().conversionConfigs().at("Numbers").size(), 1u);
}

// FIFOs, sockets and devices are never opened (a FIFO without a writer
// would hold the run for ever), neither copied nor converted, whatever
// their names; each is named in a line, and the run goes on.
TEST_F(ConversionControllerTest, SpecialFilesAreNamedAndNeverOpened) {
  const fs::path docs = tmp_.mkdir("Docs");
  ASSERT_EQ(::mkfifo((docs / "pipe").c_str(), 0600), 0);
  ASSERT_EQ(::mkfifo((docs / "pipe.docx").c_str(), 0600), 0);
  const fs::path top = tmp_.path() / "top.pages";
  ASSERT_EQ(::mkfifo(top.c_str(), 0600), 0);
  tmp_.write("Docs/a.txt", "text");
  options_.addFile(docs);
  options_.addFile(top);
  options_.setTargetFolder(out());
  options_.setCopyNonconvertibleFiles(true);
  options_.setPdfExport(true);
  EXPECT_EQ(run(), RunOutcome::succeeded);
  const std::string skipped =
      " is neither a regular file nor a folder (a FIFO, socket or device) => skipped";
  EXPECT_EQ(env_.linesContaining(skipped),
            (std::vector<std::string>{"\t" + (docs / "pipe").string() + skipped,
                                      "\t" + (docs / "pipe.docx").string() + skipped,
                                      "\t" + top.string() + skipped}));
  EXPECT_TRUE(fs::is_regular_file(out() / "a.txt"));
  EXPECT_FALSE(fs::exists(out() / "pipe"));
  EXPECT_EQ(createdScript(), "");
  EXPECT_EQ(englishSummary(alerts_.shown.back()), "No document was converted, 1 file copied");
  EXPECT_EQ(runTreatment(options_.fileList()[1], options_.exportClassFlags()),
            RunTreatment::notConverted);
}

// A target folder removed while the walk copies into it is not made again:
// the copies after it fail, and the run ends with the error alert naming
// the folder before anything is converted.
TEST_F(ConversionControllerTest, ATargetFolderRemovedWhileCopyingEndsTheRun) {
  struct LoggingFaultEnv : testing::FaultInjectionEnv {
    void log(std::string_view line) override { lines.emplace_back(line); }
    std::vector<std::string> lines;
  } env;
  using Op = testing::FaultInjectionEnv::Op;
  for (const char* name : {"1.txt", "2.txt", "3.txt", "4.txt", "b.docx"}) {
    tmp_.write(std::string("Docs/") + name, "x");
  }
  MorvaneOptions options(version_, env);
  options.addFile(tmp_.path() / "Docs");
  options.setTargetFolder(out());
  options.setCopyNonconvertibleFiles(true);
  options.setPdfExport(true);
  env.removeBefore(Op::copy, "/3.txt", out());
  const EngineServices services{env, scripts_, alerts_, version_};
  ScriptRunner runner(options, services);
  EXPECT_EQ(ConversionController(options, runner, services).runBatchConversion(),
            RunOutcome::failed);
  EXPECT_FALSE(fs::exists(out()));
  EXPECT_EQ(runner.lostTargetFolder(), out());
  EXPECT_TRUE(scripts_.created.empty());
  EXPECT_EQ(alerts_.titles(), (std::vector<std::string>{"Before we start conversion", "Error"}));
  EXPECT_TRUE(englishSummary(alerts_.shown.back()).starts_with(
      "The target folder " + out().string() + " was removed during the run"))
      << englishSummary(alerts_.shown.back());
  std::size_t failedCopies = 0;
  for (const std::string& line : env.lines) failedCopies += line.starts_with("ERROR: could not copy");
  EXPECT_EQ(failedCopies, 2u);  // 3.txt, whose copy found it gone, and 4.txt
}

}  // namespace
}  // namespace morvane
