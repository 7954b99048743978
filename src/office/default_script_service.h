// The script service a program uses unless told otherwise: osascript on
// macOS, LibreOffice elsewhere. The environment may point elsewhere:
// MORVANE_OFFICE_WORKER (the worker executable), MORVANE_LIBREOFFICE_PROGRAM
// (LibreOffice's program folder), MORVANE_STATEMENT_TIMEOUT (seconds),
// MORVANE_OFFICE_WORKERS (workers sharing the script's documents),
// MORVANE_OFFICE_DOCUMENTS_PER_WORKER (when a worker is replaced),
// MORVANE_OFFICE_WORKER_MEMORY_MB (the memory a worker may hold),
// MORVANE_IWORK_READER_DIR (the folder of the iWork reader library the
// workers load; empty: the system's).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/script_service.h"
#include "office/office_script_service.h"

namespace morvane {

// The bounds of the environment's numeric settings (with kMostWorkers);
// larger values are taken as these, malformed ones ("5abc") ignored.
inline constexpr long kLongestStatementSeconds = 24 * 60 * 60;
inline constexpr long kMostDocumentsPerWorker = 1000000;
inline constexpr long kLargestWorkerMemoryMb = 1024 * 1024;

// A worker is replaced after this many documents, or once it holds this
// much memory between two (or half of what it may hold, when less).
// Measured with LibreOffice 7.4: a worker holds about 100 MB when up and
// 220 MB once it has loaded each kind of document, then grows by about
// 0.13 MB per small document; starting a new one costs about one second.
inline constexpr long kDefaultDocumentsPerWorker = 500;
inline constexpr long kDefaultWorkerMemoryMb = 768;

// The LibreOffice configuration: the worker next to the running
// executable (or in the install's libexec folder), LibreOffice in
// /usr/lib/libreoffice/program, five minutes per statement, a profile
// template in the user's cache folder, workers and the memory each may hold
// chosen for each run from the machine, replaced as above.
OfficeConfig defaultOfficeConfig();

std::unique_ptr<ScriptService> makeDefaultScriptService(ProgressObserver progress = {});

// Lines that say what the default service converts with: the LibreOffice
// version and the iWork reader's version, as a worker reports them
// ("LibreOffice 7.4.7.2", "iWork reader: libetonyek 0.1.12 (FOLDER)").
// Starts one worker; fails when none can start.
Status describeScriptBackend(std::vector<std::string>* lines);

}  // namespace morvane
