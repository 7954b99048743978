#include "office/protobuf_fields.h"

#include <google/protobuf/io/coded_stream.h>

namespace morvane {

bool forEachField(std::string_view message, const std::function<bool(const ProtoField&)>& visit) {
  if (message.size() > static_cast<std::size_t>(INT32_MAX)) return false;
  const auto* data = reinterpret_cast<const std::uint8_t*>(message.data());
  google::protobuf::io::CodedInputStream in(data, static_cast<int>(message.size()));
  for (std::uint32_t tag = in.ReadTag(); tag != 0; tag = in.ReadTag()) {
    ProtoField field;
    field.number = static_cast<int>(tag >> 3);
    std::uint32_t length = 0, fixed32 = 0;
    switch (tag & 7) {
      case 0:
        if (!in.ReadVarint64(&field.value)) return false;
        break;
      case 1:
        field.kind = ProtoField::Kind::fixed64;
        if (!in.ReadLittleEndian64(&field.value)) return false;
        break;
      case 2: {
        field.kind = ProtoField::Kind::bytes;
        if (!in.ReadVarint32(&length) || length > message.size()) return false;
        const auto start = static_cast<std::size_t>(in.CurrentPosition());
        if (!in.Skip(static_cast<int>(length))) return false;
        field.bytes = message.substr(start, length);
        break;
      }
      case 5:
        field.kind = ProtoField::Kind::fixed32;
        if (!in.ReadLittleEndian32(&fixed32)) return false;
        field.value = fixed32;
        break;
      default:
        return false;
    }
    if (!visit(field)) return false;
  }
  // ReadTag answers 0 both at the end and on a damaged tag.
  return in.CurrentPosition() == static_cast<int>(message.size());
}

}  // namespace morvane
