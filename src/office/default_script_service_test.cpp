// The configuration taken from the environment: numeric settings within
// their bounds, malformed ones ignored, the iWork reader's folder chosen.
#include "office/default_script_service.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <map>
#include <optional>
#include <string>

namespace morvane {
namespace {

// Sets variables for one test and restores what was there.
class ScopedEnvironment {
 public:
  void set(const char* name, const char* value) {
    if (!saved_.contains(name)) {
      const char* old = std::getenv(name);
      saved_[name] = old != nullptr ? std::optional<std::string>(old) : std::nullopt;
    }
    ::setenv(name, value, 1);
  }
  ~ScopedEnvironment() {
    for (const auto& [name, value] : saved_) {
      if (value) ::setenv(name.c_str(), value->c_str(), 1); else ::unsetenv(name.c_str());
    }
  }

 private:
  std::map<std::string, std::optional<std::string>> saved_;
};

TEST(DefaultOfficeConfigTest, NumericSettingsAreBoundedAndMalformedOnesIgnored) {
  ScopedEnvironment env;
  const OfficeConfig defaults = [&] {
    env.set("MORVANE_OFFICE_WORKERS", "");
    env.set("MORVANE_STATEMENT_TIMEOUT", "");
    return defaultOfficeConfig();
  }();
  const std::map<std::string, std::pair<std::size_t, long>> cases = {
      {"3", {3, 3}},
      {"5abc", {defaults.workers, defaults.statementLimit.count() / 1000}},
      {"-2", {defaults.workers, defaults.statementLimit.count() / 1000}},
      {"0", {defaults.workers, defaults.statementLimit.count() / 1000}},
      {" 4", {defaults.workers, defaults.statementLimit.count() / 1000}},
      {"1000", {kMostWorkers, 1000}},
      {"99999999999999999999999", {kMostWorkers, kLongestStatementSeconds}}};
  for (const auto& [text, expected] : cases) {
    env.set("MORVANE_OFFICE_WORKERS", text.c_str());
    env.set("MORVANE_STATEMENT_TIMEOUT", text.c_str());
    const OfficeConfig config = defaultOfficeConfig();
    EXPECT_EQ(config.workers, expected.first) << text;
    EXPECT_EQ(config.statementLimit.count(), expected.second * 1000) << text;
  }
}

TEST(DefaultOfficeConfigTest, WorkersAreChosenPerRunAndReplacedWithinBounds) {
  ScopedEnvironment env;
  env.set("MORVANE_OFFICE_WORKERS", "");
  env.set("MORVANE_OFFICE_DOCUMENTS_PER_WORKER", "");
  env.set("MORVANE_OFFICE_WORKER_MEMORY_MB", "");
  const OfficeConfig defaults = defaultOfficeConfig();
  EXPECT_EQ(defaults.workers, 0u);  // chosen for each run from the machine
  EXPECT_EQ(defaults.documentsPerWorker, static_cast<std::size_t>(kDefaultDocumentsPerWorker));
  EXPECT_EQ(defaults.workerMemoryLimit, std::uint64_t{kDefaultWorkerMemoryMb} << 20);
  EXPECT_EQ(defaults.workerMemoryCap, 0u);  // each worker's share, chosen for each run
  constexpr std::uint64_t kMiB = 1 << 20;
  const std::map<std::string, std::pair<std::size_t, std::uint64_t>> cases = {
      {"20", {20, 20 * kMiB}},
      {"5abc", {kDefaultDocumentsPerWorker, 0}},
      {"0", {kDefaultDocumentsPerWorker, 0}},
      {"99999999999999999999999", {kMostDocumentsPerWorker, kLargestWorkerMemoryMb * kMiB}}};
  for (const auto& [text, expected] : cases) {
    env.set("MORVANE_OFFICE_DOCUMENTS_PER_WORKER", text.c_str());
    env.set("MORVANE_OFFICE_WORKER_MEMORY_MB", text.c_str());
    const OfficeConfig config = defaultOfficeConfig();
    EXPECT_EQ(config.documentsPerWorker, expected.first) << text;
    EXPECT_EQ(config.workerMemoryCap, expected.second) << text;
    EXPECT_EQ(config.workerMemoryLimit, std::uint64_t{kDefaultWorkerMemoryMb} << 20);
  }
}

TEST(DefaultOfficeConfigTest, TheEnvironmentChoosesTheIworkReader) {
  ScopedEnvironment env;
  env.set("MORVANE_IWORK_READER_DIR", "/opt/reader/lib");
  EXPECT_EQ(defaultOfficeConfig().readerLibraryDir, "/opt/reader/lib");
  env.set("MORVANE_IWORK_READER_DIR", "");
  EXPECT_EQ(defaultOfficeConfig().readerLibraryDir, "");  // the system's
}

}  // namespace
}  // namespace morvane
