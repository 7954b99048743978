// Room for a large text that is about to be written once from start to
// end, such as a run's script. Asks the system to back it with huge pages
// where it can, so that filling it costs a handful of page faults rather
// than one per 4 KiB.
#pragma once

#include <cstddef>
#include <string>

namespace morvane {

// Reserves at least `size` bytes in the empty string `text`. From a few
// MiB on, the reserved memory is advised for huge pages; elsewhere, or
// where the advice is refused, this is a plain reserve.
void reserveLargeBuffer(std::string& text, std::size_t size);

}  // namespace morvane
