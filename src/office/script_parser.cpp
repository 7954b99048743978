#include "office/script_parser.h"

#include <array>
#include <optional>

namespace morvane {

namespace {

constexpr std::array<std::string_view, 8> kFormatNames = {
    "PDF",          "Microsoft Word", "Microsoft Excel", "Microsoft Powerpoint",
    "Pages Format", "Numbers Format", "Keynote Format",  "Formatted Text"};

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

// Reads a string literal at the start of `s`; on success `s` is left after
// its closing quote.
std::optional<std::string> readLiteral(std::string_view& s) {
  if (s.empty() || s.front() != '"') return std::nullopt;
  std::string value;
  for (std::size_t i = 1; i < s.size(); ++i) {
    const char c = s[i];
    if (c == '"') {
      s.remove_prefix(i + 1);
      return value;
    }
    if (c != '\\') {
      value += c;
      continue;
    }
    if (++i == s.size()) return std::nullopt;
    switch (s[i]) {
      case '\\': value += '\\'; break;
      case '"': value += '"'; break;
      case 'n': value += '\n'; break;
      case 'r': value += '\r'; break;
      case 't': value += '\t'; break;
      default: return std::nullopt;
    }
  }
  return std::nullopt;
}

// `text` = prefix + literal + rest; returns the literal and the rest.
std::optional<std::pair<std::string, std::string_view>> literalAfter(std::string_view text,
                                                                    std::string_view prefix) {
  if (!text.starts_with(prefix)) return std::nullopt;
  text.remove_prefix(prefix.size());
  std::optional<std::string> value = readLiteral(text);
  if (!value) return std::nullopt;
  return std::make_pair(std::move(*value), text);
}

std::optional<ScriptStatement> parseStatement(std::string_view text) {
  using Kind = ScriptStatement::Kind;
  ScriptStatement st;
  st.text = std::string(text);
  if (text == "activate") return st.kind = Kind::activate, st;
  if (text == "close document 1") return st.kind = Kind::close, st;
  if (text == "quit") return st.kind = Kind::quit, st;
  if (auto open = literalAfter(text, "open POSIX file "); open && open->second.empty()) {
    st.kind = Kind::open;
    st.path = std::move(open->first);
    return st;
  }
  if (auto save = literalAfter(text, "save document 1 in POSIX file "); save && save->second.empty()) {
    st.kind = Kind::save;
    st.path = std::move(save->first);
    return st;
  }
  if (auto exp = literalAfter(text, "export document 1 to POSIX file ");
      exp && exp->second.starts_with(" as ") && isKnownFormatName(exp->second.substr(4))) {
    st.kind = Kind::exportAs;
    st.path = std::move(exp->first);
    st.format = std::string(exp->second.substr(4));
    return st;
  }
  return std::nullopt;
}

std::string applicationName(std::string literal) {
  constexpr std::string_view kFolder = "/Applications/";
  constexpr std::string_view kSuffix = ".app";
  if (literal.starts_with(kFolder) && literal.ends_with(kSuffix) &&
      literal.size() > kFolder.size() + kSuffix.size()) {
    return literal.substr(kFolder.size(), literal.size() - kFolder.size() - kSuffix.size());
  }
  return literal;
}

Status lineError(int line, std::string_view text, std::string_view why) {
  return Status::error("line " + std::to_string(line) + ": " + std::string(why) + ": " +
                       std::string(text));
}

}  // namespace

bool isKnownFormatName(std::string_view name) {
  for (std::string_view known : kFormatNames) {
    if (name == known) return true;
  }
  return false;
}

Status parseScript(std::string_view text, ParsedScript* out) {
  out->blocks.clear();
  bool inBlock = false;
  int lineNumber = 0;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view raw = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    ++lineNumber;
    const std::string_view line = trim(raw);
    if (line.empty()) continue;
    if (!inBlock) {
      auto tell = literalAfter(line, "tell application ");
      if (!tell || !tell->second.empty()) {
        return lineError(lineNumber, line, "expected tell application \"…\"");
      }
      out->blocks.push_back({applicationName(std::move(tell->first)), lineNumber, {}});
      inBlock = true;
    } else if (line == "end tell") {
      inBlock = false;
    } else if (std::optional<ScriptStatement> st = parseStatement(line)) {
      st->line = lineNumber;
      out->blocks.back().statements.push_back(std::move(*st));
    } else {
      return lineError(lineNumber, line, "unknown statement");
    }
  }
  if (inBlock) {
    return Status::error("line " + std::to_string(out->blocks.back().line) +
                         ": tell block without end tell");
  }
  return {};
}

}  // namespace morvane
