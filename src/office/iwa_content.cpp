#include "office/iwa_content.h"

#include <algorithm>
#include <cstdint>
#include <initializer_list>

#include "office/iwa_stream.h"
#include "office/iwork_limits.h"
#include "office/protobuf_fields.h"

namespace morvane {

namespace {

// Object types of the archives (the registry numbers iWork writes).
constexpr std::uint64_t kTextStorage = 2001;  // a text storage: its text
constexpr std::uint64_t kTableTile = 6002;    // a tile of table cells

// Whether the cell at `offset` of a storage buffer holds something: each
// cell starts with its storage version, and its type (0: a cell that
// carries only a style) follows at `typeAt`. A cell of a version not
// known here counts.
bool cellHoldsSomething(std::string_view storage, std::size_t offset,
                        std::initializer_list<char> versions, std::size_t typeAt) {
  if (offset + typeAt >= storage.size()) return true;
  if (std::find(versions.begin(), versions.end(), storage[offset]) == versions.end()) return true;
  return storage[offset + typeAt] != 0;
}

// The cells of one row of a tile that hold something. Numbers 5 and later
// keep a storage buffer (field 6) with 16-bit offsets (field 7, in 4-byte
// units when field 8 says so; 0xFFFF: no cell), cells of version 5 with
// their type at byte 1; earlier versions keep them in fields 3 and 4, of
// versions 3 and 4 with their type at byte 2. A row without either
// gives its cell count (field 2).
std::uint64_t rowCellCount(std::string_view row) {
  std::uint64_t count = 0;
  std::string_view storage, offsets, oldStorage, oldOffsets;
  bool wide = false;
  const bool read = forEachField(row, [&](const ProtoField& f) {
    if (f.number == 2 && f.kind == ProtoField::Kind::varint) count = f.value;
    if (f.number == 3) oldStorage = f.bytes;
    if (f.number == 4) oldOffsets = f.bytes;
    if (f.number == 6) storage = f.bytes;
    if (f.number == 7) offsets = f.bytes;
    if (f.number == 8 && f.kind == ProtoField::Kind::varint) wide = f.value != 0;
    return true;
  });
  if (!read) return 0;
  const bool current = !storage.empty() && !offsets.empty();
  if (!current && (oldStorage.empty() || oldOffsets.empty())) return count;
  const std::string_view cells = current ? storage : oldStorage;
  const std::string_view table = current ? offsets : oldOffsets;
  std::uint64_t filled = 0;
  for (std::size_t at = 0; at + 1 < table.size(); at += 2) {
    const unsigned offset = static_cast<unsigned char>(table[at]) |
                            (static_cast<unsigned char>(table[at + 1]) << 8);
    if (offset == 0xFFFF) continue;
    const bool holds = current ? cellHoldsSomething(cells, wide ? offset * 4u : offset, {5}, 1)
                               : cellHoldsSomething(cells, offset, {3, 4}, 2);
    if (holds) ++filled;
  }
  return filled;
}

void countObject(std::uint64_t type, std::string_view payload, IworkContent* content) {
  if (type == kTextStorage) {
    forEachField(payload, [&](const ProtoField& f) {
      if (f.number == 3 && f.kind == ProtoField::Kind::bytes) {
        content->textCharacters = saturatingAdd(content->textCharacters, visibleCharacters(f.bytes));
      }
      return true;
    });
  } else if (type == kTableTile) {
    // Newer versions leave the tile's own count (field 3) at 0; its rows
    // (field 5) tell which cells hold something.
    std::uint64_t tileCells = 0, rowCells = 0;
    bool rows = false;
    forEachField(payload, [&](const ProtoField& f) {
      if (f.number == 3 && f.kind == ProtoField::Kind::varint) tileCells = f.value;
      if (f.number == 5 && f.kind == ProtoField::Kind::bytes) {
        rows = true;
        rowCells = saturatingAdd(rowCells, rowCellCount(f.bytes));
      }
      return true;
    });
    content->cells = saturatingAdd(content->cells, rows ? rowCells : tileCells);
  }
}

}  // namespace

std::size_t visibleCharacters(std::string_view text) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if ((c & 0xC0) == 0x80 || c <= 0x20 || c == 0x7F) continue;
    const std::string_view rest = text.substr(i);
    if (rest.starts_with("\xEF\xBF\xBC") || rest.starts_with("\xE2\x80\xA8") ||
        rest.starts_with("\xE2\x80\xA9") || rest.starts_with("\xC2\xA0")) {
      continue;
    }
    ++count;
  }
  return count;
}

Status countIwaContent(std::string_view archive, IworkContent* content) {
  return forEachIwaObject(archive, [&](std::uint64_t type, std::string_view payload) {
    countObject(type, payload, content);
  });
}

}  // namespace morvane
