#include "office/iwork_package.h"

#include <google/protobuf/io/coded_stream.h>
#include <plist/plist.h>
#include <snappy.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "office/failure_reasons.h"
#include "office/package_folder.h"
#include "office/property_list_bounds.h"
#include "office/protobuf_fields.h"

namespace morvane {

namespace fs = std::filesystem;

namespace {

// The error opening `path` for reading meets; 0 when it opens.
int unreadable(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno;
  ::close(fd);
  return 0;
}


// No index part of a real document comes near this, read or decoded; a
// larger one is taken for a damaged or hostile archive rather than read
// into memory.
constexpr std::uint64_t kLargestPart = 128ull << 20;

// Counts from hostile input must not wrap around to "nothing".
std::size_t saturatingAdd(std::size_t a, std::uint64_t b) {
  const std::size_t room = SIZE_MAX - a;
  return b >= room ? SIZE_MAX : a + static_cast<std::size_t>(b);
}

// Object types of the archives (the registry numbers iWork writes).
constexpr std::uint64_t kTextStorage = 2001;  // a text storage: its text
constexpr std::uint64_t kTableTile = 6002;    // a tile of table cells

// The files of one document, whatever its container: a zip archive, a
// package folder, or a package folder that keeps its index in Index.zip.
class PackageFiles {
 public:
  // What is read is spent from *budget.
  explicit PackageFiles(CheckBudget* budget) : budget_(budget) {}
  ~PackageFiles() {
    for (zip_t* z : archives_) zip_discard(z);
  }

  Status openArchive(const std::string& path) {
    int code = 0;
    zip_t* z = zip_open(path.c_str(), ZIP_RDONLY, &code);
    if (z == nullptr) return Status::error(zipOpenError(code));
    adopt(z);
    // Some tools zip the package folder itself, so that every member sits
    // under one top folder ("Report.pages/Index.zip"); readers take that
    // folder as the document.
    if (!has("Index/Document.iwa") && !has("Index.zip")) descendIntoSoleTopFolder();
    return openIndexZip();
  }

