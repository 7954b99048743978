// What a LibreOffice worker ended in the middle of a save leaves in the
// user's folder: LibreOffice saves through a file of its own beside the
// target, "lu<its pid><random>.tmp", and only renames it over the target
// once the save is done.
#pragma once

#include <sys/types.h>

#include <vector>

#include "platform/env.h"

namespace morvane {

// Removes from `folder` the files that `worker` began saving and left,
// "lu<worker>…​.tmp". The random part may start with a digit, so a name
// that also fits a longer pid of one of `others` (workers still living)
// is left to that one. Nothing for a worker <= 0; an item that cannot be
// listed or removed is left as it is.
void removeSaveLeftovers(Env& env, const fs::path& folder, pid_t worker,
                         const std::vector<pid_t>& others);

}  // namespace morvane
