#include "app/command_line.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QUrl>
#include <cstdio>
#include <string>

#include "testing/temp_dir.h"

namespace morvane {
namespace {

using Action = CommandLine::Action;

QString q(const std::filesystem::path& p) { return QString::fromStdString(p.string()); }

CommandLine parse(QStringList args, const QString& here = QStringLiteral("/")) {
  args.prepend(QStringLiteral("/usr/bin/morvane"));
  return parseCommandLine(args, here);
}

TEST(CommandLineTest, HelpAndVersionAnswerWhateverElseIsOnTheLine) {
  const QString savedVersion = QCoreApplication::applicationVersion();
  QCoreApplication::setApplicationVersion(QStringLiteral("9.8.7"));
  for (const QStringList& args :
       {QStringList{"--help"}, QStringList{"-h"}, QStringList{"a.pages", "-h", "--bogus"},
        // Qt's own options, before Qt has taken them out
        QStringList{"-platform", "xcb", "-reverse", "--help"}}) {
    const CommandLine line = parse(args);
    EXPECT_EQ(line.action, Action::showHelp) << args.join(' ').toStdString();
    EXPECT_TRUE(line.text.startsWith("Usage: morvane [options] [FILE…]\n"))
        << line.text.toStdString();
    EXPECT_TRUE(line.text.contains("--version"));
    EXPECT_TRUE(line.request.files.isEmpty());
  }
  for (const QStringList& args :
       {QStringList{"--version"}, QStringList{"-v"}, QStringList{"-reverse", "-v", "x.pages"}}) {
    const CommandLine line = parse(args);
    EXPECT_EQ(line.action, Action::showVersion) << args.join(' ').toStdString();
    EXPECT_EQ(line.text, QCoreApplication::applicationName() + " 9.8.7\n");
  }
  QCoreApplication::setApplicationVersion(savedVersion);
}

TEST(CommandLineTest, UnknownOptionIsOneLineWithAHint) {
  const CommandLine line = parse({"--bogus", "a.pages"});
  EXPECT_EQ(line.action, Action::usageError);
  EXPECT_EQ(line.text, "morvane: Unknown option 'bogus'. Try 'morvane --help'.\n");
  EXPECT_TRUE(line.request.files.isEmpty());
  EXPECT_EQ(parse({"-x"}).action, Action::usageError);
}

TEST(CommandLineTest, PathsAreMadeAbsoluteAgainstTheGivenFolder) {
  testing::TempDir tmp;
  const auto a = tmp.write("here/a.pages");
  const auto sub = tmp.mkdir("here/sub");
  const auto colon = tmp.write("here/x:y.pages");  // a name that looks like a URL
  const auto other = tmp.write("elsewhere/b.key");
  const CommandLine line =
      parse({"a.pages", "./sub/", "x:y.pages", "../elsewhere/b.key", "nothere.key", q(other), ""},
            q(tmp.path() / "here"));
  EXPECT_EQ(line.action, Action::open);
  EXPECT_EQ(line.request.files, (QStringList{q(a), q(sub), q(colon), q(other), q(other)}));
  EXPECT_EQ(line.request.missing, (QStringList{q(tmp.path() / "here/nothere.key"), ""}));
  EXPECT_TRUE(line.notLocal.isEmpty());
}

TEST(CommandLineTest, FileUrlsStayUrlsOtherUrlsAreNotLocal) {
  testing::TempDir tmp;
  const auto a = tmp.write("a b.pages");
  const QString url = QUrl::fromLocalFile(q(a)).toString(QUrl::FullyEncoded);
  const QString gone = QUrl::fromLocalFile(q(tmp.path() / "gone.key")).toString();
  const CommandLine line =
      parse({url, gone, "https://example.com/c.pages", "--", "--version"}, q(tmp.path()));
  EXPECT_EQ(line.action, Action::open);
  EXPECT_EQ(line.request.files, QStringList{url});
  // After "--" a name is a file even when it looks like an option.
  EXPECT_EQ(line.request.missing,
            (QStringList{q(tmp.path() / "gone.key"), q(tmp.path() / "--version")}));
  EXPECT_EQ(line.notLocal, QStringList{"https://example.com/c.pages"});
}

TEST(CommandLineTest, ReportsEachUnusableItemOnItsOwnLine) {
  CommandLine line;
  line.request.files = {"/ok.pages"};
  line.request.missing = {"/no/such.pages", "/gone"};
  line.notLocal = {"https://example.com/x"};
  char* text = nullptr;
  std::size_t size = 0;
  std::FILE* err = open_memstream(&text, &size);
  reportUnusable(line, err);
  std::fclose(err);
  EXPECT_EQ(std::string(text, size),
            "morvane: /no/such.pages: no such file or folder\n"
            "morvane: /gone: no such file or folder\n"
            "morvane: https://example.com/x: not a local file\n");
  std::free(text);
}

}  // namespace
}  // namespace morvane
