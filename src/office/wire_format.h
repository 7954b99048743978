// The request/answer lines between the office service and its worker: one
// line per message, fields separated by tabs, with backslash, tab, line
// feed and carriage return inside a field written as \\, \t, \n and \r.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace morvane {

std::string encodeWireLine(const std::vector<std::string>& fields);
std::vector<std::string> decodeWireLine(std::string_view line);

}  // namespace morvane
