// Path texts the engine derives target locations from: the extension as
// written, and the tail of a path that keeps the structure below the
// root-level folder of the list.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "platform/env.h"
#include "platform/status.h"

namespace morvane {

// The text after the last dot of the last path component, no case
// folding; empty when there is none (or the name starts with its only dot).
std::string pathExtension(const std::filesystem::path& path);

// `name` without its last extension ("report.final.docx" -> "report.final").
std::string stripLastExtension(const std::string& name);

// `path` with " <number>" before the extension of its last component
// ("Out/Notes.docx", 2 -> "Out/Notes 2.docx"): the names a run gives a
// target that one of its earlier documents already took.
std::filesystem::path numberedPath(const std::filesystem::path& path, int number);

// Whether a run can write into `folder`: an existing folder must be a
// folder the process may write into; a missing one must have, as its
// nearest existing ancestor, such a folder to be created in. The error
// names the folder and the reason. Nothing is created.
Status checkTargetFolder(Env& env, const std::filesystem::path& folder);

// The last `count` components of `path` (all if it has fewer), joined by "/".
std::string lastComponents(const std::filesystem::path& path, std::int64_t count);

}  // namespace morvane
