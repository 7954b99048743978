#include "cli/morvane_cli.h"
#include "cli/cli_options.h"
#include "cli/run_report_text.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "testing/recording_fakes.h"
#include "testing/temp_dir.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;

// Makes `folder` the working folder until the end of the scope.
class WorkingFolder {
 public:
  explicit WorkingFolder(const fs::path& folder) : previous_(fs::current_path()) {
    fs::current_path(folder);
  }
  ~WorkingFolder() {
    std::error_code ec;
    fs::current_path(previous_, ec);
  }

 private:
  fs::path previous_;
};

class MorvaneCliTest : public ::testing::Test {
 protected:
  int run(std::vector<std::string> args, bool interactive = false, const std::string& answers = "") {
    in_.str(answers);
    in_.clear();
    err_.str("");
    return runCli(args, {env_, scripts_, version_, in_, out_, err_, interactive, backend_});
  }
  std::string readFile(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  testing::TempDir tmp_;
  testing::RecordingEnv env_;
  testing::FakeScriptService scripts_;
  testing::FixedSystemVersion version_{{6, 1, 0}};
  std::istringstream in_;
  std::ostringstream out_, err_;
  std::function<Status(std::vector<std::string>*)> backend_;
};

TEST_F(MorvaneCliTest, UsageHelpAndVersion) {
  EXPECT_EQ(run({}), kExitUsage);
  EXPECT_NE(err_.str().find("no PATH given"), std::string::npos);
  EXPECT_EQ(run({"--frobnicate", "a.docx"}), kExitUsage);
  // One line and a hint, not the whole help.
  EXPECT_EQ(err_.str(),
            "morvane-cli: unknown option --frobnicate\n"
            "Try 'morvane-cli --help' for more information.\n");
  EXPECT_EQ(run({"a.docx", "--target"}), kExitUsage);
  EXPECT_EQ(run({"--target=", "a.docx"}), kExitUsage);
  EXPECT_EQ(run({"--help"}), kExitSuccess);
  EXPECT_NE(out_.str().find("usage: morvane-cli"), std::string::npos);
  out_.str("");
  EXPECT_EQ(run({"-h"}), kExitSuccess);
  EXPECT_NE(out_.str().find("usage: morvane-cli"), std::string::npos);
  EXPECT_EQ(run({"--version"}), kExitSuccess);
  EXPECT_NE(out_.str().find("morvane-cli 0."), std::string::npos);
  EXPECT_TRUE(scripts_.created.empty());
}

TEST_F(MorvaneCliTest, KeepGoingTellsEachFailedDocumentOnItsOwnLine) {
  ScriptError failed{{{"document", "/in/b.docx"}, {"message", "the file is empty (0 bytes)"}}};
  failed.failedDocuments = {{"/in/b.docx", {FailureKind::unexplained, "the file is empty (0 bytes)"}},
                            {"/in/d.docx", {FailureKind::noPermission,
                                            "no permission to read /in/d.docx"}}};
  scripts_.executeError = failed;
  EXPECT_EQ(run({"--keep-going", "--yes", "--target", (tmp_.path() / "out").string(),
                 tmp_.write("a.pages").string()}),
            kExitFailure);
  EXPECT_NE(err_.str().find("morvane-cli: not converted: /in/b.docx: the file is empty (0 bytes)\n"
                            "morvane-cli: not converted: /in/d.docx: no permission to read "
                            "/in/d.docx\n"),
            std::string::npos)
      << err_.str();
}

// "Send error report…" on a terminal prints the mail on standard error:
// the versions (the backend asked once), the failed documents with the
// words behind their reasons, and no script of the LibreOffice service.
TEST_F(MorvaneCliTest, TheErrorReportIsPrintedWithWhatHelps) {
  ScriptError failed{{{"statement", "open POSIX file \"/in/b.docx\""},
                      {"document", "/in/b.docx"},
                      {"message", "the document is damaged"},
                      {"details", "Error Area:Io Class:General Code:13"}}};
  scripts_.executeError = failed;
  scripts_.userApplications = false;
  int asked = 0;
  backend_ = [&asked](std::vector<std::string>* lines) {
    ++asked;
    lines->push_back("LibreOffice 7.4.7.2");
    return Status();
  };
  EXPECT_EQ(run({"--pdf", "--target", (tmp_.path() / "out").string(),
                 tmp_.write("b.docx").string()},
                true, "s\n"),
            kExitFailure);
  const std::string err = err_.str();
  EXPECT_NE(err.find("Please send this report by mail.\nTo: " + supportAddress() +
                     "\nSubject: Morvane Error Report\n"),
            std::string::npos)
      << err;
  for (const char* part : {"\nMorvane 0.", "\nLibreOffice 7.4.7.2\n",
                           "Document: /in/b.docx\nReason: the document is damaged\n"
                           "Details: Error Area:Io Class:General Code:13\n"}) {
    EXPECT_NE(err.find(part), std::string::npos) << part << " not in\n" << err;
  }
  EXPECT_EQ(err.find("open POSIX file"), std::string::npos) << err;
  EXPECT_EQ(err.find("tell application"), std::string::npos) << err;
  EXPECT_EQ(asked, 1);
}

// Exports (as the script reports them) and copies are named once they are
// in place: with --verbose, or on a terminal, where the progress line is
// cleared first; otherwise nothing is said.
TEST_F(MorvaneCliTest, WrittenFilesAreNamedWhenVerboseOrOnATerminal) {
  tmp_.write("Docs/a.docx");
  tmp_.write("Docs/notes.txt");
  const fs::path out = tmp_.path() / "out";
  scripts_.writes = {(out / "a.pdf").string()};
  const std::vector<std::string> args = {"--pdf", "--copy", "--yes", "--target", out.string(),
                                         (tmp_.path() / "Docs").string()};
  EXPECT_EQ(run(args), kExitSuccess);
  EXPECT_EQ(err_.str().find("wrote"), std::string::npos) << err_.str();

  fs::remove_all(out);
  std::vector<std::string> verbose = args;
  verbose.insert(verbose.begin(), "--verbose");
  EXPECT_EQ(run(verbose), kExitSuccess);
  EXPECT_NE(err_.str().find("morvane-cli: wrote " + (out / "notes.txt").string() + "\n"),
            std::string::npos) << err_.str();
  EXPECT_NE(err_.str().find("morvane-cli: wrote " + (out / "a.pdf").string() + "\n"),
            std::string::npos) << err_.str();

  fs::remove_all(out);
  std::ostringstream terminal;
  StatusLine status(terminal, true);
  status.progress("[1/3] open", false);
  err_.str("");
  EXPECT_EQ(runCli(args, {env_, scripts_, version_, in_, out_, err_, false, backend_, nullptr,
                          &status}),
            kExitSuccess);
  EXPECT_EQ(terminal.str(), "\r\033[K[1/3] open\r\033[Kmorvane-cli: wrote " +
                                (out / "notes.txt").string() + "\nmorvane-cli: wrote " +
                                (out / "a.pdf").string() + "\n");
}

TEST_F(MorvaneCliTest, VersionTellsWhatConvertsOrWhyNothingCan) {
  backend_ = [](std::vector<std::string>* lines) {
    *lines = {"LibreOffice 7.4.7.2", "iWork reader: libetonyek 0.1.12 (/cache)"};
    return Status();
  };
  EXPECT_EQ(run({"--version"}), kExitSuccess);
  EXPECT_NE(out_.str().find("\nLibreOffice 7.4.7.2\niWork reader: libetonyek 0.1.12 (/cache)\n"),
            std::string::npos);
  backend_ = [](std::vector<std::string>*) { return Status::error("LibreOffice cannot be started"); };
  EXPECT_EQ(run({"--version"}), kExitFailure);
  EXPECT_EQ(err_.str(), "morvane-cli: LibreOffice cannot be started\n");
}

TEST_F(MorvaneCliTest, RunsWithTheChosenClassesAndOptions) {
  tmp_.write("Docs/Sub/a.docx");
  tmp_.write("Docs/Sub/notes.txt");
  const fs::path out = tmp_.path() / "out";
  EXPECT_EQ(run({"--pdf", "--iwork", "--rebuild", "--copy", "--yes", "--target", out.string(),
                 (tmp_.path() / "Docs").string()}),
            kExitSuccess);
  const std::string& script = scripts_.created.at(0);
  EXPECT_NE(script.find("save document 1 in POSIX file \"" + (out / "Sub/a.pages").string()),
            std::string::npos);
  EXPECT_NE(script.find((out / "Sub/a.pdf").string() + "\" as PDF"), std::string::npos);
  EXPECT_TRUE(fs::exists(out / "Sub/notes.txt"));
  EXPECT_EQ(env_.linesContaining("\tExport to").size(), 2u);

  scripts_.executeError = ScriptError{{{"message", "broken"}}};
  EXPECT_EQ(run({"--pdf", "--yes", "--target", out.string(), (tmp_.path() / "Docs").string()}),
            kExitFailure);
  EXPECT_NE(err_.str().find("There was an error during the conversion."), std::string::npos);

  scripts_.executeError.reset();
  const fs::path file = tmp_.write("not-a-folder");
  EXPECT_EQ(run({"--pdf", "--yes", "--target", file.string(), (tmp_.path() / "Docs").string()}),
            kExitFailure);
  EXPECT_EQ(env_.lines.back(), "ERROR: Target folder " + file.string() +
                                   ": it exists but is not a folder");
}

// An export skipped because its target is a document of the run: the run
// succeeds, and its summary says how many and names each.
TEST_F(MorvaneCliTest, TheSummaryCountsAndNamesSkippedExports) {
  const fs::path docx = tmp_.write("Work/a.docx");
  const fs::path pages = tmp_.write("Work/a.pages");
  const fs::path work = tmp_.path() / "Work";
  EXPECT_EQ(run({"--office", "--pdf", "--yes", "--target", work.string(), docx.string(),
                 pages.string()}),
            kExitSuccess);
  EXPECT_NE(out_.str().find("2 documents converted, 1 export skipped: its target is a document "
                            "of this run\nNot written: " + docx.string() + "\n"),
            std::string::npos)
      << out_.str();
}

TEST_F(MorvaneCliTest, ScriptOutWritesTheScriptInsteadOfRunningIt) {
  const fs::path doc = tmp_.write("a.numbers");
  const fs::path file = tmp_.path() / "run.applescript";
  EXPECT_EQ(run({"--yes", "--target", (tmp_.path() / "out").string(), "--script-out",
                 file.string(), doc.string()}),
            kExitSuccess);
  EXPECT_TRUE(scripts_.created.empty());
  EXPECT_EQ(readFile(file), "tell application \"/Applications/Numbers.app\"\n  activate\n"
                            "  open POSIX file \"" + doc.string() + "\"\n"
                            "  export document 1 to POSIX file \"" +
                                (tmp_.path() / "out/a.xlsx").string() +
                                "\" as Microsoft Excel\n  close document 1\n"
                            "  quit\nend tell\n");
  EXPECT_EQ(run({"--yes", "--target", tmp_.path().string(), "--script-out",
                 (tmp_.path() / "missing/dir/x").string(), doc.string()}),
            kExitFailure);
  EXPECT_FALSE(fs::exists(tmp_.path() / "missing"));
  EXPECT_EQ(env_.linesContaining("cannot write the script to " +
                                 (tmp_.path() / "missing/dir/x").string() + ": the folder " +
                                 (tmp_.path() / "missing/dir").string() + " does not exist")
                .size(),
            1u);
}

// `--script-out /dev/stdout` with the output sent to a log: the script is
// added to the log, which keeps what it held and stays the same file.
TEST_F(MorvaneCliTest, ScriptOutOntoAnOwnStreamAppendsToIt) {
  const fs::path doc = tmp_.write("a.numbers");
  const fs::path log = tmp_.write("run.log", "earlier lines\n");
  const int fd = ::open(log.c_str(), O_WRONLY | O_APPEND);
  ASSERT_GE(fd, 0);
  struct stat before;
  ASSERT_EQ(::stat(log.c_str(), &before), 0);
  EXPECT_EQ(run({"--yes", "--target", (tmp_.path() / "out").string(), "--script-out",
                 "/proc/self/fd/" + std::to_string(fd), doc.string()}),
            kExitSuccess);
  ::close(fd);
  struct stat after;
  ASSERT_EQ(::stat(log.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  const std::string text = readFile(log);
  EXPECT_TRUE(text.starts_with("earlier lines\ntell application")) << text;
}

TEST_F(MorvaneCliTest, ScriptOutWritesThroughLinksAndIntoSpecialFiles) {
  const fs::path doc = tmp_.write("a.numbers");
  const std::vector<std::string> options = {"--yes", "--target", (tmp_.path() / "out").string()};
  auto runInto = [&](const fs::path& file) {
    std::vector<std::string> args = options;
    args.insert(args.end(), {"--script-out", file.string(), doc.string()});
    return run(args);
  };
  const fs::path plain = tmp_.path() / "plain.applescript";
  ASSERT_EQ(runInto(plain), kExitSuccess);
  const std::string script = readFile(plain);

  const fs::path real = tmp_.write("scripts/real.applescript", "old");
  const fs::path link = tmp_.path() / "link.applescript";
  fs::create_symlink(real, link);
  const fs::path dangling = tmp_.path() / "dangling.applescript";
  fs::create_symlink(tmp_.path() / "scripts/new.applescript", dangling);
  const fs::path fifo = tmp_.path() / "fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const int reader = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK);  // writing does not block
  ASSERT_GE(reader, 0);

  EXPECT_EQ(runInto(link), kExitSuccess);
  EXPECT_EQ(runInto(dangling), kExitSuccess);
  EXPECT_EQ(runInto(fifo), kExitSuccess);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(readFile(real), script);
  EXPECT_TRUE(fs::is_symlink(dangling));
  EXPECT_EQ(readFile(tmp_.path() / "scripts/new.applescript"), script);
  EXPECT_TRUE(fs::is_fifo(fs::symlink_status(fifo)));
  std::string piped(script.size() + 16, '\0');
  const ssize_t got = ::read(reader, piped.data(), piped.size());
  ::close(reader);
  EXPECT_EQ(piped.substr(0, got < 0 ? 0 : static_cast<std::size_t>(got)), script);
  for (const auto& item : fs::directory_iterator(tmp_.path())) {
    EXPECT_EQ(item.path().string().find(".part"), std::string::npos) << item.path();
  }
}

TEST_F(MorvaneCliTest, ScriptOutNeverWritesOverASourceOfTheRun) {
  const std::string document(4096, 'd');
  tmp_.write("v.docx", document);
  tmp_.write("Docs/Sub/a.docx", document);
  tmp_.write("Docs/B.pages/Index.zip", document);
  fs::create_symlink(tmp_.path() / "v.docx", tmp_.path() / "link.docx");
  const WorkingFolder here(tmp_.path());
  const std::vector<std::pair<std::string, std::string>> refused = {
      {"v.docx", "v.docx"},             // the document itself
      {"link.docx", "v.docx"},          // a link to it
      {"./Docs/../v.docx", "v.docx"},   // another spelling of it
      {"Docs/Sub/a.docx", "Docs"},      // a file below a listed folder
      {"Docs/B.pages/Index.zip", "Docs"},     // a file of a document package
      {"Docs/B.pages/run.applescript", "Docs"}};  // a new file inside a package
  for (const auto& [scriptOut, path] : refused) {
    EXPECT_EQ(run({"--yes", "--target", "out", "--script-out", scriptOut, path}), kExitUsage)
        << scriptOut;
    EXPECT_TRUE(err_.str().starts_with("morvane-cli: --script-out " +
                                       (tmp_.path() / scriptOut).string()))
        << err_.str();
  }
  for (const char* doc : {"v.docx", "Docs/Sub/a.docx", "Docs/B.pages/Index.zip"}) {
    EXPECT_EQ(readFile(tmp_.path() / doc), document) << doc;
  }
  EXPECT_TRUE(fs::is_symlink(tmp_.path() / "link.docx"));
  EXPECT_FALSE(fs::exists(tmp_.path() / "Docs/B.pages/run.applescript"));
  EXPECT_FALSE(fs::exists(tmp_.path() / "out"));
  EXPECT_TRUE(scripts_.created.empty());
  // Beside the documents of a listed folder a new file is fine.
  EXPECT_EQ(run({"--yes", "--target", "out", "--script-out", "Docs/run.applescript", "Docs"}),
            kExitSuccess);
  EXPECT_NE(readFile(tmp_.path() / "Docs/run.applescript").find("open POSIX file"),
            std::string::npos);
}

TEST_F(MorvaneCliTest, VanishedWorkingFolderIsAUsageError) {
  const fs::path doc = tmp_.write("a.pages");
  const std::string out = (tmp_.path() / "out").string();
  const fs::path gone = tmp_.mkdir("gone");
  const WorkingFolder here(gone);
  fs::remove(gone);
  EXPECT_EQ(run({"--yes", "--target", out, "a.pages"}), kExitUsage);
  EXPECT_NE(err_.str().find("morvane-cli: cannot locate a.pages: the working folder cannot be read"),
            std::string::npos)
      << err_.str();
  EXPECT_EQ(run({"--yes", "--target", "out", doc.string()}), kExitUsage);
  EXPECT_EQ(run({"--yes", "--target", out, "--script-out", "s", doc.string()}), kExitUsage);
  EXPECT_TRUE(scripts_.created.empty());
  EXPECT_EQ(run({"--yes", "--target", out, doc.string()}), kExitSuccess);
}

TEST_F(MorvaneCliTest, QuestionsWithoutTerminalAreCancelled) {
  const fs::path doc = tmp_.write("a.pages");
  EXPECT_EQ(run({"--target", tmp_.path().string(), doc.string()}), kExitQuestion);
  EXPECT_NE(err_.str().find("Before we start conversion\n"), std::string::npos);
  EXPECT_NE(err_.str().find("-> Cancel (no terminal to answer on)"), std::string::npos);
  EXPECT_EQ(run({"--yes", doc.string()}), kExitQuestion);  // no folder can be asked for
  EXPECT_NE(err_.str().find("No target folder"), std::string::npos);
  EXPECT_TRUE(scripts_.created.empty());
}

TEST_F(MorvaneCliTest, TerminalAnswersChooseTheTarget) {
  const fs::path doc = tmp_.write("a.pages");
  const fs::path out = tmp_.mkdir("chosen");
  EXPECT_EQ(run({doc.string()}, true, "ok\n" + out.string() + "\nok\nok\n"), kExitSuccess);
  ASSERT_EQ(scripts_.created.size(), 1u);
  EXPECT_EQ(run({doc.string()}, true, "ok\n" + (tmp_.path() / "nope").string() + "\n"),
            kExitQuestion);
  EXPECT_NE(err_.str().find("Not a folder: "), std::string::npos);
  EXPECT_EQ(run({doc.string()}, true, "c\n"), kExitQuestion);

  scripts_.executeError = ScriptError{{{"message", "broken"}}};
  EXPECT_EQ(run({"--target", out.string(), doc.string()}, true, "o\ns\n"), kExitFailure);
  EXPECT_NE(err_.str().find("Subject: Morvane Error Report"), std::string::npos);
}

}  // namespace
}  // namespace morvane

namespace morvane {
namespace {

// What a run did goes to standard output, where scripts read results;
// questions, failures and errors go to standard error.
TEST_F(MorvaneCliTest, ResultsOnStandardOutputErrorsOnStandardError) {
  const fs::path doc = tmp_.write("a.pages");
  const std::string target = (tmp_.path() / "out").string();
  out_.str("");
  EXPECT_EQ(run({"--yes", "--target", target, doc.string()}), kExitSuccess);
  EXPECT_EQ(out_.str(), "Success\nDid complete conversion.\n1 document converted\n");
  EXPECT_EQ(err_.str().find("Success"), std::string::npos) << err_.str();

  out_.str("");
  scripts_.executeError = ScriptError{{{"document", doc.string()}, {"message", "broken"}}};
  EXPECT_EQ(run({"--yes", "--target", target, doc.string()}), kExitFailure);
  EXPECT_EQ(out_.str(), "");
  EXPECT_NE(err_.str().find("Error\nThere was an error during the conversion.\nNot converted: " +
                            doc.string() + "\nbroken\n"),
            std::string::npos)
      << err_.str();
  // Without a terminal, nothing is asked of an alert that has no Cancel.
  EXPECT_EQ(err_.str().find("-> Cancel"), std::string::npos) << err_.str();

  out_.str("");
  ScriptError cancelled{{{"message", "the conversion was cancelled"}}};
  cancelled.cancelled = true;
  cancelled.converted = 0;
  scripts_.executeError = cancelled;
  EXPECT_EQ(run({"--yes", "--target", target, doc.string()}), kExitCancelled);
  EXPECT_NE(out_.str().find("Conversion cancelled\n"), std::string::npos) << out_.str();
}

// --log turns the diagnostic lines on; without it they are off.
TEST_F(MorvaneCliTest, LogOptionTurnsTheDiagnosticLinesOn) {
  const fs::path doc = tmp_.write("a.pages");
  std::vector<bool> asked;
  auto runWith = [&](std::vector<std::string> args) {
    return runCli(args, {env_, scripts_, version_, in_, out_, err_, false, backend_, nullptr,
                         nullptr, nullptr, [&asked](bool on) { asked.push_back(on); }});
  };
  const std::string target = (tmp_.path() / "out").string();
  EXPECT_EQ(runWith({"--yes", "--target", target, doc.string()}), kExitSuccess);
  EXPECT_EQ(runWith({"--log", "--yes", "--target", target, doc.string()}), kExitSuccess);
  EXPECT_EQ(asked, (std::vector<bool>{false, true}));
  EXPECT_NE(std::string(kCliUsage).find("--log"), std::string::npos);
}

#ifdef MORVANE_TEST_CLI
// Runs the real program; its standard output and standard error apart.
int runProgram(const std::string& arguments, const fs::path& scratch, std::string* out,
               std::string* err) {
  const fs::path outFile = scratch / "stdout", errFile = scratch / "stderr";
  const std::string command = std::string(MORVANE_TEST_CLI) + " " + arguments + " >" +
                              outFile.string() + " 2>" + errFile.string() + " </dev/null";
  const int status = std::system(command.c_str());
  std::ifstream o(outFile), e(errFile);
  std::stringstream os, es;
  os << o.rdbuf();
  es << e.rdbuf();
  *out = os.str();
  *err = es.str();
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The program as a script meets it: standard output holds the result and
// nothing else; the diagnostic lines, exactly as before, only with --log.
TEST(MorvaneCliProgramTest, StandardOutputHoldsResultsAndLinesOnlyWithLog) {
  testing::TempDir tmp;
  tmp.write("Docs/a.pages");
  const fs::path scratch = tmp.mkdir("scratch");
  const std::string common = "--yes --target '" + (tmp.path() / "out").string() +
                             "' --script-out '" + (tmp.path() / "run.applescript").string() +
                             "' '" + (tmp.path() / "Docs").string() + "'";
  std::string out, err;
  ASSERT_EQ(runProgram(common, scratch, &out, &err), 0) << err;
  EXPECT_EQ(out, "Success\nDid complete conversion.\n1 document converted\n");
  EXPECT_EQ(err.find("Before we start conversion"), std::string::npos) << err;

  ASSERT_EQ(runProgram("--log " + common, scratch, &out, &err), 0) << err;
  EXPECT_NE(out.find("\nisConvertible? pages\n"), std::string::npos) << out;
  EXPECT_NE(out.find(" at lefel: 0\n"), std::string::npos) << out;
  EXPECT_TRUE(out.ends_with("Success\nDid complete conversion.\n1 document converted\n")) << out;

  // An error goes to standard error alone.
  ASSERT_EQ(runProgram("--yes --frobnicate x", scratch, &out, &err), 2);
  EXPECT_EQ(out, "");
  EXPECT_NE(err.find("unknown option --frobnicate"), std::string::npos);
}
#endif

}  // namespace
}  // namespace morvane

namespace morvane {
namespace {

// Documents whose chosen formats give no export are not converted: a run
// of nothing else does not start and says why on standard error; one with
// other documents converts them and names the rest.
TEST_F(MorvaneCliTest, DocumentsWithoutAnExportAreNamedNotCounted) {
  const fs::path a = tmp_.write("a.docx");
  const fs::path b = tmp_.write("b.docx");
  const fs::path out = tmp_.path() / "out";
  EXPECT_EQ(run({"--yes", "--target", out.string(), a.string(), b.string()}), kExitFailure);
  EXPECT_EQ(err_.str(), "morvane-cli: nothing to convert: docx files have no Office export: "
                        "choose PDF or iWork (a.docx, b.docx)\n");
  EXPECT_EQ(out_.str(), "");
  EXPECT_TRUE(scripts_.created.empty());
  EXPECT_FALSE(fs::exists(out));

  out_.str("");
  err_.str("");
  const fs::path pages = tmp_.write("c.pages");
  EXPECT_EQ(run({"--yes", "--target", out.string(), a.string(), pages.string()}), kExitSuccess);
  EXPECT_EQ(out_.str(), "Success\nDid complete conversion.\n1 document converted\nNot converted: " +
                            a.string() + " — docx files have no Office export\n");
  EXPECT_TRUE(err_.str().ends_with("\n-> OK\nmorvane-cli: not converted: " + a.string() +
                                   ": docx files have no Office export: choose PDF or iWork\n"))
      << err_.str();
  EXPECT_EQ(scripts_.created.at(0).find(a.string()), std::string::npos);
}

TEST(RunReportTextTest, MissingExportsAndGroupsOfDocuments) {
  EXPECT_EQ(describeMissingExport({"pages", {"iwork"}, {"office", "pdf"}}, true),
            "pages files have no iWork export: choose PDF or Office");
  EXPECT_EQ(describeMissingExport({"docx", {}, {"iwork", "pdf"}}, false), "docx files have no export");
  RunReport report;
  for (const char* name : {"/a/1.docx", "/a/2.docx", "/a/3.docx", "/a/4.docx", "/a/5.docx"}) {
    report.withoutExport.push_back({name, {"docx", {"office"}, {"iwork", "pdf"}}});
  }
  report.withoutExport.push_back({"/a/x.key", {"key", {"iwork"}, {"office", "pdf"}}});
  EXPECT_EQ(describeNothingToConvert(report),
            (std::vector<std::string>{
                "docx files have no Office export: choose PDF or iWork (1.docx, 2.docx, 3.docx "
                "and 2 more)",
                "key files have no iWork export: choose PDF or Office (x.key)"}));
}

}  // namespace
}  // namespace morvane
