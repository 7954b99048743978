#include "office/iwork_package.h"

#include <google/protobuf/io/coded_stream.h>
#include <google/protobuf/unknown_field_set.h>
#include <plist/plist.h>
#include <snappy.h>
#include <sys/stat.h>
#include <zip.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <vector>

namespace morvane {

namespace fs = std::filesystem;
using google::protobuf::UnknownField;
using google::protobuf::UnknownFieldSet;

namespace {

// Nothing a document holds comes near this; a larger entry is taken for
// a damaged or hostile archive rather than read into memory.
constexpr std::uint64_t kLargestPart = 512ull << 20;

// Object types of the archives (the registry numbers iWork writes).
constexpr std::uint64_t kTextStorage = 2001;  // a text storage: its text
constexpr std::uint64_t kTableTile = 6002;    // a tile of table cells

// The files of one document, whatever its container: a zip archive, a
// package folder, or a package folder that keeps its index in Index.zip.
class PackageFiles {
 public:
  ~PackageFiles() {
    for (zip_t* z : archives_) zip_discard(z);
  }

  Status openArchive(const std::string& path) {
    int code = 0;
    zip_t* z = zip_open(path.c_str(), ZIP_RDONLY, &code);
    if (z == nullptr) return Status::error(zipOpenError(code));
    adopt(z);
    return {};
  }

  Status openFolder(const std::string& path) {
    std::error_code ec;
    for (fs::recursive_directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec)) {
      if (it->is_regular_file(ec)) {
        folderFiles_[fs::relative(it->path(), path, ec).generic_string()] = it->path().string();
      }
    }
    if (ec) return Status::error("the package folder cannot be read: " + ec.message());
    // A package folder of iWork 2013 and later keeps its index zipped.
    if (auto index = folderFiles_.find("Index.zip"); index != folderFiles_.end()) {
      std::string bytes;
      if (Status s = read("Index.zip", &bytes); !s.ok()) return s;
      return openNestedArchive(std::move(bytes));
    }
    return {};
  }

  bool has(const std::string& name) const {
    return folderFiles_.contains(name) || zipEntries_.contains(name);
  }

  std::vector<std::string> names() const {
    std::vector<std::string> all;
    for (const auto& [name, path] : folderFiles_) all.push_back(name);
    for (const auto& [name, entry] : zipEntries_) all.push_back(name);
    return all;
  }

  Status read(const std::string& name, std::string* bytes) const {
    if (auto file = folderFiles_.find(name); file != folderFiles_.end()) {
      return readFile(file->second, name, bytes);
    }
    auto entry = zipEntries_.find(name);
    if (entry == zipEntries_.end()) return Status::error(name + " is missing");
    return readEntry(entry->second, name, bytes);
  }

 private:
  struct ZipEntry {
    zip_t* archive;
    zip_uint64_t index;
  };

  static std::string zipOpenError(int code) {
    if (code == ZIP_ER_NOZIP || code == ZIP_ER_INCONS) return "it is not a zip archive";
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    std::string message = std::string("it cannot be opened as a zip archive: ") +
                          zip_error_strerror(&error);
    zip_error_fini(&error);
    return message;
  }

  void adopt(zip_t* z) {
    archives_.push_back(z);
    const zip_int64_t count = zip_get_num_entries(z, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
      const char* name = zip_get_name(z, static_cast<zip_uint64_t>(i), 0);
      if (name != nullptr) zipEntries_[name] = {z, static_cast<zip_uint64_t>(i)};
    }
  }

  Status openNestedArchive(std::string bytes) {
    nested_.push_back(std::make_unique<std::string>(std::move(bytes)));
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source =
        zip_source_buffer_create(nested_.back()->data(), nested_.back()->size(), 0, &error);
    zip_t* z = source == nullptr ? nullptr : zip_open_from_source(source, ZIP_RDONLY, &error);
    const int code = zip_error_code_zip(&error);
    zip_error_fini(&error);
    if (z == nullptr) {
      if (source != nullptr) zip_source_free(source);
      return Status::error("its Index.zip: " + zipOpenError(code));
    }
    adopt(z);
    return {};
  }

  static Status readFile(const std::string& path, const std::string& name, std::string* bytes) {
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(path, ec);
    if (ec) return Status::error(name + " cannot be read: " + ec.message());
    if (size > kLargestPart) return Status::error(name + " is implausibly large");
    std::ifstream in(path, std::ios::binary);
    bytes->assign(static_cast<std::size_t>(size), '\0');
    if (!in.read(bytes->data(), static_cast<std::streamsize>(size))) {
      return Status::error(name + " cannot be read");
    }
    return {};
  }