  // Links that lead out of the folder are not followed; a line for each
  // goes to *notes.
  Status openFolder(const std::string& path, std::vector<std::string>* notes) {
    PackageFolderFiles listing;
    if (Status s = listPackageFolder(path, true, &listing); !s.ok()) return s;
    folderFiles_ = std::move(listing.files);
    if (notes != nullptr) {
      notes->insert(notes->end(), listing.leavingLinks.begin(), listing.leavingLinks.end());
    }
    return openIndexZip();
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

  // Reads a part; what it holds is spent from the budget the first time.
  Status read(const std::string& name, std::string* bytes) const {
    CheckBudget* budget = spentOn_.insert(name).second ? budget_ : nullptr;
    if (auto file = folderFiles_.find(name); file != folderFiles_.end()) {
      return readFile(file->second, name, bytes, budget);
    }
    auto entry = zipEntries_.find(name);
    if (entry == zipEntries_.end()) return Status::error(name + " is missing");
    return readEntry(entry->second, name, bytes, budget);
  }

  // The size of a part as its container declares it (what reading it
  // yields at most); 0 when unknown.
  std::uint64_t declaredSize(const std::string& name) const {
    if (auto file = folderFiles_.find(name); file != folderFiles_.end()) {
      std::error_code ec;
      const std::uintmax_t size = fs::file_size(file->second, ec);
      return ec ? 0 : size;
    }
    auto entry = zipEntries_.find(name);
    zip_stat_t st;
    if (entry == zipEntries_.end() ||
        zip_stat_index(entry->second.archive, entry->second.index, 0, &st) != 0 ||
        !(st.valid & ZIP_STAT_SIZE)) {
      return 0;
    }
    return st.size;
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

  // A package of iWork 2013 and later keeps its index zipped.
  Status openIndexZip() {
    if (!has("Index.zip") || has("Index/Document.iwa")) return {};
    std::string bytes;
    if (Status s = read("Index.zip", &bytes); !s.ok()) return s;
    return openNestedArchive(std::move(bytes));
  }

  // Names the archive's members by their place inside its one top folder,
  // when they all share one.
  void descendIntoSoleTopFolder() {
    std::string top;
    for (const auto& [name, entry] : zipEntries_) {
      const std::size_t slash = name.find('/');
      if (slash == std::string::npos || slash == 0) return;
      if (top.empty()) top = name.substr(0, slash + 1);
      if (!name.starts_with(top)) return;
    }
    if (top.empty()) return;
    std::map<std::string, ZipEntry> inner;
    for (const auto& [name, entry] : zipEntries_) {
      if (name.size() > top.size()) inner.emplace(name.substr(top.size()), entry);
    }
    zipEntries_ = std::move(inner);
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

  static Status readFile(const std::string& path, const std::string& name, std::string* bytes,
                         CheckBudget* budget) {
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(path, ec);
    if (ec) return Status::error(name + " cannot be read: " + ec.message());
    if (size > kLargestPart) return Status::error(name + " is implausibly large");
    if (budget != nullptr) {
      if (Status s = budget->spend(size); !s.ok()) return s;
    }
    if (const int err = unreadable(path)) {
      return explainFileError(path, false, name + " cannot be read: " + std::strerror(err))
          .status();
    }
    std::ifstream in(path, std::ios::binary);
    bytes->assign(static_cast<std::size_t>(size), '\0');
    if (!in.read(bytes->data(), static_cast<std::streamsize>(size))) {
      return Status::error(name + " cannot be read");
    }
    return {};
  }

  static Status readEntry(const ZipEntry& entry, const std::string& name, std::string* bytes,
                          CheckBudget* budget) {
    zip_stat_t st;
    if (zip_stat_index(entry.archive, entry.index, 0, &st) != 0 || !(st.valid & ZIP_STAT_SIZE)) {
      return Status::error(name + " cannot be read: " + zip_strerror(entry.archive));
    }
    if (st.size > kLargestPart) return Status::error(name + " is implausibly large");
    if (budget != nullptr) {
      if (Status s = budget->spend(st.size); !s.ok()) return s;
    }
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

  CheckBudget* budget_;
  mutable std::set<std::string> spentOn_;  // parts whose bytes are spent
  std::vector<zip_t*> archives_;
  std::vector<std::unique_ptr<std::string>> nested_;  // bytes the nested archives read from
  std::map<std::string, std::string> folderFiles_;    // name -> path on disk
  std::map<std::string, ZipEntry> zipEntries_;
};

// Parses a property list with libplist once it is known to nest no deeper
// and stand for no more than libplist can follow; *root stays null when
// the bytes are no list. Fails (" cannot be read: ...", to follow the
// list's name) when they pass a bound.
Status parsePropertyListPart(std::string_view bytes, plist_t* root) {
  std::string reason;
  switch (measurePropertyList(bytes, PropertyListBounds{}, &reason)) {
    case PropertyListFit::exceeds: return Status::error(" cannot be read: " + reason);
    case PropertyListFit::malformed: return {};
    case PropertyListFit::fits: break;
  }
  const auto size = static_cast<uint32_t>(bytes.size());
  if (bytes.starts_with("bplist00")) {
    plist_from_bin(bytes.data(), size, root);
  } else {
    plist_from_xml(bytes.data(), size, root);
  }
  return {};
}

// A binary or XML property list. SheetJS ends its binary list with a line
// break, which Numbers accepts: the list's trailer then comes before the
// last bytes.
Status parsePropertyList(std::string_view bytes, plist_t* root) {
  if (Status s = parsePropertyListPart(bytes, root); !s.ok() || *root != nullptr) return s;
  if (!bytes.starts_with("bplist00")) return {};
  std::size_t end = bytes.size();
  while (*root == nullptr && end > 8 && (bytes[end - 1] == '\n' || bytes[end - 1] == '\r')) {
    if (Status s = parsePropertyListPart(bytes.substr(0, --end), root); !s.ok()) return s;
  }
  return {};
}

// The fileFormatVersion of Metadata/Properties.plist (binary or XML).
Status declaredFormatVersion(const PackageFiles& files, std::string* version) {
  const std::string name = "Metadata/Properties.plist";
  if (!files.has(name)) return {};
  std::string bytes;
  if (Status s = files.read(name, &bytes); !s.ok()) return s;
  plist_t root = nullptr;
  if (bytes.size() < UINT32_MAX) {  // binary or XML, as iWork writes either
    if (Status s = parsePropertyList(bytes, &root); !s.ok()) {
      return Status::error(name + s.message());
    }
  }
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

// Numbers 2022 compresses some side archives (OperationStorage) with
// LZFSE, which readers take only when they need those objects: they count
// for nothing here, except the document's own archive.
bool isSkippedSideArchive(const std::string& name, std::string_view framed) {
  return framed.starts_with("bvx") && name != "Index/Document.iwa";
}

// Spends what the index decodes to before any of it is decoded: parts
// that together declare more than the check may read fail at once, then
// what their chunk headers say they decode to.
Status spendIndex(const PackageFiles& files, CheckBudget& budget) {
  std::uint64_t declared = 0;
  for (const std::string& name : files.names()) {
    if (isIndexArchive(name)) declared = saturatingAdd(declared, files.declaredSize(name));
  }
  if (Status s = budget.wouldFit(declared); !s.ok()) return s;
  for (const std::string& name : files.names()) {
    if (!isIndexArchive(name)) continue;
    std::string framed;
    std::uint64_t decoded = 0;
    if (Status s = files.read(name, &framed); !s.ok()) {
      if (budget.spentOut()) return s;
      continue;  // told with its name when it is read again
    }
    if (isSkippedSideArchive(name, framed) || !iwaDecodedSize(framed, &decoded).ok()) continue;
    if (Status s = budget.spend(decoded); !s.ok()) return s;
  }
  return {};
}

Status readArchiveIndex(const PackageFiles& files, CheckBudget& budget, IworkContent* content) {
  if (!files.has("Index/Document.iwa")) {
    return Status::error("its index is missing (no Index/Document.iwa)");
  }
  if (Status s = spendIndex(files, budget); !s.ok()) return s;
  for (const std::string& name : files.names()) {
    if (!isIndexArchive(name)) continue;
    std::string framed, archive;
    Status s = budget.inTime();
    if (s.ok()) s = files.read(name, &framed);
    if (s.ok() && isSkippedSideArchive(name, framed)) continue;
    if (s.ok()) s = decodeIwaStream(framed, &archive);
    IworkContent counted;
    if (s.ok()) s = countIwaContent(archive, &counted);
    if (!s.ok() && (budget.spentOut() || !s.details().empty())) return s;  // told already
    if (!s.ok()) return Status::error("its index cannot be read: " + name + ": " + s.message());
    if (countsAsContent(name)) {
      content->cells = saturatingAdd(content->cells, counted.cells);
      content->textCharacters = saturatingAdd(content->textCharacters, counted.textCharacters);
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
    if (out->size() + size > kLargestPart) return Status::error("a chunk is damaged");
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

Status countIwaContent(std::string_view archive, IworkContent* content) {
  return forEachIwaObject(archive, [&](std::uint64_t type, std::string_view payload) {
    countObject(type, payload, content);
  });
}

namespace {

// An entry of another archive, copied as it is stored (no recompression).
zip_source_t* rawEntry(zip_t* out, zip_t* in, zip_uint64_t index) {
#if LIBZIP_VERSION_MAJOR > 1 || (LIBZIP_VERSION_MAJOR == 1 && LIBZIP_VERSION_MINOR >= 10)
  return zip_source_zip_file(out, in, index, ZIP_FL_COMPRESSED, 0, -1, nullptr);
#else
  return zip_source_zip(out, in, index, ZIP_FL_COMPRESSED, 0, -1);
#endif
}

}  // namespace

Status flattenPackage(const std::string& folder, const std::string& zipPath,
                      std::vector<std::string>* notes) {
  PackageFolderFiles listing;
  if (Status s = listPackageFolder(folder, false, &listing); !s.ok()) return s;
  if (notes != nullptr) {
    if (notes != nullptr) {
      notes->insert(notes->end(), listing.leavingLinks.begin(), listing.leavingLinks.end());
    }
  }
  int code = 0;
  zip_t* out = zip_open(zipPath.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
  if (out == nullptr) return Status::error("cannot create " + zipPath);
  std::vector<zip_t*> inner;  // read from until `out` is written
  std::error_code ec;
  const auto failWith = [&](const FailureReason& reason) {
    zip_discard(out);
    for (zip_t* z : inner) zip_discard(z);
    fs::remove(zipPath, ec);
    return reason.status();
  };
  const auto fail = [&](const std::string& what) {
    return failWith({FailureKind::damaged, "the package folder cannot be read: " + what, {}});
  };
  const auto add = [&](const std::string& name, zip_source_t* source, bool store) {
    const zip_int64_t index =
        source == nullptr ? -1 : zip_file_add(out, name.c_str(), source, ZIP_FL_OVERWRITE);
    if (index < 0 && source != nullptr) zip_source_free(source);
    if (index >= 0 && store) zip_set_file_compression(out, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
    return index >= 0;
  };
  for (const auto& [name, path] : listing.files) {
    if (name != "Index.zip") {
      // (libzip opens the files only as the archive is written, and then
      // names the archive, not the file.)
      if (const int err = unreadable(path)) {
        return failWith(explainFileError(path, false, "the package folder cannot be read: " +
                                                          name + ": " + std::strerror(err)));
      }
      if (!add(name, zip_source_file(out, path.c_str(), 0, -1), true)) return fail(name);
      continue;
    }
    zip_t* index = zip_open(path.c_str(), ZIP_RDONLY, &code);
    if (index == nullptr) return fail("Index.zip is not a zip archive");
    inner.push_back(index);
    for (zip_int64_t i = 0; i < zip_get_num_entries(index, 0); ++i) {
      const char* entry = zip_get_name(index, static_cast<zip_uint64_t>(i), 0);
      if (entry == nullptr || std::string_view(entry).ends_with("/")) continue;
      if (!add(entry, rawEntry(out, index, static_cast<zip_uint64_t>(i)), false)) {
        return fail(std::string("Index.zip: ") + entry);
      }
    }
  }
  const bool written = zip_close(out) == 0;
  const std::string problem = written ? "" : zip_strerror(out);
  if (!written) zip_discard(out);
  for (zip_t* z : inner) zip_discard(z);
  if (!written) {
    fs::remove(zipPath, ec);
    return explainFileError(zipPath, true, "cannot write " + zipPath + ": " + problem).status();
  }
  return {};
}

// Opens the document at `path` into *files: a zip archive or a package
// folder (links of which that lead out go to *notes).
Status openDocument(const std::string& path, PackageFiles* files, std::vector<std::string>* notes,
                    bool* isFolder) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) {
    return explainFileError(path, false, "it cannot be read: " + std::string(std::strerror(errno)))
        .status();
  }
  *isFolder = S_ISDIR(st.st_mode);
  if (*isFolder) return files->openFolder(path, notes);
  if (!S_ISREG(st.st_mode)) return Status::error("it is neither a file nor a package folder");
  if (st.st_size == 0) return Status::error("the file is empty (0 bytes)");
  return files->openArchive(path);
}

Status readIworkDocument(const std::string& path, IworkDocumentInfo* info,
                         const CheckLimits& limits) {
  CheckBudget budget(limits);
  PackageFiles files(&budget);
  bool isFolder = false;
  if (Status s = openDocument(path, &files, &info->notes, &isFolder); !s.ok()) return s;
  const bool archive = files.has("Index/Document.iwa") ||
                       std::ranges::any_of(files.names(), isIndexArchive);
  if (!archive && !hasXmlIndex(files)) {
    return Status::error(isFolder ? "the package folder holds no document (no index)"
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
  return readArchiveIndex(files, budget, &info->content);
}

Status forEachContentArchive(
    const std::string& path,
    const std::function<void(const std::string& name, const Status& decoded,
                             std::string_view archive)>& visit) {
  CheckBudget budget;
  PackageFiles files(&budget);
  bool isFolder = false;
  if (Status s = openDocument(path, &files, nullptr, &isFolder); !s.ok()) return s;
  for (const std::string& name : files.names()) {
    if (!isIndexArchive(name) || !countsAsContent(name)) continue;
    std::string framed, archive;
    Status s = files.read(name, &framed);
    if (s.ok()) s = decodeIwaStream(framed, &archive);
    visit(name, s, archive);
  }
  return {};
}

Status readDocumentPart(const std::string& path, const std::string& name, std::string* bytes) {
  CheckBudget budget;
  PackageFiles files(&budget);
  bool isFolder = false;
  if (Status s = openDocument(path, &files, nullptr, &isFolder); !s.ok()) return s;
  if (!files.has(name)) return Status::error(name + " is missing");
  return files.read(name, bytes);
}

}  // namespace morvane
