#include "testing/fixtures.h"

#include <cstdlib>

#ifndef MORVANE_FIXTURES_DIR
#define MORVANE_FIXTURES_DIR "../shared/fixtures"
#endif

namespace morvane::testing {

namespace {

std::filesystem::path fixturesRoot() {
  const char* chosen = std::getenv("MORVANE_FIXTURES_DIR");
  return chosen != nullptr && *chosen != '\0' ? chosen : MORVANE_FIXTURES_DIR;
}

}  // namespace

std::optional<std::filesystem::path> sharedFixtures(const std::string& set) {
  std::error_code ec;
  const std::filesystem::path folder = fixturesRoot() / set;
  if (!std::filesystem::is_directory(folder, ec)) return std::nullopt;
  return folder;
}

std::string missingFixturesMessage(const std::string& set) {
  return "the sample documents \"" + set + "\" are missing: no folder " +
         (fixturesRoot() / set).string() +
         " (set MORVANE_FIXTURES_DIR to the folder that holds the sample sets)";
}

}  // namespace morvane::testing