  static Status readEntry(const ZipEntry& entry, const std::string& name, std::string* bytes) {
    zip_stat_t st;
    if (zip_stat_index(entry.archive, entry.index, 0, &st) != 0 || !(st.valid & ZIP_STAT_SIZE)) {
      return Status::error(name + " cannot be read: " + zip_strerror(entry.archive));
    }
    if (st.size > kLargestPart) return Status::error(name + " is implausibly large");
    zip_file_t* file = zip_fopen_index(entry.archive, entry.index, 0);
    if (file == nullptr) {
      return Status::error(name + " cannot be read: " + zip_strerror(entry.archive));
    }
    bytes->assign(static_cast<std::size_t>(st.size), '\0');
    const zip_int64_t got = zip_fread(file, bytes->data(), st.size);
    std::string problem = got < 0 ? zip_file_strerror(file) : "";
    zip_fclose(file);
    if (got < 0) return Status::error(name + " cannot be read: " + problem);
    if (static_cast<zip_uint64_t>(got) != st.size) return Status::error(name + " is cut short");
    return {};
  }

  std::vector<zip_t*> archives_;
  std::vector<std::unique_ptr<std::string>> nested_;  // bytes the nested archives read from
  std::map<std::string, std::string> folderFiles_;    // name -> path on disk
  std::map<std::string, ZipEntry> zipEntries_;
};

// The fileFormatVersion of Metadata/Properties.plist (binary or XML).
Status declaredFormatVersion(const PackageFiles& files, std::string* version) {
  const std::string name = "Metadata/Properties.plist";
  if (!files.has(name)) return {};
  std::string bytes;
  if (Status s = files.read(name, &bytes); !s.ok()) return s;
  plist_t root = nullptr;
  plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
  if (root == nullptr) return Status::error(name + " is no property list");
  Status status;
  plist_t node = plist_get_node_type(root) == PLIST_DICT
                     ? plist_dict_get_item(root, "fileFormatVersion")
                     : nullptr;
  if (node != nullptr && plist_get_node_type(node) == PLIST_STRING) {
    char* text = nullptr;
    plist_get_string_val(node, &text);
    *version = text != nullptr ? text : "";
    std::free(text);  // libplist 2.2 hands out malloc'd strings
  } else if (node != nullptr) {
    status = Status::error(name + " declares a file format version that is not text");
  }
  plist_free(root);
  return status;
}

bool isIndexArchive(const std::string& name) {
  return name.starts_with("Index/") && name.ends_with(".iwa");
}

// Masters, templates and style sheets carry placeholder text that a
// document without any content of its own has as well.
bool countsAsContent(const std::string& name) {
  for (const char* skipped : {"MasterSlide", "TemplateSlide", "Stylesheet"}) {
    if (name.find(skipped) != std::string::npos) return false;
  }
  return true;
}

Status readArchiveIndex(const PackageFiles& files, IworkContent* content) {
  if (!files.has("Index/Document.iwa")) {
    return Status::error("its index is missing (no Index/Document.iwa)");
  }
  for (const std::string& name : files.names()) {
    if (!isIndexArchive(name)) continue;
    std::string framed, archive;
    Status s = files.read(name, &framed);
    if (s.ok()) s = decodeIwaStream(framed, &archive);
    IworkContent counted;
    if (s.ok()) s = countIwaContent(archive, &counted);
    if (!s.ok()) return Status::error("its index cannot be read: " + name + ": " + s.message());
    if (countsAsContent(name)) {
      content->cells += counted.cells;
      content->textCharacters += counted.textCharacters;
    }
  }
  return {};
}

bool hasXmlIndex(const PackageFiles& files) {
  for (const char* name : {"index.xml", "index.xml.gz", "index.apxl", "index.apxl.gz"}) {
    if (files.has(name)) return true;
  }
  return false;
}

// The cells of one row of a tile that hold something. Rows of Numbers 5
// and later keep a storage buffer (field 6) with 16-bit offsets (field 7,
// in 4-byte units when field 8 says so; 0xFFFF: no cell); each cell there
// starts with its storage version and its type, 0 for a cell that carries
// only a style. Other rows give their cell count (field 2).
std::uint64_t rowCellCount(const std::string& row) {
  UnknownFieldSet fields;
  if (!fields.ParseFromString(row)) return 0;
  std::uint64_t count = 0;
  const std::string* storage = nullptr;
  const std::string* offsets = nullptr;
  bool wide = false;
  for (int i = 0; i < fields.field_count(); ++i) {
    const UnknownField& f = fields.field(i);
    const bool bytes = f.type() == UnknownField::TYPE_LENGTH_DELIMITED;
    if (f.number() == 2 && f.type() == UnknownField::TYPE_VARINT) count = f.varint();
    if (f.number() == 6 && bytes) storage = &f.length_delimited();
    if (f.number() == 7 && bytes) offsets = &f.length_delimited();
    if (f.number() == 8 && f.type() == UnknownField::TYPE_VARINT) wide = f.varint() != 0;
  }
  if (storage == nullptr || offsets == nullptr) return count;
  std::uint64_t filled = 0;
  for (std::size_t at = 0; at + 1 < offsets->size(); at += 2) {
    const unsigned offset = static_cast<unsigned char>((*offsets)[at]) |
                            (static_cast<unsigned char>((*offsets)[at + 1]) << 8);
    if (offset == 0xFFFF) continue;
    const std::size_t cell = wide ? std::size_t{offset} * 4 : offset;
    const bool known = cell + 1 < storage->size() && (*storage)[cell] == 5;
    if (!known || (*storage)[cell + 1] != 0) ++filled;  // what is not understood counts
  }
  return filled;
}

void countObject(std::uint64_t type, std::string_view payload, IworkContent* content) {
  if (type != kTableTile && type != kTextStorage) return;
  UnknownFieldSet fields;
  if (!fields.ParseFromArray(payload.data(), static_cast<int>(payload.size()))) return;
  std::uint64_t tileCells = 0, rowCells = 0;
  for (int i = 0; i < fields.field_count(); ++i) {
    const UnknownField& f = fields.field(i);
    if (type == kTableTile && f.number() == 3 && f.type() == UnknownField::TYPE_VARINT) {
      tileCells = f.varint();  // the tile's cell count, left 0 by newer versions
    } else if (type == kTableTile && f.number() == 5 &&
               f.type() == UnknownField::TYPE_LENGTH_DELIMITED) {
      rowCells += rowCellCount(f.length_delimited());
    } else if (type == kTextStorage && f.number() == 3 &&
               f.type() == UnknownField::TYPE_LENGTH_DELIMITED) {
      content->textCharacters += visibleCharacters(f.length_delimited());
    }
  }
  content->cells += static_cast<std::size_t>(std::max(tileCells, rowCells));
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

bool isReadableFormatVersion(const std::string& version) {
  int major = 0;
  const char* end = version.data() + version.size();
  const auto [next, ec] = std::from_chars(version.data(), end, major);
  if (ec != std::errc() || major < 1 || major > kNewestIworkFormatMajor) return false;
  for (const char* p = next; p != end; ++p) {
    if (*p != '.' && (*p < '0' || *p > '9')) return false;
  }
  return true;
}

Status decodeIwaStream(std::string_view framed, std::string* out) {
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
    if (!snappy::GetUncompressedLength(chunk.data(), chunk.size(), &size) ||
        out->size() + size > kLargestPart) {
      return Status::error("a chunk is damaged");
    }
    std::string decoded;
    if (!snappy::Uncompress(chunk.data(), chunk.size(), &decoded)) {
      return Status::error("a chunk is damaged");
    }
    out->append(decoded);
    at += length;
  }
  return {};
}

Status countIwaContent(std::string_view archive, IworkContent* content) {
  const auto* data = reinterpret_cast<const std::uint8_t*>(archive.data());
  std::size_t at = 0;
  while (at < archive.size()) {
    google::protobuf::io::CodedInputStream stream(data + at, static_cast<int>(archive.size() - at));
    std::uint32_t infoLength = 0;
    if (!stream.ReadVarint32(&infoLength)) return Status::error("an object header is damaged");
    at += static_cast<std::size_t>(stream.CurrentPosition());
    if (archive.size() - at < infoLength) return Status::error("an object header is cut short");
    UnknownFieldSet info;
    if (!info.ParseFromArray(data + at, static_cast<int>(infoLength))) {
      return Status::error("an object header is damaged");
    }
    at += infoLength;
    for (int i = 0; i < info.field_count(); ++i) {
      if (info.field(i).number() != 2 ||
          info.field(i).type() != UnknownField::TYPE_LENGTH_DELIMITED) {
        continue;
      }
      UnknownFieldSet message;  // type 1, payload length 3
      if (!message.ParseFromString(info.field(i).length_delimited())) {
        return Status::error("an object header is damaged");
      }
      std::uint64_t type = 0, length = 0;
      for (int k = 0; k < message.field_count(); ++k) {
        const UnknownField& f = message.field(k);
        if (f.type() != UnknownField::TYPE_VARINT) continue;
        if (f.number() == 1) type = f.varint();
        if (f.number() == 3) length = f.varint();
      }
      if (archive.size() - at < length) return Status::error("an object is cut short");
      countObject(type, archive.substr(at, static_cast<std::size_t>(length)), content);
      at += static_cast<std::size_t>(length);
    }
  }
  return {};
}

Status flattenPackage(const std::string& folder, const std::string& zipPath) {
  int code = 0;
  zip_t* out = zip_open(zipPath.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
  if (out == nullptr) return Status::error("cannot create " + zipPath);
  std::vector<zip_t*> inner;  // read from until `out` is written
  const auto fail = [&](const std::string& what) {
    zip_discard(out);
    for (zip_t* z : inner) zip_discard(z);
    return Status::error("the package folder cannot be read: " + what);
  };
  std::error_code ec;
  for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (!it->is_regular_file(ec)) continue;
    const std::string name = fs::relative(it->path(), folder, ec).generic_string();
    if (name == "Index.zip") {
      zip_t* index = zip_open(it->path().c_str(), ZIP_RDONLY, &code);
      if (index == nullptr) return fail("Index.zip is not a zip archive");
      inner.push_back(index);
      for (zip_int64_t i = 0; i < zip_get_num_entries(index, 0); ++i) {
        const char* entry = zip_get_name(index, static_cast<zip_uint64_t>(i), 0);
        if (entry == nullptr || std::string_view(entry).ends_with("/")) continue;
        zip_source_t* source = zip_source_zip(out, index, static_cast<zip_uint64_t>(i), 0, 0, -1);
        if (source == nullptr || zip_file_add(out, entry, source, ZIP_FL_OVERWRITE) < 0) {
          if (source != nullptr) zip_source_free(source);
          return fail(std::string("Index.zip: ") + entry);
        }
      }
      continue;
    }
    zip_source_t* source = zip_source_file(out, it->path().c_str(), 0, -1);
    if (source == nullptr || zip_file_add(out, name.c_str(), source, ZIP_FL_OVERWRITE) < 0) {
      if (source != nullptr) zip_source_free(source);
      return fail(name);
    }
  }
  if (ec) return fail(ec.message());
  const bool written = zip_close(out) == 0;
  const std::string problem = written ? "" : zip_strerror(out);
  if (!written) zip_discard(out);
  for (zip_t* z : inner) zip_discard(z);
  if (!written) return Status::error("cannot write " + zipPath + ": " + problem);
  return {};
}

Status readIworkDocument(const std::string& path, IworkDocumentInfo* info) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return Status::error("no such file: " + path);
  PackageFiles files;
  if (S_ISDIR(st.st_mode)) {
    if (Status s = files.openFolder(path); !s.ok()) return s;
  } else if (!S_ISREG(st.st_mode)) {
    return Status::error("it is neither a file nor a package folder");
  } else if (st.st_size == 0) {
    return Status::error("the file is empty (0 bytes)");
  } else if (Status s = files.openArchive(path); !s.ok()) {
    return s;
  }
  const bool archive = files.has("Index/Document.iwa") ||
                       std::ranges::any_of(files.names(), isIndexArchive);
  if (!archive && !hasXmlIndex(files)) {
    return Status::error(S_ISDIR(st.st_mode)
                             ? "the package folder holds no document (no index)"
                             : "it holds no document (no index)");
  }
  if (Status s = declaredFormatVersion(files, &info->formatVersion); !s.ok()) return s;
  if (!info->formatVersion.empty() && !isReadableFormatVersion(info->formatVersion)) {
    return Status::error("it declares file format version " + info->formatVersion +
                         ", which no reader supports");
  }
  info->generation = archive ? IworkDocumentInfo::Generation::archive
                             : IworkDocumentInfo::Generation::xml;
  if (!archive) return {};
  return readArchiveIndex(files, &info->content);
}

}  // namespace morvane
