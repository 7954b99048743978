// Reads the words a document shows from its iWork index and from the
// Office file converted from it, for the fidelity benchmark.
#include "fidelity_text.h"

#include <utf8proc.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "fidelity_zip.h"
#include "office/iwork_package.h"
#include "office/protobuf_fields.h"

namespace morvane::fidelity {

namespace {

// Object types of the archives (the registry numbers iWork writes).
constexpr std::uint64_t kTextStorage = 2001;
constexpr std::uint64_t kTableDataList = 6005;

// Kinds of text storage (field 1) that do not show on a page or slide:
// presenter notes and generated tables of contents. A storage without a
// kind is a text box.
constexpr std::uint64_t kNoteStorage = 4;
constexpr std::uint64_t kContentsStorage = 7;
constexpr std::uint64_t kTextBoxStorage = 3;

// The list type (field 1) of a table data list that holds cell strings.
constexpr std::uint64_t kStringList = 1;

constexpr std::size_t kShortestWord = 4;

bool isLetter(utf8proc_int32_t c) {
  switch (utf8proc_category(c)) {
    case UTF8PROC_CATEGORY_LU:
    case UTF8PROC_CATEGORY_LL:
    case UTF8PROC_CATEGORY_LT:
    case UTF8PROC_CATEGORY_LM:
    case UTF8PROC_CATEGORY_LO:
      return true;
    default:
      return false;
  }
}

bool isMark(utf8proc_int32_t c) {
  const auto category = utf8proc_category(c);
  return category == UTF8PROC_CATEGORY_MN || category == UTF8PROC_CATEGORY_MC ||
         category == UTF8PROC_CATEGORY_ME;
}

// NFKC case-folded text; plain text where it is no valid UTF-8.
std::string folded(std::string_view text) {
  const std::string copy(text);
  std::unique_ptr<utf8proc_uint8_t, decltype(&std::free)> result(
      utf8proc_NFKC_Casefold(reinterpret_cast<const utf8proc_uint8_t*>(copy.c_str())), &std::free);
  if (result == nullptr) return copy;
  return reinterpret_cast<const char*>(result.get());
}

void addStorageWords(std::string_view payload, WordCounts* words) {
  std::uint64_t kind = kTextBoxStorage;
  std::string text;
  forEachField(payload, [&](const ProtoField& f) {
    if (f.number == 1 && f.kind == ProtoField::Kind::varint) kind = f.value;
    if (f.number == 3 && f.kind == ProtoField::Kind::bytes) text.append(f.bytes);
    return true;
  });
  if (kind != kNoteStorage && kind != kContentsStorage) addWords(wordsOf(text), words);
}

// A string list's entries (field 3) hold a string (3) and how many cells
// use it (2).
void addDataListWords(std::string_view payload, WordCounts* words) {
  std::uint64_t listType = 0;
  std::vector<std::string_view> entries;
  forEachField(payload, [&](const ProtoField& f) {
    if (f.number == 1 && f.kind == ProtoField::Kind::varint) listType = f.value;
    if (f.number == 3 && f.kind == ProtoField::Kind::bytes) entries.push_back(f.bytes);
    return true;
  });
  if (listType != kStringList) return;
  for (std::string_view entry : entries) {
    std::uint64_t uses = 1;
    std::optional<std::string_view> text;
    forEachField(entry, [&](const ProtoField& f) {
      if (f.number == 2 && f.kind == ProtoField::Kind::varint) uses = f.value;
      if (f.number == 3 && f.kind == ProtoField::Kind::bytes) text = f.bytes;
      return true;
    });
    if (text && uses > 0) addWords(wordsOf(*text), words, uses);
  }
}

// Which parts of an Office file show text.
bool showsText(const std::string& name) {
  const auto under = [&](std::string_view folder, std::string_view stem) {
    return name.starts_with(folder) && name.ends_with(".xml") &&
           name.substr(folder.size()).starts_with(stem) &&
           name.find('/', folder.size()) == std::string::npos;
  };
  return under("word/", "document") || under("word/", "header") || under("word/", "footer") ||
         under("word/", "footnotes") || under("word/", "endnotes") ||
         under("ppt/slides/", "slide") || under("xl/worksheets/", "sheet") ||
         under("xl/drawings/", "drawing");
}

// The local name of the tag that starts at xml[at] ('<'), its attributes,
// and whether it closes (</t>) or is empty (<w:br/>); `end` is past its '>'.
struct Tag {
  std::string_view name;
  std::string_view attributes;
  bool closing = false;
  bool empty = false;
  std::size_t end = 0;
};

Tag readTag(std::string_view xml, std::size_t at) {
  Tag tag;
  const std::size_t close = xml.find('>', at);
  tag.end = close == std::string_view::npos ? xml.size() : close + 1;
  std::string_view inner = xml.substr(at + 1, tag.end - at - 2);
  if (inner.starts_with('/')) {
    tag.closing = true;
    inner.remove_prefix(1);
  }
  if (inner.ends_with('/')) tag.empty = true;
  const std::size_t nameEnd = inner.find_first_of(" \t\r\n/");
  std::string_view name = inner.substr(0, nameEnd);
  if (nameEnd != std::string_view::npos) tag.attributes = inner.substr(nameEnd);
  if (const std::size_t colon = name.find(':'); colon != std::string_view::npos) {
    name.remove_prefix(colon + 1);
  }
  tag.name = name;
  return tag;
}

void appendCodePoint(std::uint32_t c, std::string* out) {
  utf8proc_uint8_t bytes[4];
  const auto n = utf8proc_encode_char(static_cast<utf8proc_int32_t>(c), bytes);
  out->append(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(n));
}

// Appends text with its entities decoded.
void appendDecoded(std::string_view text, std::string* out) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const std::size_t semicolon = text[i] == '&' ? text.find(';', i) : std::string_view::npos;
    if (semicolon == std::string_view::npos) {
      out->push_back(text[i]);
      continue;
    }
    const std::string_view entity = text.substr(i + 1, semicolon - i - 1);
    if (entity == "amp")
      out->push_back('&');
    else if (entity == "lt")
      out->push_back('<');
    else if (entity == "gt")
      out->push_back('>');
    else if (entity == "quot")
      out->push_back('"');
    else if (entity == "apos")
      out->push_back('\'');
    else if (entity.starts_with('#')) {
      const bool hex = entity.size() > 1 && (entity[1] == 'x' || entity[1] == 'X');
      appendCodePoint(static_cast<std::uint32_t>(std::strtoul(
                          std::string(entity.substr(hex ? 2 : 1)).c_str(), nullptr, hex ? 16 : 10)),
                      out);
    }
    i = semicolon;
  }
}

