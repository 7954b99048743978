#include "testing/property_lists.h"

#include <cstdint>

namespace morvane::testing {

namespace {

void appendBigEndian(std::string* out, std::uint64_t value, std::size_t width) {
  for (std::size_t k = width; k-- > 0;) {
    out->push_back(static_cast<char>((value >> (8 * k)) & 0xFF));
  }
}

}  // namespace

std::string binaryPropertyList(const std::vector<std::vector<std::size_t>>& objects) {
  constexpr std::size_t kWidth = 4;  // of offsets and object numbers
  std::string out = "bplist00";
  std::vector<std::uint64_t> offsets;
  for (const std::vector<std::size_t>& members : objects) {
    offsets.push_back(out.size());
    if (members.size() < 15) {
      out.push_back(static_cast<char>(0xA0 | members.size()));
    } else {
      out.push_back(static_cast<char>(0xAF));
      out.push_back(static_cast<char>(0x13));  // an 8-byte integer follows
      appendBigEndian(&out, members.size(), 8);
    }
    for (std::size_t member : members) appendBigEndian(&out, member, kWidth);
  }
  const std::uint64_t table = out.size();
  for (std::uint64_t offset : offsets) appendBigEndian(&out, offset, kWidth);
  out.append(6, '\0');
  out.push_back(static_cast<char>(kWidth));
  out.push_back(static_cast<char>(kWidth));
  appendBigEndian(&out, objects.size(), 8);
  appendBigEndian(&out, 0, 8);
  appendBigEndian(&out, table, 8);
  return out;
}

std::string deepBinaryPropertyList(std::size_t depth) {
  std::vector<std::vector<std::size_t>> objects(depth);
  for (std::size_t n = 0; n + 1 < depth; ++n) objects[n] = {n + 1};
  return binaryPropertyList(objects);
}

std::string deepXmlPropertyList(std::size_t depth) {
  std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">";
  out.reserve(out.size() + depth * 15 + 20);
  for (std::size_t n = 0; n < depth; ++n) out += "<array>";
  for (std::size_t n = 0; n < depth; ++n) out += "</array>";
  return out + "</plist>\n";
}

}  // namespace morvane::testing
