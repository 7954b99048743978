#include "office/osascript_service.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "testing/temp_dir.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;

// A stand-in for osascript: keeps what it was handed, then answers as
// the test wrote it.
fs::path standIn(testing::TempDir& tmp, const std::string& behaviour) {
  const fs::path program = tmp.write("osascript", "#!/bin/sh\n[ \"$1\" = - ] || exit 9\ncat > '" +
                                                      (tmp.path() / "received").string() + "'\n" +
                                                      behaviour + "\n");
  fs::permissions(program, fs::perms::owner_all);
  return program;
}

std::string received(testing::TempDir& tmp) {
  std::ifstream in(tmp.path() / "received");
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

const char kScript[] = "tell application \"/Applications/Pages.app\"\n  activate\n  quit\nend tell\n";

TEST(OsascriptServiceTest, HandsTheTextOverOnStandardInput) {
  testing::TempDir tmp;
  OsascriptService service(standIn(tmp, "echo result; exit 0").string());
  ScriptError error;
  std::unique_ptr<Script> script = service.create(kScript, &error);
  ASSERT_NE(script, nullptr);
  EXPECT_TRUE(script->execute(&error));
  EXPECT_EQ(received(tmp), kScript);
}

TEST(OsascriptServiceTest, DescribesAFailureFromStandardErrorAndStatus) {
  testing::TempDir tmp;
  OsascriptService service(
      standIn(tmp, "echo \"4:12: execution error: Pages got an error: Can't get document 1. (-1728)\" >&2; exit 1")
          .string());
  ScriptError error;
  EXPECT_FALSE(service.create(kScript, &error)->execute(&error));
  ASSERT_EQ(error.info.size(), 2u);
  EXPECT_EQ(error.info[0].second,
            "4:12: execution error: Pages got an error: Can't get document 1. (-1728)");
  EXPECT_EQ(error.info[1].second, "exited with status 1");

  OsascriptService silent(standIn(tmp, "kill -TERM $$").string());
  EXPECT_FALSE(silent.create(kScript, &error)->execute(&error));
  EXPECT_EQ(error.info[0].second, "osascript killed by signal 15 (Terminated)");

  OsascriptService missing((tmp.path() / "none").string());
  EXPECT_FALSE(missing.create(kScript, &error)->execute(&error));
  EXPECT_NE(error.info[0].second.find("cannot start"), std::string::npos);
}

TEST(OsascriptServiceTest, CancelEndsTheOsascriptProcessAtOnce) {
  testing::TempDir tmp;
  const fs::path pidFile = tmp.path() / "pid";
  // The pid file appears whole (written beside it, then renamed).
  OsascriptService service(standIn(tmp, "echo $$ > '" + pidFile.string() + ".new'; mv '" +
                                            pidFile.string() + ".new' '" + pidFile.string() +
                                            "'; sleep 60")
                               .string());
  ScriptError error;
  std::unique_ptr<Script> script = service.create(kScript, &error);
  std::thread canceller([&] {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!fs::exists(pidFile) && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    script->cancel();
  });
  const auto started = std::chrono::steady_clock::now();
  EXPECT_FALSE(script->execute(&error));
  canceller.join();
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(59));
  EXPECT_TRUE(error.cancelled);
  std::ifstream in(pidFile);
  int pid = 0;
  in >> pid;
  EXPECT_NE(::kill(pid, 0), 0);  // gone with its group
}

}  // namespace
}  // namespace morvane
