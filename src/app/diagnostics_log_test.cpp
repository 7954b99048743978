// The window's diagnostic lines: messages of their own logging category,
// never bytes on standard output.
#include "app/diagnostics_log.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QString>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "platform/real_env.h"
#include "testing/temp_dir.h"

namespace morvane {
namespace {

struct Message {
  QtMsgType type;
  QString category, text;
};
std::vector<Message>* received = nullptr;

void record(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (received != nullptr) received->push_back({type, QString(context.category), text});
}

// What `write` puts on standard output (file descriptor 1).
template <typename Write>
std::string standardOutputOf(const testing::TempDir& tmp, Write write) {
  const std::string file = (tmp.path() / "stdout").string();
  std::fflush(stdout);
  const int saved = ::dup(STDOUT_FILENO);
  std::FILE* capture = std::fopen(file.c_str(), "w");
  ::dup2(::fileno(capture), STDOUT_FILENO);
  write();
  std::fflush(stdout);
  ::dup2(saved, STDOUT_FILENO);
  ::close(saved);
  std::fclose(capture);
  std::ifstream in(file);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(DiagnosticsLogTest, LinesGoToTheCategoryNotToStandardOutput) {
  testing::TempDir tmp;
  std::vector<Message> messages;
  received = &messages;
  const QtMessageHandler previous = qInstallMessageHandler(record);
  RealEnv env(diagnosticsCategorySink());
  const std::string printed = standardOutputOf(tmp, [&env] {
    env.log("isConvertible? docx");
    env.log("export to file format: pdf");
  });
  qInstallMessageHandler(previous);
  received = nullptr;
  EXPECT_EQ(printed, "");
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].type, QtInfoMsg);
  EXPECT_EQ(messages[0].category, "morvane.diagnostics");
  EXPECT_EQ(messages[0].text, "isConvertible? docx");
  EXPECT_EQ(messages[1].text, "export to file format: pdf");

  // Without a sink the lines go nowhere; by default to standard output,
  // for the worker and the command line's --log.
  EXPECT_EQ(standardOutputOf(tmp, [] { RealEnv(LogSink{}).log("quiet"); }), "");
  EXPECT_EQ(standardOutputOf(tmp, [] { RealEnv().log("told"); }), "told\n");
}

TEST(DiagnosticsLogTest, QuietOnATerminalUnlessTheRulesSayOtherwise) {
  EXPECT_TRUE(morvaneDiagnostics().isInfoEnabled());
  quietDiagnosticsOnTerminal(false);
  EXPECT_TRUE(morvaneDiagnostics().isInfoEnabled());
  quietDiagnosticsOnTerminal(true);
  EXPECT_FALSE(morvaneDiagnostics().isInfoEnabled());
  QLoggingCategory::setFilterRules(QString());
  EXPECT_TRUE(morvaneDiagnostics().isInfoEnabled());
}

}  // namespace
}  // namespace morvane
