#include "engine/error_report.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "engine/alerts.h"
#include "engine/script_runner.h"
#include "options/morvane_options.h"
#include "testing/recording_fakes.h"
#include "testing/temp_dir.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;

const std::string kScript =
    "tell application \"/Applications/Pages.app\"\n"
    "  open POSIX file \"/in/a.pages\"\n"
    "  export document 1 to POSIX file \"/out/a.docx\" as Microsoft Word\n"
    "end tell\n";

// A LibreOffice run that went on after two failed documents: the error
// names the first one (where it stopped, and LibreOffice's words) and
// lists both.
ScriptError keptGoingError() {
  ScriptError error{{{"application", "Pages"},
                     {"statement", "open POSIX file \"/in/a.pages\""},
                     {"line", "2"},
                     {"document", "/in/a.pages"},
                     {"message", "the document is damaged"},
                     {"details", "Error Area:Io Class:General Code:13"}}};
  error.failedDocuments = {
      {"/in/a.pages", {FailureKind::damaged, "the document is damaged",
                       "Error Area:Io Class:General Code:13"}},
      {"/in/b.key", {FailureKind::noPermission, "no permission to read /in/b.key"}}};
  return error;
}

const ReportOrigin kOrigin{"0.1.0",
                           {"LibreOffice 7.4.7.2", "iWork reader: libetonyek 0.1.12 (ours)"},
                           "Debian GNU/Linux 12 (bookworm)",
                           "6.1.0-18-amd64"};

TEST(ErrorReportTest, TellsVersionsSystemAndEachFailedDocumentWithItsDetails) {
  const std::string text =
      errorReportText(kOrigin, errorReportFor(keptGoingError(), kScript, false));
  EXPECT_EQ(text,
            "Morvane 0.1.0\n"
            "LibreOffice 7.4.7.2\n"
            "iWork reader: libetonyek 0.1.12 (ours)\n"
            "Distribution: Debian GNU/Linux 12 (bookworm)\n"
            "Kernel: 6.1.0-18-amd64\n"
            "\n"
            "Error:\n"
            "Application: Pages\n"
            "\n"
            "Failed documents (2):\n"
            "Document: /in/a.pages\n"
            "Reason: the document is damaged\n"
            "Details: Error Area:Io Class:General Code:13\n"
            "\n"
            "Document: /in/b.key\n"
            "Reason: no permission to read /in/b.key\n");
}

// The LibreOffice service runs no script in the user's applications:
// neither the script nor the statement it stopped at goes into the report.
// The osascript service's script is what ran: it goes in whole.
TEST(ErrorReportTest, HoldsTheScriptOnlyWhereItRanInTheUsersApplications) {
  ScriptError stopped{{{"application", "Pages"},
                       {"statement", "open POSIX file \"/in/a.pages\""},
                       {"line", "2"},
                       {"document", "/in/a.pages"},
                       {"message", "LibreOffice crashed on this document"},
                       {"details", "stopped unexpectedly (killed by signal 11)"}}};
  const ErrorReport office = errorReportFor(stopped, kScript, false);
  EXPECT_EQ(office.script, "");
  EXPECT_EQ(office.failedDocuments,
            (std::vector<ReportedDocument>{{"/in/a.pages", "LibreOffice crashed on this document",
                                          "stopped unexpectedly (killed by signal 11)"}}));
  const std::string officeText = errorReportText(kOrigin, office);
  for (const char* script : {"tell application", "open POSIX file", "export document",
                             "Line:", "Script:", "Statement:"}) {
    EXPECT_EQ(officeText.find(script), std::string::npos) << script << " in\n" << officeText;
  }

  const ScriptError osascript{
      {{"NSAppleScriptErrorMessage", "Pages got an error: AppleEvent timed out."},
       {"NSAppleScriptErrorNumber", "-1712"}}};
  const std::string osaText = errorReportText(kOrigin, errorReportFor(osascript, kScript, true));
  EXPECT_NE(osaText.find("\nError:\nNSAppleScriptErrorMessage: Pages got an error: AppleEvent "
                         "timed out.\nNSAppleScriptErrorNumber: -1712\n"),
            std::string::npos)
      << osaText;
  EXPECT_TRUE(osaText.ends_with("\nScript:\n" + kScript)) << osaText;
  // Where it stopped belongs to the script that is told.
  const std::string withPlace = errorReportText(kOrigin, errorReportFor(stopped, kScript, true));
  EXPECT_NE(withPlace.find("Statement: open POSIX file \"/in/a.pages\"\nLine: 2\n"),
            std::string::npos)
      << withPlace;
}

TEST(ErrorReportTest, APlainFailureAndAnUnknownOrigin) {
  const std::string text =
      errorReportText({"0.1.0", {}, "", ""}, ErrorReport("Target folder /out: it is not a folder"));
  EXPECT_EQ(text, "Morvane 0.1.0\n\nError:\nReason: Target folder /out: it is not a folder\n");
}

