// The script service a program uses unless told otherwise: osascript on
// macOS, LibreOffice elsewhere. The environment may point elsewhere:
// MORVANE_OFFICE_WORKER (the worker executable), MORVANE_LIBREOFFICE_PROGRAM
// (LibreOffice's program folder), MORVANE_STATEMENT_TIMEOUT (seconds),
// MORVANE_OFFICE_WORKERS (workers sharing a block's documents), MORVANE_IWORK_READER_DIR (the
// folder of the iWork reader library the workers load; empty: the system's).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/script_service.h"
#include "office/office_script_service.h"

namespace morvane {

// The bounds of the environment's numeric settings; larger values are
// taken as these, malformed ones ("5abc") ignored.
inline constexpr long kMostWorkers = 64;
inline constexpr long kLongestStatementSeconds = 24 * 60 * 60;

// The LibreOffice configuration: the worker next to the running
// executable (or in the install's libexec folder), LibreOffice in
// /usr/lib/libreoffice/program, five minutes per statement, a profile
// template in the user's cache folder, one worker per core (at most two).
OfficeConfig defaultOfficeConfig();

std::unique_ptr<ScriptService> makeDefaultScriptService(ProgressObserver progress = {});

// Lines that say what the default service converts with: the LibreOffice
// version and the iWork reader's version, as a worker reports them
// ("LibreOffice 7.4.7.2", "iWork reader: libetonyek 0.1.12 (FOLDER)").
// Starts one worker; fails when none can start.
Status describeScriptBackend(std::vector<std::string>* lines);

}  // namespace morvane
