// How deep a property list nests and how many entries it stands for,
// measured without recursion before a parser that recurses on its input
// (libplist) sees it: nested 200,000 deep it would overflow the stack, and
// a binary list whose containers share or refer back to objects stands, in
// a few bytes, for a tree without end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace morvane {

// What a property list a reader hands to libplist may come to. A
// document's Metadata/Properties.plist nests two or three levels and
// holds a few dozen entries.
struct PropertyListBounds {
  std::size_t depth = 64;          // containers within containers
  std::uint64_t entries = 100000;  // values, every shared one counted each time it is used
};

enum class PropertyListFit {
  fits,       // within the bounds
  malformed,  // not a property list this check can follow
  exceeds,    // past a bound, or a container within itself
};

// Measures a binary ("bplist00") or XML property list. When it exceeds a
// bound, *reason says which ("it is nested deeper than 64 levels").
PropertyListFit measurePropertyList(std::string_view bytes, const PropertyListBounds& bounds,
                                    std::string* reason);

}  // namespace morvane
