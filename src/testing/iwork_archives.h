// iWork documents made by the tests themselves, part by part: Snappy-framed
// .iwa archives of protobuf objects (text storages, table tiles), property
// lists and zip archives, to be read back or broken on purpose.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <map>
#include <string>

namespace morvane::testing::iwork {

// A document's parts by their names inside it ("Index/Document.iwa").
using Files = std::map<std::string, std::string>;

// Frames `data` as one .iwa stream: a zero byte, a 24-bit length, Snappy.
std::string frame(const std::string& data);

// One object of an archive: its ArchiveInfo header, then its payload.
std::string object(std::uint64_t id, std::uint64_t type, const std::string& payload);

// A tile of a table whose rows give their own cell counts.
std::string tile(std::initializer_list<int> rowCells);

// A tile row in the storage layout of Numbers 5 and later: one cell per
// type given (0 carries only a style), each 8 bytes of the storage buffer,
// located by 16-bit offsets (in 4-byte units when `wide`); 0xFFFF: no cell.
std::string storedRow(std::initializer_list<int> cellTypes, bool wide = false, char version = 5);

// A text storage holding `text`.
std::string storage(const std::string& text);

// Metadata/Properties.plist declaring `version` as the file format version.
std::string properties(const std::string& version);

// A zip archive of `files`, made in memory.
std::string zipOf(const Files& files);

// A document of 5 cells and the text "Hello world", with placeholder text
// on a master that must not count.
Files documentFiles(const std::string& version = "14.4.1");

}  // namespace morvane::testing::iwork