TEST(ErrorReportTest, OsReleaseNamesTheDistribution) {
  EXPECT_EQ(osReleaseName("NAME=\"Debian GNU/Linux\"\nVERSION_ID=\"12\"\n"
                          "PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nID=debian\n"),
            "Debian GNU/Linux 12 (bookworm)");
  EXPECT_EQ(osReleaseName("# comment\nPRETTY_NAME='Fedora Linux 40 (Workstation Edition)'\n"),
            "Fedora Linux 40 (Workstation Edition)");
  EXPECT_EQ(osReleaseName("PRETTY_NAME=\"Say \\\"hi\\\" \\\\ 1\"\n"), "Say \"hi\" \\ 1");
  EXPECT_EQ(osReleaseName("PRETTY_NAME=Arch\n"), "Arch");
  EXPECT_EQ(osReleaseName("NAME=Gentoo\nVERSION=\"2.15\"\n"), "Gentoo 2.15");
  EXPECT_EQ(osReleaseName("ID=none\n"), "");
  EXPECT_EQ(osReleaseName(""), "");
}

// This machine's own answers: the kernel as uname tells it (current()
// parses the same text), the distribution from its os-release.
TEST(ErrorReportTest, ThePosixSystemTellsItsKernelAndDistribution) {
  const PosixSystemVersion system;
  const std::string kernel = system.kernelRelease();
  ASSERT_FALSE(kernel.empty());
  EXPECT_EQ(system.current().majorVersion, parseSystemVersion(kernel).majorVersion);
  std::ifstream osRelease("/etc/os-release");
  if (!osRelease) GTEST_SKIP() << "no /etc/os-release here";
  std::stringstream text;
  text << osRelease.rdbuf();
  EXPECT_EQ(system.distribution(), osReleaseName(text.str()));
  EXPECT_FALSE(system.distribution().empty());
}

// The support address is one build setting: the mail goes to it, and no
// source, resource or build file but the one that declares it names it.
TEST(ErrorReportTest, TheAddressIsTheBuildSettingAlone) {
  EXPECT_EQ(supportAddress(), MORVANE_SUPPORT_ADDRESS);
  EXPECT_EQ(composeErrorReport(kOrigin, ErrorReport()).recipient, MORVANE_SUPPORT_ADDRESS);
  const fs::path source = MORVANE_SOURCE_DIR;
  std::vector<std::string> naming;
  for (const char* folder : {"src", "resources", "cmake", "scripts", "translations"}) {
    for (const auto& entry : fs::recursive_directory_iterator(source / folder)) {
      if (!entry.is_regular_file()) continue;
      std::ifstream in(entry.path());
      std::stringstream text;
      text << in.rdbuf();
      if (text.str().find(MORVANE_SUPPORT_ADDRESS) != std::string::npos) {
        naming.push_back(entry.path().string());
      }
    }
  }
  EXPECT_EQ(naming, std::vector<std::string>{});
}

// Through a failed run: the report the error alert sends holds the
// backend lines the front end knows, the system's, the failed documents
// with their details, and the script only for osascript.
class FailedRunReportTest : public ::testing::Test {
 protected:
  std::string sentReport(bool osascript) {
    testing::RecordingEnv env;
    testing::FakeScriptService scripts;
    scripts.userApplications = osascript;
    scripts.executeError = keptGoingError();
    testing::FakeAlertService alerts;
    alerts.backend = {"LibreOffice 7.4.7.2"};
    alerts.responses = {kAlertThirdButtonReturn};
    const testing::FixedSystemVersion version({6, 1, 0}, "6.1.0-18-amd64", "Debian GNU/Linux 12");
    MorvaneOptions options(version, env);
    ScriptRunner runner(options, {env, scripts, alerts, version});
    EXPECT_EQ(runner.executeScript(kScript), RunOutcome::failed);
    EXPECT_EQ(alerts.backendAsked, 1);
    if (alerts.mails.size() != 1u) return {};
    return alerts.mails[0].body;
  }
};

TEST_F(FailedRunReportTest, LibreOfficeRunSendsNoScript) {
  const std::string body = sentReport(false);
  for (const char* part : {"\nMorvane 0.1", "\nLibreOffice 7.4.7.2\n",
                           "\nDistribution: Debian GNU/Linux 12\n", "\nKernel: 6.1.0-18-amd64\n",
                           "Document: /in/b.key\nReason: no permission to read /in/b.key\n",
                           "Details: Error Area:Io Class:General Code:13\n"}) {
    EXPECT_NE(body.find(part), std::string::npos) << part << " not in\n" << body;
  }
  EXPECT_EQ(body.find("tell application"), std::string::npos) << body;
  EXPECT_EQ(body.find("OperatingSystemVersion"), std::string::npos) << body;
}

TEST_F(FailedRunReportTest, OsascriptRunSendsItsScript) {
  const std::string body = sentReport(true);
  EXPECT_TRUE(body.ends_with("\nScript:\n" + kScript)) << body;
  EXPECT_NE(body.find("Details: Error Area:Io Class:General Code:13\n"), std::string::npos);
}

}  // namespace
}  // namespace morvane
