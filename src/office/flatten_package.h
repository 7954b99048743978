// A package folder (a document kept as a folder of files) written as the
// single-file document LibreOffice opens: a zip archive of its files, with
// an Index.zip unpacked into it.
#pragma once

#include <string>
#include <vector>

#include "platform/status.h"

namespace morvane {

// Writes the package folder `folder` as the single-file document
// `zipPath` (a zip archive of its files; an Index.zip is unpacked into it),
// the form LibreOffice opens. Replaces `zipPath`, and leaves nothing there
// when it fails. Links that lead out of the folder are not followed; a
// diagnostic line for each goes to *notes.
Status flattenPackage(const std::string& folder, const std::string& zipPath,
                      std::vector<std::string>* notes = nullptr);

}  // namespace morvane
