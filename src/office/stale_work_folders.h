// The private folders of workers whose process is gone: a worker ended by
// a crash or a kill cannot remove its folder (its profile, its log,
// LibreOffice's temporary files), so the next worker to start sweeps them.
#pragma once

#include <string_view>

#include "platform/env.h"
#include "platform/process_launcher.h"

namespace morvane {

// The start of a worker's private folder's name: the folder is
// "morvane-office-<pid of the process that started it>-XXXXXX".
inline constexpr std::string_view kWorkFolderNamePrefix = "morvane-office-";

// The process that `folder` belongs to: a folder (not a link to one) of
// this user named as above; 0 for anything else.
long workFolderOwnerPid(Env& env, const fs::path& folder);

// Removes each private folder in `root` whose process `processes` no
// longer knows, with everything in it. Folders that cannot be looked at or
// removed are left; a folder that cannot be listed leaves nothing done.
void sweepStaleWorkFolders(Env& env, ProcessLauncher& processes, const fs::path& root);

// sweepStaleWorkFolders, the first time this process asks; later calls do
// nothing (workers started later find their own folders in use).
void sweepStaleWorkFoldersOnce(Env& env, ProcessLauncher& processes, const fs::path& root);

}  // namespace morvane
