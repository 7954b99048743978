// What a shell command prints, for end-to-end tests that look at their
// results with the system's tools (pdftotext, unzip, pdffonts, node).
#pragma once

#include <string>

namespace morvane::testing {

// Runs `command` with /bin/sh and returns its standard output ("" when it
// cannot be started); its exit status is not looked at.
std::string commandOutput(const std::string& command);

}  // namespace morvane::testing
