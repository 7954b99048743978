// Walks the fields of one protobuf message without its schema and without
// copying: iWork's archives are read for a handful of fields, and a
// damaged or hostile message must cost no more memory than its own bytes.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

namespace morvane {

struct ProtoField {
  enum class Kind { varint, fixed64, bytes, fixed32 };
  int number = 0;
  Kind kind = Kind::varint;
  std::uint64_t value = 0;  // varint and fixed kinds
  std::string_view bytes;   // the bytes kind: a view into the message
};

// Calls `visit` for each field of `message` in order. Returns false when
// the message is damaged (a bad tag, a length past its end, a group,
// which iWork never writes) or when `visit` returns false.
bool forEachField(std::string_view message, const std::function<bool(const ProtoField&)>& visit);

}  // namespace morvane
