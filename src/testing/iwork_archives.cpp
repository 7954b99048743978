#include "testing/iwork_archives.h"

#include <google/protobuf/io/coded_stream.h>
#include <google/protobuf/io/zero_copy_stream_impl_lite.h>
#include <google/protobuf/unknown_field_set.h>
#include <snappy.h>
#include <zip.h>

namespace morvane::testing::iwork {

using google::protobuf::UnknownFieldSet;

std::string frame(const std::string& data) {
  std::string compressed;
  snappy::Compress(data.data(), data.size(), &compressed);
  const std::size_t n = compressed.size();
  return std::string{'\0', static_cast<char>(n & 0xFF), static_cast<char>((n >> 8) & 0xFF),
                     static_cast<char>((n >> 16) & 0xFF)} +
         compressed;
}

std::string object(std::uint64_t id, std::uint64_t type, const std::string& payload) {
  UnknownFieldSet message;
  message.AddVarint(1, type);
  message.AddVarint(3, payload.size());
  UnknownFieldSet info;
  info.AddVarint(1, id);
  message.SerializeToString(info.AddLengthDelimited(2));
  std::string header;
  info.SerializeToString(&header);
  std::string out;
  {
    google::protobuf::io::StringOutputStream stream(&out);
    google::protobuf::io::CodedOutputStream coded(&stream);
    coded.WriteVarint32(static_cast<std::uint32_t>(header.size()));
  }
  return out + header + payload;
}

std::string tile(std::initializer_list<int> rowCells) {
  UnknownFieldSet tile;
  tile.AddVarint(3, 0);  // newer versions leave the tile's own count at 0
  int index = 0;
  for (int cells : rowCells) {
    UnknownFieldSet row;
    row.AddVarint(1, index++);
    row.AddVarint(2, cells);
    row.SerializeToString(tile.AddLengthDelimited(5));
  }
  std::string out;
  tile.SerializeToString(&out);
  return out;
}

std::string storedRow(std::initializer_list<int> cellTypes, bool wide, char version) {
  std::string storage, offsets;
  for (int type : cellTypes) {
    const unsigned offset = wide ? static_cast<unsigned>(storage.size() / 4)
                                 : static_cast<unsigned>(storage.size());
    offsets += {static_cast<char>(offset & 0xFF), static_cast<char>(offset >> 8)};
    storage += std::string{version, static_cast<char>(type)} + std::string(6, '\0');
  }
  offsets += "\xFF\xFF";  // a column without a cell
  UnknownFieldSet row;
  row.AddVarint(1, 0);
  row.AddVarint(2, cellTypes.size());
  *row.AddLengthDelimited(6) = storage;
  *row.AddLengthDelimited(7) = offsets;
  if (wide) row.AddVarint(8, 1);
  UnknownFieldSet tile;
  row.SerializeToString(tile.AddLengthDelimited(5));
  std::string out;
  tile.SerializeToString(&out);
  return out;
}

std::string storage(const std::string& text) {
  UnknownFieldSet storage;
  storage.AddVarint(1, 0);
  *storage.AddLengthDelimited(3) = text;
  std::string out;
  storage.SerializeToString(&out);
  return out;
}

std::string properties(const std::string& version) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
         "<key>fileFormatVersion</key><string>" + version + "</string></dict></plist>\n";
}

std::string zipOf(const Files& files) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
  zip_t* z = zip_open_from_source(buffer, ZIP_TRUNCATE, &error);
  zip_source_keep(buffer);
  for (const auto& [name, data] : files) {
    zip_source_t* s = zip_source_buffer(z, data.data(), data.size(), 0);
    zip_file_add(z, name.c_str(), s, ZIP_FL_OVERWRITE);
  }
  zip_close(z);
  zip_source_open(buffer);
  zip_source_seek(buffer, 0, SEEK_END);
  const zip_int64_t size = zip_source_tell(buffer);
  zip_source_seek(buffer, 0, SEEK_SET);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  zip_source_read(buffer, bytes.data(), static_cast<zip_uint64_t>(size));
  zip_source_close(buffer);
  zip_source_free(buffer);
  zip_error_fini(&error);
  return bytes;
}

Files documentFiles(const std::string& version) {
  return {{"Index/Document.iwa", frame(object(1, 2001, storage("Hello\nworld\xEF\xBF\xBC")))},
          {"Index/Tables/Tile-7.iwa", frame(object(7, 6002, tile({3, 2})))},
          {"Index/MasterSlide-1.iwa", frame(object(9, 2001, storage("Title Text")))},
          {"Metadata/Properties.plist", properties(version)}};
}

}  // namespace morvane::testing::iwork
