// EngineFixture: a temporary folder, the recording fakes, an options
// object on a 25.x system and a fresh ScriptRunner, for engine tests.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "engine/script_runner.h"
#include "options/morvane_options.h"
#include "testing/recording_fakes.h"
#include "testing/temp_dir.h"

namespace morvane::testing {

class EngineFixture : public ::testing::Test {
 protected:
  EngineServices services() { return {env_, scripts_, alerts_, version_}; }
  ScriptRunner& runner() {
    if (!runner_) runner_ = std::make_unique<ScriptRunner>(options_, services());
    return *runner_;
  }
  // An entry as the list holds it: level 0, top-level.
  NQFileDataObject entry(const fs::path& path) { return NQFileDataObject(path, 0, true, env_); }
  // The single script the run handed to the script service.
  const std::string& createdScript() {
    EXPECT_EQ(scripts_.created.size(), 1u);
    return scripts_.created.at(0);
  }

  TempDir tmp_;
  RecordingEnv env_;
  FakeScriptService scripts_;
  FakeAlertService alerts_;
  FixedSystemVersion version_{{25, 1, 0}};
  MorvaneOptions options_{version_, env_};
  std::unique_ptr<ScriptRunner> runner_;
};

}  // namespace morvane::testing
