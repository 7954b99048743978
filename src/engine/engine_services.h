// EngineServices: what one run of the engine is given from outside (the
// file system, the script service, the alerts, the system version, and
// the front end's cancel, executor and written-file hooks).
#pragma once

#include <filesystem>
#include <functional>

#include "engine/alerts.h"
#include "engine/script_service.h"
#include "options/system_version.h"
#include "platform/env.h"

namespace morvane {

// The services a run uses; all outlive the run.
struct EngineServices {
  Env& env;
  ScriptService& scripts;
  AlertService& alerts;
  const SystemVersion& version;
  // Reaches the script while it executes, for a front end's Cancel; none:
  // the run cannot be cancelled.
  ScriptCancellation* cancellation = nullptr;
  // Executes the script while the front end goes on; none: at once.
  ScriptExecutor* executor = nullptr;
  // Told each file the run has written (exports and copies) once it is
  // complete in its place; may be called from the script service's
  // threads. None: nobody asks.
  std::function<void(const std::filesystem::path&)> fileWritten = {};
};

}  // namespace morvane
