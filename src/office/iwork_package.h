// Reads what an iWork document is and holds straight from its container,
// without LibreOffice, so that a file that is no document, or a document
// whose content a reader silently drops, ends in an error instead of an
// empty conversion. iWork 2013 and later keep their objects in Index/*.iwa
// (Snappy-framed protobuf archives); iWork '09 keeps an XML index.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"
#include "office/check_budget.h"

namespace morvane {

// What the index holds that a reader must bring over.
struct IworkContent {
  std::size_t cells = 0;           // table cells stored with a value
  std::size_t textCharacters = 0;  // visible characters of text, masters and styles aside

  bool any() const { return cells > 0 || textCharacters > 0; }
};

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

// Writes the package folder `folder` as the single-file document
// `zipPath` (a zip archive of its files; an Index.zip is unpacked into it),
// the form LibreOffice opens. Replaces `zipPath`. Links that lead out of the
// folder are not followed; a diagnostic line for each goes to *notes.
Status flattenPackage(const std::string& folder, const std::string& zipPath,
                      std::vector<std::string>* notes = nullptr);

// Whether a declared fileFormatVersion ("14.4.1") is one a reader reads.
bool isReadableFormatVersion(const std::string& version);

// Visible characters of UTF-8 text: whitespace, separators and the
// placeholders of attachments do not count.
std::size_t visibleCharacters(std::string_view text);

// Undoes the framing of one .iwa stream: chunks of a zero byte, a 24-bit
// little-endian length and raw Snappy data. Appends the result to *out.
Status decodeIwaStream(std::string_view framed, std::string* out);

// What one .iwa stream decodes to, read off its chunk headers alone.
Status iwaDecodedSize(std::string_view framed, std::uint64_t* size);

// Calls `visit` with the type and payload of each object of one decoded
// .iwa stream: a sequence of length-prefixed ArchiveInfo messages, each
// followed by its payloads. Fails on a damaged or cut short object.
Status forEachIwaObject(std::string_view archive,
                        const std::function<void(std::uint64_t, std::string_view)>& visit);

// Adds what one decoded .iwa stream holds to *content.
Status countIwaContent(std::string_view archive, IworkContent* content);

}  // namespace morvane
