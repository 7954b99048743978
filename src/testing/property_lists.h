// Property lists made by the tests, of shapes no tool writes: binary lists
// built object by object (containers that share members or hold
// themselves) and lists nested as deep as wanted, binary and XML.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace morvane::testing {

// A binary list whose object n is an array of the objects listed in
// objects[n] (an empty list: an empty array); object 0 is the top.
std::string binaryPropertyList(const std::vector<std::vector<std::size_t>>& objects);

// Arrays within arrays, `depth` of them.
std::string deepBinaryPropertyList(std::size_t depth);
std::string deepXmlPropertyList(std::size_t depth);

}  // namespace morvane::testing
