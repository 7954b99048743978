// The script service a program uses unless told otherwise: osascript on
// macOS, LibreOffice elsewhere. The environment may point elsewhere:
// MORVANE_OFFICE_WORKER (the worker executable), MORVANE_LIBREOFFICE_PROGRAM
// (LibreOffice's program folder), MORVANE_STATEMENT_TIMEOUT (seconds),
// MORVANE_OFFICE_WORKERS (workers per block).
#pragma once

#include <memory>

#include "engine/script_service.h"
#include "office/office_script_service.h"

namespace morvane {

// The LibreOffice configuration: the worker next to the running
// executable (or in the install's libexec folder), LibreOffice in
// /usr/lib/libreoffice/program, five minutes per statement, a profile
// template in the user's cache folder, one worker per core (at most two).
OfficeConfig defaultOfficeConfig();

std::unique_ptr<ScriptService> makeDefaultScriptService(ProgressObserver progress = {});

}  // namespace morvane
