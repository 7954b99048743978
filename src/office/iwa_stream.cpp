#include "office/iwa_stream.h"

#include <google/protobuf/io/coded_stream.h>
#include <snappy.h>

#include <algorithm>
#include <cstdint>

#include "office/iwork_limits.h"
#include "office/protobuf_fields.h"

namespace morvane {

namespace {

// Calls `visit` with each Snappy chunk of a framed .iwa stream and the size
// it decodes to; fails on a broken frame, or when `visit` does.
Status forEachIwaChunk(std::string_view framed,
                       const std::function<Status(std::string_view, std::size_t)>& visit) {
  std::size_t at = 0;
  while (at < framed.size()) {
    if (framed.size() - at < 4) return Status::error("a chunk header is cut short");
    if (framed[at] != 0) return Status::error("a chunk is not of the Snappy kind");
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(framed[at + k]); };
    const std::size_t length = byte(1) | (byte(2) << 8) | (static_cast<std::size_t>(byte(3)) << 16);
    at += 4;
    if (framed.size() - at < length) return Status::error("a chunk is cut short");
    const std::string_view chunk = framed.substr(at, length);
    std::size_t size = 0;
    if (!snappy::GetUncompressedLength(chunk.data(), chunk.size(), &size)) {
      return Status::error("a chunk is damaged");
    }
    if (Status s = visit(chunk, size); !s.ok()) return s;
    at += length;
  }
  return {};
}

}  // namespace

Status iwaDecodedSize(std::string_view framed, std::uint64_t* size) {
  *size = 0;
  return forEachIwaChunk(framed, [&](std::string_view, std::size_t chunkSize) {
    *size += chunkSize;  // no wrap: below 2^32 a chunk, a chunk for every 4 bytes
    return Status();
  });
}

Status decodeIwaStream(std::string_view framed, std::string* out) {
  return forEachIwaChunk(framed, [&](std::string_view chunk, std::size_t size) {
    if (out->size() + size > kLargestIworkPart) return Status::error("a chunk is damaged");
    const std::size_t start = out->size();
    out->resize(start + size);
    if (!snappy::RawUncompress(chunk.data(), chunk.size(), out->data() + start)) {
      return Status::error("a chunk is damaged");
    }
    return Status();
  });
}

Status forEachIwaObject(std::string_view archive,
                        const std::function<void(std::uint64_t, std::string_view)>& visit) {
  const auto* data = reinterpret_cast<const std::uint8_t*>(archive.data());
  std::size_t at = 0;
  while (at < archive.size()) {
    const std::size_t left = std::min<std::size_t>(archive.size() - at, INT32_MAX);
    google::protobuf::io::CodedInputStream stream(data + at, static_cast<int>(left));
    std::uint32_t infoLength = 0;
    if (!stream.ReadVarint32(&infoLength)) return Status::error("an object header is damaged");
    at += static_cast<std::size_t>(stream.CurrentPosition());
    if (archive.size() - at < infoLength) return Status::error("an object header is cut short");
    const std::string_view info = archive.substr(at, infoLength);
    at += infoLength;
    // The header lists the object's messages (field 2), each with its type
    // (1) and the length of its payload (3); the payloads follow it.
    bool cutShort = false;
    const bool read = forEachField(info, [&](const ProtoField& entry) {
      if (entry.number != 2 || entry.kind != ProtoField::Kind::bytes) return true;
      std::uint64_t type = 0, length = 0;
      const bool fine = forEachField(entry.bytes, [&](const ProtoField& f) {
        if (f.number == 1 && f.kind == ProtoField::Kind::varint) type = f.value;
        if (f.number == 3 && f.kind == ProtoField::Kind::varint) length = f.value;
        return true;
      });
      if (!fine) return false;
      if (archive.size() - at < length) {
        cutShort = true;
        return false;
      }
      visit(type, archive.substr(at, static_cast<std::size_t>(length)));
      at += static_cast<std::size_t>(length);
      return true;
    });
    if (cutShort) return Status::error("an object is cut short");
    if (!read) return Status::error("an object header is damaged");
  }
  return {};
}

}  // namespace morvane