bool separatesWords(std::string_view name) {
  for (const char* tag : {"p", "br", "tab", "cr", "tc", "c", "si", "is", "row"}) {
    if (name == tag) return true;
  }
  return false;
}

// Calls `onTag` for each tag of `xml` and `onText` for the raw text
// between tags.
void scanXml(std::string_view xml, const std::function<void(const Tag&)>& onTag,
             const std::function<void(std::string_view)>& onText) {
  for (std::size_t at = 0; at < xml.size();) {
    if (xml[at] != '<') {
      const std::size_t next = std::min(xml.find('<', at), xml.size());
      onText(xml.substr(at, next - at));
      at = next;
      continue;
    }
    const Tag tag = readTag(xml, at);
    onTag(tag);
    at = tag.end;
  }
}

// The value of attribute `name` (without a prefix) of a tag; "" when absent.
std::string_view attribute(const Tag& tag, std::string_view name) {
  const std::string key = " " + std::string(name) + "=\"";
  const std::size_t at = tag.attributes.find(key);
  if (at == std::string_view::npos) return {};
  const std::size_t start = at + key.size();
  const std::size_t end = tag.attributes.find('"', start);
  return tag.attributes.substr(start, end == std::string_view::npos ? end : end - start);
}

// What a sheet's cell value shows: the shared string it points to (t="s")
// or the text its formula gave (t="str"); numbers and errors show no words.
void appendCellValue(std::string_view cellType, const std::string& value,
                     const std::vector<std::string>& sharedStrings, std::string* text) {
  if (cellType == "str") {
    text->append(value);
  } else if (cellType == "s") {
    const std::size_t index = std::strtoul(value.c_str(), nullptr, 10);
    if (index < sharedStrings.size()) text->append(sharedStrings[index]);
  }
  text->push_back(' ');
}

}  // namespace

