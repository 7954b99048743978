#include "cli/morvane_cli.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "testing/recording_fakes.h"
#include "testing/temp_dir.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;

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
  EXPECT_NE(err_.str().find("unknown option --frobnicate"), std::string::npos);
  EXPECT_EQ(run({"a.docx", "--target"}), kExitUsage);
  EXPECT_EQ(run({"--target=", "a.docx"}), kExitUsage);
  EXPECT_EQ(run({"--help"}), kExitSuccess);
  EXPECT_NE(out_.str().find("usage: morvane-cli"), std::string::npos);
  EXPECT_EQ(run({"--version"}), kExitSuccess);
  EXPECT_NE(out_.str().find("morvane-cli 0."), std::string::npos);
  EXPECT_TRUE(scripts_.created.empty());
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
  EXPECT_EQ(run({"--yes", "--target", out.string(), (tmp_.path() / "Docs").string()}),
            kExitFailure);
  EXPECT_NE(err_.str().find("There was an error during the conversion."), std::string::npos);
}

TEST_F(MorvaneCliTest, ScriptOutWritesTheScriptInsteadOfRunningIt) {
  const fs::path doc = tmp_.write("a.xlsx");
  const fs::path file = tmp_.path() / "run.applescript";
  EXPECT_EQ(run({"--yes", "--target", (tmp_.path() / "out").string(), "--script-out",
                 file.string(), doc.string()}),
            kExitSuccess);
  EXPECT_TRUE(scripts_.created.empty());
  EXPECT_EQ(readFile(file), "tell application \"/Applications/Numbers.app\"\n  activate\n"
                            "  open POSIX file \"" + doc.string() + "\"\n  close document 1\n"
                            "  quit\nend tell\n");
  EXPECT_EQ(run({"--yes", "--target", tmp_.path().string(), "--script-out",
                 (tmp_.path() / "missing/dir/x").string(), doc.string()}),
            kExitFailure);
  EXPECT_FALSE(fs::exists(tmp_.path() / "missing"));
}

TEST_F(MorvaneCliTest, QuestionsWithoutTerminalAreCancelled) {
  const fs::path doc = tmp_.write("a.docx");
  EXPECT_EQ(run({"--target", tmp_.path().string(), doc.string()}), kExitQuestion);
  EXPECT_NE(err_.str().find("Before we start conversion\n"), std::string::npos);
  EXPECT_NE(err_.str().find("-> Cancel (no terminal to answer on)"), std::string::npos);
  EXPECT_EQ(run({"--yes", doc.string()}), kExitQuestion);  // no folder can be asked for
  EXPECT_NE(err_.str().find("No target folder"), std::string::npos);
  EXPECT_TRUE(scripts_.created.empty());
}

TEST_F(MorvaneCliTest, TerminalAnswersChooseTheTarget) {
  const fs::path doc = tmp_.write("a.docx");
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
