// Bounds shared by the readers of an iWork document's parts: the files
// come from anywhere, so no part is read or decoded past a size no real
// document comes near, and no count of what they hold wraps around.
#pragma once

#include <cstddef>
#include <cstdint>

namespace morvane {

// No index part of a real document comes near this, read or decoded; a
// larger one is taken for a damaged or hostile archive rather than read
// into memory.
inline constexpr std::uint64_t kLargestIworkPart = 128ull << 20;

// Counts from hostile input must not wrap around to "nothing".
inline std::size_t saturatingAdd(std::size_t a, std::uint64_t b) {
  const std::size_t room = SIZE_MAX - a;
  return b >= room ? SIZE_MAX : a + static_cast<std::size_t>(b);
}

}  // namespace morvane
