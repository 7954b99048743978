// How RealEnv copies without ever replacing what is at the target: the
// steps that move a finished copy from its temporary name to its final
// one, and the flushes that make it last. Tests replace the steps to act
// like file systems that refuse one of them.
#pragma once

#include <functional>

#include "platform/env.h"

namespace morvane {

// The steps that move a finished copy from its temporary name to its final
// one without replacing anything there, each returning 0 or an errno value.
struct PlacingSteps {
  // A rename that fails with EEXIST where `to` exists (RENAME_NOREPLACE).
  std::function<int(const fs::path& from, const fs::path& to)> renameNoReplace;
  // A hard link of `from` at `to`.
  std::function<int(const fs::path& from, const fs::path& to)> link;
  // Flushes an open file or folder to the disk.
  std::function<int(int fd)> flush;
};

// The machine's own steps: renameat2, link and fsync.
PlacingSteps systemPlacingSteps();

// RealEnv::copyItem with the given placing steps. A file is copied to a
// hidden temporary name beside `to` and then placed by the first step the
// file system accepts: the rename, else the link, else (file systems that
// know neither, as some FAT and exFAT drivers) a look that `to` is free
// followed by a plain rename. Every file is flushed before it is placed,
// and every folder that gained an item after it did; a copy that cannot be
// flushed fails and leaves nothing, as does one that `stop` ends.
Status copyItemWithoutReplacing(const fs::path& from, const fs::path& to,
                                const PlacingSteps& steps, const StopRequested& stop = {});

// Opens `path` read-only (with `flags`, O_DIRECTORY for a folder) and
// flushes it with `flush`; 0 or an errno value.
int flushPath(const fs::path& path, int flags, const std::function<int(int)>& flush);

// An errno value as a Status; ECANCELED stands for a copy asked to stop
// (kCopyStopped).
Status errnoStatus(int err);

}  // namespace morvane
