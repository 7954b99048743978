// Plain reasons for failures that LibreOffice reports in its own terms
// ("Error Area:Io Class:Write Code:16", "type detection failed"): the
// service looks at the document and the target itself and says what
// stands in the way (no permission, a read-only or full disk, a password),
// keeping LibreOffice's message where it finds nothing. (A name too long
// shows when the export is renamed into place, in the system's words.)
#pragma once

#include <string>

namespace morvane {

// Why `path` could not be opened, or `officeMessage` when nothing else
// explains it.
std::string explainLoadFailure(const std::string& path, const std::string& officeMessage);

// Why `target` could not be written, or `officeMessage` when nothing else
// explains it.
std::string explainSaveFailure(const std::string& target, const std::string& officeMessage);

// Whether the file is an encrypted Office document (an OLE container with
// an EncryptionInfo stream) or an iWork document with a password.
bool isPasswordProtected(const std::string& path);

}  // namespace morvane
