// scripts/iwork-reader, run against a cache folder of the test's own: a
// complete reader with this tree's patches is found without any download,
// an incomplete one (without the ODF writer beside it, say) or one of other
// patches of either library is never used, and a download that fails stops
// with a clear message and leaves nothing behind. apt-get is replaced by a stub that records its
// calls and fails (and sudo by one that keeps the search path).
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "testing/temp_dir.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;

struct Outcome {
  int status = -1;
  std::string output;  // standard output and error together
};

class IworkReaderSetupTest : public ::testing::Test {
 protected:
  IworkReaderSetupTest() {
    tmp_.write("bin/apt-get",
               "#!/bin/sh\necho \"$@\" >> \"" + (tmp_.path() / "apt-calls").string() +
                   "\"\necho 'E: the archive cannot be reached' >&2\nexit 100\n");
    // sudo would reset the search path and reach the real apt-get.
    tmp_.write("bin/sudo", "#!/bin/sh\nexec \"$@\"\n");
    for (const char* tool : {"bin/apt-get", "bin/sudo"}) {
      fs::permissions(tmp_.path() / tool, fs::perms::owner_all);
    }
    cache_ = tmp_.mkdir("cache");
  }

  Outcome run(const std::string& arguments,
              const fs::path& script = MORVANE_SOURCE_DIR "/scripts/iwork-reader") {
    const std::string command = "MORVANE_CACHE_DIR='" + cache_.string() + "' PATH='" +
                                (tmp_.path() / "bin").string() + ":" + std::getenv("PATH") +
                                "' '" + script.string() + "' " + arguments + " 2>&1";
    Outcome outcome;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
      char buffer[4096];
      while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) {
        outcome.output.append(buffer, n);
      }
      const int status = ::pclose(pipe);
      outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    return outcome;
  }

  std::vector<std::string> cacheEntries() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(cache_)) names.push_back(e.path().filename());
    return names;
  }

  testing::TempDir tmp_;
  fs::path cache_;
};

TEST_F(IworkReaderSetupTest, ACompleteReaderIsUsedAndAnIncompleteOneNever) {
  tmp_.write("cache/iwork-reader/lib/libetonyek-0.1.so.1", "half");
  EXPECT_EQ(run("--print-dir").output, "");

  // A build of another patch series is not used.
  tmp_.write("cache/iwork-reader/.complete", "0.1.12\npatches 0123456789abcdef\n");
  EXPECT_EQ(run("--print-dir").output, "");

  const std::string mark = run("--mark").output;
  ASSERT_EQ(mark.substr(0, 8), "patches ") << mark;
  tmp_.write("cache/iwork-reader/.complete", "0.1.12\n" + mark);
  EXPECT_EQ(run("--print-dir").output, "") << "the ODF writer is missing";
  tmp_.write("cache/iwork-reader/lib/libodfgen-0.1.so.1", "writer");
  EXPECT_EQ(run("--print-dir").output, (cache_ / "iwork-reader/lib").string() + "\n");
  const Outcome setup = run("");
  EXPECT_EQ(setup.status, 0) << setup.output;
  EXPECT_FALSE(fs::exists(tmp_.path() / "apt-calls")) << "nothing is downloaded again";
}

// The script in a tree of its own, whose patches the test changes: a change
// to either series is a build of its own.
TEST_F(IworkReaderSetupTest, EitherPatchSeriesMarksTheBuild) {
  const fs::path script = tmp_.mkdir("tree/scripts") / "iwork-reader";
  fs::copy_file(MORVANE_SOURCE_DIR "/scripts/iwork-reader", script);
  fs::permissions(script, fs::perms::owner_all);
  tmp_.write("tree/third_party/libetonyek/patches/01-a.patch", "reader\n");
  tmp_.write("tree/third_party/libodfgen/patches/01-a.patch", "writer\n");
  const std::string first = run("--mark", script).output;

  tmp_.write("tree/third_party/libodfgen/patches/01-a.patch", "writer, mended\n");
  const std::string writerChanged = run("--mark", script).output;
  EXPECT_NE(writerChanged, first);
  tmp_.write("tree/third_party/libetonyek/patches/01-a.patch", "reader, mended\n");
  EXPECT_NE(run("--mark", script).output, writerChanged);

  // The same patch in the other series is another build.
  fs::remove(tmp_.path() / "tree/third_party/libodfgen/patches/01-a.patch");
  const std::string readerOnly = run("--mark", script).output;
  fs::rename(tmp_.path() / "tree/third_party/libetonyek/patches/01-a.patch",
             tmp_.path() / "tree/third_party/libodfgen/patches/01-a.patch");
  EXPECT_NE(run("--mark", script).output, readerOnly);
}

TEST_F(IworkReaderSetupTest, AFailedDownloadStopsWithAMessageAndLeavesNothing) {
  const Outcome setup = run("");
  EXPECT_EQ(setup.status, 1);
  EXPECT_NE(setup.output.find("setup: cannot provide the iWork reader libetonyek 0.1.11 or later"),
            std::string::npos)
      << setup.output;
  EXPECT_NE(setup.output.find("the archive cannot be reached"), std::string::npos);
  EXPECT_TRUE(cacheEntries().empty()) << cacheEntries().front();
  EXPECT_EQ(run("--print-dir").output, "");
}

}  // namespace
}  // namespace morvane