WordCounts wordsOf(std::string_view text) {
  WordCounts words;
  const std::string folding = folded(text);
  const auto* data = reinterpret_cast<const utf8proc_uint8_t*>(folding.data());
  std::string word;
  std::size_t letters = 0;
  const auto endWord = [&] {
    if (letters >= kShortestWord) ++words[word];
    word.clear();
    letters = 0;
  };
  for (std::size_t at = 0; at < folding.size();) {
    utf8proc_int32_t c = 0;
    const auto n =
        utf8proc_iterate(data + at, static_cast<utf8proc_ssize_t>(folding.size() - at), &c);
    const std::size_t length = n > 0 ? static_cast<std::size_t>(n) : 1;
    if (n > 0 && (isLetter(c) || (isMark(c) && letters > 0))) {
      word.append(folding, at, length);
      if (isLetter(c)) ++letters;
    } else {
      endWord();
    }
    at += length;
  }
  endWord();
  return words;
}

void addWords(const WordCounts& more, WordCounts* words, std::size_t times) {
  for (const auto& [word, count] : more) (*words)[word] += count * times;
}

double keptShare(const WordCounts& wanted, const WordCounts& found) {
  std::size_t total = 0, kept = 0;
  for (const auto& [word, count] : wanted) {
    total += count;
    const auto there = found.find(word);
    if (there != found.end()) kept += std::min(count, there->second);
  }
  return total == 0 ? 1.0 : static_cast<double>(kept) / static_cast<double>(total);
}

std::string officeXmlText(std::string_view xml, const std::vector<std::string>& sharedStrings) {
  std::string text, value;
  bool inText = false, inValue = false;
  std::string_view cellType;  // t="..." of the sheet's cell it is in
  scanXml(
      xml,
      [&](const Tag& tag) {
        if (tag.name == "c" && !tag.closing) cellType = attribute(tag, "t");
        if (tag.name == "t" && !tag.empty) inText = !tag.closing;
        if (tag.name == "v" && !tag.empty) {
          inValue = !tag.closing;
          if (tag.closing) appendCellValue(cellType, value, sharedStrings, &text);
          value.clear();
        }
        if (separatesWords(tag.name) && (tag.closing || tag.empty)) text.push_back(' ');
      },
      [&](std::string_view piece) {
        if (inText) appendDecoded(piece, &text);
        if (inValue) appendDecoded(piece, &value);
      });
  return text;
}

std::vector<std::string> sharedStringItems(std::string_view xml) {
  std::vector<std::string> items;
  bool inText = false;
  scanXml(
      xml,
      [&](const Tag& tag) {
        if (tag.name == "si" && !tag.closing) items.emplace_back();
        if (tag.name == "t" && !tag.empty) inText = !tag.closing;
      },
      [&](std::string_view piece) {
        if (inText && !items.empty()) appendDecoded(piece, &items.back());
      });
  return items;
}

Status officeFileText(const std::string& path, std::string* text) {
  ZipArchive zip;
  if (Status s = zip.open(path); !s.ok()) return s;
  std::vector<std::string> sharedStrings;
  if (zip.has("xl/sharedStrings.xml")) {
    std::string xml;
    if (Status s = zip.read("xl/sharedStrings.xml", &xml); !s.ok()) return s;
    sharedStrings = sharedStringItems(xml);
  }
  for (const std::string& name : zip.names()) {
    if (!showsText(name)) continue;
    std::string xml;
    if (Status s = zip.read(name, &xml); !s.ok()) return s;
    text->append(officeXmlText(xml, sharedStrings));
    text->push_back('\n');
  }
  return {};
}

Status iwaWords(std::string_view archive, WordCounts* words) {
  return forEachIwaObject(archive, [&](std::uint64_t type, std::string_view payload) {
    if (type == kTextStorage) addStorageWords(payload, words);
    if (type == kTableDataList) addDataListWords(payload, words);
  });
}

Status iworkDocumentWords(const std::string& path, IworkWords* result) {
  return forEachContentArchive(
      path, [&](const std::string& name, const Status& decoded, std::string_view archive) {
        result->archive = true;
        WordCounts words;
        if (decoded.ok() && iwaWords(archive, &words).ok()) {
          addWords(words, &result->words);
        } else {
          result->unread.push_back(name.substr(std::string_view("Index/").size()));
        }
      });
}

}  // namespace morvane::fidelity
