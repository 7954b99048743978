// Reads what an iWork document is and holds straight from its container,
// without LibreOffice, so that a file that is no document, or a document
// whose content a reader silently drops, ends in an error instead of an
// empty conversion. iWork 2013 and later keep their objects in Index/*.iwa
// (iwa_stream.h, counted by iwa_content.h); iWork '09 keeps an XML index.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"
#include "office/check_budget.h"
#include "office/iwa_content.h"
// For callers that decode a document's archives themselves.
#include "office/iwa_stream.h"

namespace morvane {

struct IworkDocumentInfo {
  enum class Generation { xml, archive };
  Generation generation = Generation::archive;
  std::string formatVersion;  // Metadata/Properties.plist's fileFormatVersion; "" when absent
  IworkContent content;       // counted for the archive generation only
  std::vector<std::string> notes;  // diagnostic lines: links of a package not followed
};

// The newest major format version a reader is known to read; iWork counts
// its versions by year since 2025 (26.x), with room for the next few.
inline constexpr int kNewestIworkFormatMajor = 30;

// Reads the document at `path`: a zip archive or a package folder. Fails
// with a message for the user ("it is not a zip archive", "its index
// cannot be read: ...") when it is no document a reader can read, or when
// reading it would pass `limits`.
Status readIworkDocument(const std::string& path, IworkDocumentInfo* info,
                         const CheckLimits& limits = {});

// The content archives of the document at `path` (masters, templates and
// style sheets aside), found as readIworkDocument finds them: `visit` gets
// each one's name ("Index/Document.iwa") and its decoded stream, or the
// reason it cannot be decoded. Fails when the document cannot be opened.
Status forEachContentArchive(
    const std::string& path,
    const std::function<void(const std::string& name, const Status& decoded,
                             std::string_view archive)>& visit);

// Reads the part `name` ("preview.jpg") of the document at `path`,
// wherever its container keeps it.
Status readDocumentPart(const std::string& path, const std::string& name, std::string* bytes);

// Whether a declared fileFormatVersion ("14.4.1") is one a reader reads.
bool isReadableFormatVersion(const std::string& version);

}  // namespace morvane
