#include "office/font_substitutions.h"

#include <fontconfig/fontconfig.h>

#include <array>

namespace morvane {

namespace {

// Metric clones first (the same advance widths: Carlito, Caladea, the
// Liberation and URW faces); where there is none, the free face of the
// nearest widths and kind.
constexpr std::array kSubstitutions = {
    FontSubstitution{"Helvetica Neue", "Nimbus Sans"},
    FontSubstitution{"Helvetica", "Nimbus Sans"},
    FontSubstitution{"Calibri", "Carlito"},
    FontSubstitution{"Calibri Light", "Carlito"},
    FontSubstitution{"Cambria", "Caladea"},
    FontSubstitution{"Arial", "Liberation Sans"},
    FontSubstitution{"Arial Narrow", "Liberation Sans Narrow"},
    FontSubstitution{"Times New Roman", "Liberation Serif"},
    FontSubstitution{"Times", "Nimbus Roman"},
    FontSubstitution{"Courier New", "Liberation Mono"},
    FontSubstitution{"Courier", "Nimbus Mono PS"},
    FontSubstitution{"Gill Sans", "Gillius ADF"},
    FontSubstitution{"Gill Sans MT", "Gillius ADF"},
    FontSubstitution{"Avenir", "Nimbus Sans"},
    FontSubstitution{"Avenir Next", "Nimbus Sans"},
    FontSubstitution{"Avenir Next Condensed", "Nimbus Sans Narrow"},
    FontSubstitution{"Helvetica Neue Condensed", "Nimbus Sans Narrow"},
    FontSubstitution{"Futura", "Nimbus Sans"},
    FontSubstitution{"SF Pro", "Nimbus Sans"},
    FontSubstitution{"SF Pro Text", "Nimbus Sans"},
    FontSubstitution{"SF Pro Display", "Nimbus Sans"},
    FontSubstitution{"SF Compact", "Nimbus Sans"},
    FontSubstitution{"Lucida Grande", "DejaVu Sans"},
    FontSubstitution{"Verdana", "DejaVu Sans"},
    FontSubstitution{"Tahoma", "DejaVu Sans Condensed"},
    FontSubstitution{"Trebuchet MS", "Liberation Sans"},
    FontSubstitution{"Optima", "Linux Biolinum O"},
    FontSubstitution{"Palatino", "P052"},
    FontSubstitution{"Palatino Linotype", "P052"},
    FontSubstitution{"Book Antiqua", "P052"},
    FontSubstitution{"Hoefler Text", "Linux Libertine O"},
    FontSubstitution{"Baskerville", "Linux Libertine O"},
    FontSubstitution{"Cochin", "Linux Libertine O"},
    FontSubstitution{"Garamond", "Linux Libertine O"},
    FontSubstitution{"Georgia", "Caladea"},
    FontSubstitution{"Bookman", "URW Bookman"},
    FontSubstitution{"Bookman Old Style", "URW Bookman"},
    FontSubstitution{"New Century Schoolbook", "C059"},
    FontSubstitution{"Century Schoolbook", "C059"},
    FontSubstitution{"Avant Garde", "URW Gothic"},
    FontSubstitution{"Zapf Chancery", "Z003"},
    FontSubstitution{"Menlo", "DejaVu Sans Mono"},
    FontSubstitution{"Monaco", "DejaVu Sans Mono"},
    FontSubstitution{"SF Mono", "DejaVu Sans Mono"},
    FontSubstitution{"Andale Mono", "DejaVu Sans Mono"},
    FontSubstitution{"PingFang SC", "Noto Sans CJK SC"},
    FontSubstitution{"PingFang TC", "Noto Sans CJK TC"},
    FontSubstitution{"PingFang HK", "Noto Sans CJK HK"},
    FontSubstitution{"Heiti SC", "Noto Sans CJK SC"},
    FontSubstitution{"Heiti TC", "Noto Sans CJK TC"},
    FontSubstitution{"STHeiti", "Noto Sans CJK SC"},
    FontSubstitution{"Songti SC", "Noto Serif CJK SC"},
    FontSubstitution{"Songti TC", "Noto Serif CJK TC"},
    FontSubstitution{"Hiragino Sans", "Noto Sans CJK JP"},
    FontSubstitution{"Hiragino Sans GB", "Noto Sans CJK SC"},
    FontSubstitution{"Hiragino Kaku Gothic ProN", "Noto Sans CJK JP"},
    FontSubstitution{"Hiragino Mincho ProN", "Noto Serif CJK JP"},
    FontSubstitution{"Apple SD Gothic Neo", "Noto Sans CJK KR"},
    FontSubstitution{"Microsoft YaHei", "Noto Sans CJK SC"},
    FontSubstitution{"MS Gothic", "Noto Sans CJK JP"},
    FontSubstitution{"Malgun Gothic", "Noto Sans CJK KR"},
};

std::string xmlEscaped(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string property(std::string_view name, std::string_view value) {
  return "<prop oor:name=\"" + std::string(name) + "\" oor:op=\"fuse\"><value>" +
         xmlEscaped(value) + "</value></prop>";
}

}  // namespace

std::span<const FontSubstitution> fontSubstitutions() { return kSubstitutions; }

std::string fontReplacementSettings(const std::function<bool(std::string_view)>& installed) {
  std::string pairs;
  int n = 0;
  for (const FontSubstitution& s : kSubstitutions) {
    if (installed(s.family) || !installed(s.standIn)) continue;
    // Only pairs marked "Always" reach LibreOffice's PDF export (7.4); the
    // family check above keeps a real font first.
    pairs += "<item oor:path=\"/org.openoffice.Office.Common/Font/Substitution/FontPairs\">"
             "<node oor:name=\"morvane-" + std::to_string(n++) + "\" oor:op=\"replace\">" +
             property("Always", "true") + property("OnScreenOnly", "false") +
             property("ReplaceFont", s.family) + property("SubstituteFont", s.standIn) +
             "</node></item>\n";
  }
  if (pairs.empty()) return "";
  return "<item oor:path=\"/org.openoffice.Office.Common/Font/Substitution\">" +
         property("Replacement", "true") + "</item>\n" + pairs;
}

bool fontFamilyInstalled(std::string_view family) {
  FcPattern* pattern = FcPatternCreate();
  if (pattern == nullptr) return false;
  const std::string name(family);
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()));
  FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, nullptr);
  FcFontSet* fonts = objects != nullptr ? FcFontList(nullptr, pattern, objects) : nullptr;
  const bool found = fonts != nullptr && fonts->nfont > 0;
  if (fonts != nullptr) FcFontSetDestroy(fonts);
  if (objects != nullptr) FcObjectSetDestroy(objects);
  FcPatternDestroy(pattern);
  return found;
}

}  // namespace morvane
