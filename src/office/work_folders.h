// The private folders of the LibreOffice workers: where they go, how one is
// made (sweeping first those left behind by workers whose process died:
// see stale_work_folders.h).
// Each is named "morvane-office-<pid>-XXXXXX" after the process that made
// it, so that a sweep can tell which ones nobody owns any more.
#pragma once

#include <filesystem>

#include "platform/env.h"
#include "platform/status.h"

namespace morvane {

// The folder that holds the workers' private folders: TMPDIR when set
// (/tmp when that is no usable folder); else a folder in memory,
// XDG_RUNTIME_DIR or /dev/shm (LibreOffice writes and syncs several
// temporary files for every document: on a disk that costs about a fifth
// of the time of a small one); else /tmp.
std::filesystem::path workerFolderRoot();

// Makes a new private folder for a worker of this process in
// workerFolderRoot() (sweeping stale ones first) and gives its path in
// *folder. Fails, naming the root, when none can be made.
Status makeWorkFolder(Env& env, std::filesystem::path* folder);

}  // namespace morvane
