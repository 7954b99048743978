// The shared sample documents that real iWork versions wrote. They live
// outside the project (by default ../shared/fixtures beside the checkout);
// MORVANE_FIXTURES_DIR (CMake cache variable at configure time, or the
// environment variable of the same name at run time) points elsewhere.
// Tests that need a sample set skip, naming it, where it is missing.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace morvane::testing {

// The folder of one sample set ("iwork", "numbers-modern"), or nothing
// when it is not there.
std::optional<std::filesystem::path> sharedFixtures(const std::string& set);

// Why a test that needs `set` is skipped: which folder is missing and how
// to point the tests at the samples.
std::string missingFixturesMessage(const std::string& set);

}  // namespace morvane::testing

// Declares `var` as the folder of sample set `set`, or skips the test.
#define MORVANE_FIXTURES_OR_SKIP(var, set)                                          \
  const auto var##_found = ::morvane::testing::sharedFixtures(set);                 \
  if (!var##_found) GTEST_SKIP() << ::morvane::testing::missingFixturesMessage(set); \
  const std::filesystem::path var = *var##_found
