// Flattening a folder into the regular files below it, as opening a folder
// from the desktop does: each folder before its contents, siblings sorted
// as a scanned folder's contents are (NQFileDataObject::sortKey), hidden
// items and the insides of document packages (folders named *.pages,
// *.numbers, *.key) left out.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "platform/env.h"

namespace morvane {

// The regular files anywhere below `folder` (symbolic links are not
// regular files). Unreadable parts are reported with one diagnostic line
// each and skipped; a folder that cannot be read at all gives nothing and
// prints nothing.
std::vector<std::filesystem::path> regularFilesIn(const std::filesystem::path& folder, Env& env);

// As regularFilesIn, with each document package below `folder` in its
// place as one item (what the add-files panel lets one choose), never
// through a symbolic link.
std::vector<std::filesystem::path> documentsIn(const std::filesystem::path& folder, Env& env);

// True for a folder that the desktop presents as one document.
bool isDocumentPackage(const std::filesystem::path& folder);

// "file://" and the path, percent-encoded where a URL needs it.
std::string fileUrlFromPath(std::string_view path);

}  // namespace morvane
