// The .iwa archives of iWork 2013 and later: a stream of Snappy chunks
// (a zero byte, a 24-bit little-endian length, raw Snappy data) that
// decodes to a sequence of objects, each an ArchiveInfo header (protobuf)
// followed by its payloads. Read from untrusted files: every length is
// checked before it is followed.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/status.h"

namespace morvane {

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

}  // namespace morvane
