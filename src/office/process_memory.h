// How much memory processes hold and the machine can still give, read from
// /proc: what a worker holds decides when it is replaced or ended, and what
// the machine has free how many workers a run starts.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>

namespace morvane {

// The resident memory of process `pid`, in bytes; 0 when it cannot be read
// (no such process, or pid <= 0).
std::uint64_t residentMemory(pid_t pid);

// The resident memory of every process in process group `group` together,
// in bytes (what a worker and whatever it started hold); takes a look at
// every process of the machine. 0 when none can be read.
std::uint64_t groupResidentMemory(pid_t group);

// The memory the machine can give to new processes without swapping
// (MemAvailable of /proc/meminfo), in bytes; nothing when unknown.
std::optional<std::uint64_t> availableMemory();

}  // namespace morvane
