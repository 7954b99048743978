#include "office/iwork_package.h"

#include <plist/plist.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>

#include "office/iwa_stream.h"
#include "office/iwork_limits.h"
#include "office/package_files.h"
#include "office/property_list_bounds.h"

namespace morvane {

namespace {

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

}  // namespace

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

Status readIworkDocument(const std::string& path, IworkDocumentInfo* info,
                         const CheckLimits& limits) {
  CheckBudget budget(limits);
  PackageFiles files(&budget);
  bool isFolder = false;
  if (Status s = files.open(path, &info->notes, &isFolder); !s.ok()) return s;
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
  if (Status s = files.open(path, nullptr, &isFolder); !s.ok()) return s;
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
  if (Status s = files.open(path, nullptr, &isFolder); !s.ok()) return s;
  if (!files.has(name)) return Status::error(name + " is missing");
  return files.read(name, bytes);
}

}  // namespace morvane
