#include "engine/script_composer.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "engine/large_buffer.h"

namespace morvane {

// The record's statements go into its application's text while the record
// is at hand, so that composing the script later only joins those texts.
void ScriptComposer::addRecord(const FileConversionConfig& config) {
  PlannedScript& plan = planned_[config.app];
  std::string& text = plan.statements;
  text += "  activate\n  open POSIX file ";
  appendScriptStringLiteral(text, config.file.url.native());
  text += '\n';
  const std::size_t n = std::min(config.targetPaths.size(), config.targetFormats.size());
  for (std::size_t i = 0; i < n; ++i) {
    const std::string& format = config.targetFormats[i];
    plan.targetFormats.push_back(format);
    const bool save = tables_.isIworkFormat(format);
    text += save ? "  save document 1 in POSIX file " : "  export document 1 to POSIX file ";
    appendScriptStringLiteral(text, config.targetPaths[i].native());
    if (!save) text.append(" as ").append(tables_.osaformatsForExtensions.at(format));
    text += '\n';
  }
  text += "  close document 1\n";
}

std::string ScriptComposer::compose() const {
  std::size_t size = 0;
  for (const auto& [app, plan] : planned_) size += 64 + app.size() + plan.statements.size();
  std::string text;
  reserveLargeBuffer(text, size);
  std::string line;  // reused for the log lines, so they cost no allocation
  for (const auto& [app, plan] : planned_) {
    for (const std::string& format : plan.targetFormats) {
      line.assign("export to file format: ").append(format);
      env_.log(line);
    }
    text += "tell application ";
    appendScriptStringLiteral(text, "/Applications/" + app + ".app");
    text += '\n';
    text += plan.statements;
    text += "  quit\nend tell\n";
  }
  return text;
}

namespace {

bool needsEscape(char c) { return c == '\\' || c == '"' || c == '\n' || c == '\r' || c == '\t'; }

// True when one of the eight bytes of `word` may need an escape: every
// such byte is below 0x23 (tab, line feed, return, double quote) or a
// backslash (0x5C). May answer true for a word without one, never false
// for a word with one.
bool wordMayNeedEscape(std::uint64_t word) {
  constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
  constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
  const std::uint64_t below = (word - kOnes * 0x23) & ~word;
  const std::uint64_t backslash = word ^ (kOnes * 0x5C);
  return ((below | ((backslash - kOnes) & ~backslash)) & kHighBits) != 0;
}

// The length of the leading run of `text` that needs no escape, looked
// at eight bytes at a time (paths rarely hold a character to escape).
std::size_t plainRun(const char* text, std::size_t size) {
  std::size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    std::uint64_t word;
    std::memcpy(&word, text + i, sizeof word);
    if (wordMayNeedEscape(word)) break;
  }
  while (i < size && !needsEscape(text[i])) ++i;
  return i;
}

}  // namespace

void appendScriptStringLiteral(std::string& out, std::string_view text) {
  out += '"';
  while (!text.empty()) {
    const std::size_t plain = plainRun(text.data(), text.size());
    out.append(text.substr(0, plain));
    if (plain == text.size()) break;
    switch (text[plain]) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default: out += "\\t"; break;
    }
    text.remove_prefix(plain + 1);
  }
  out += '"';
}

std::string scriptStringLiteral(std::string_view text) {
  std::string literal;
  appendScriptStringLiteral(literal, text);
  return literal;
}

}  // namespace morvane
