// Path texts the engine derives target locations from: the extension as
// written, and the tail of a path that keeps the structure below the
// root-level folder of the list.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace morvane {

// The text after the last dot of the last path component, no case
// folding; empty when there is none (or the name starts with its only dot).
std::string pathExtension(const std::filesystem::path& path);

// `name` without its last extension ("report.final.docx" -> "report.final").
std::string stripLastExtension(const std::string& name);

// The last `count` components of `path` (all if it has fewer), joined by "/".
std::string lastComponents(const std::filesystem::path& path, std::int64_t count);

}  // namespace morvane
