// The fonts iWork documents use most, each with the free face installed
// beside Morvane that comes closest to it in metrics, so that a PDF breaks
// its lines where the author's did. Office files keep the original names:
// the stand-ins act only where LibreOffice draws (the PDF).
#pragma once

#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace morvane {

struct FontSubstitution {
  std::string_view family;   // as a document names it
  std::string_view standIn;  // the installed face drawn in its place
};

// The table, most used families first.
std::span<const FontSubstitution> fontSubstitutions();

// LibreOffice's replacement table for a worker's profile, one settings item
// a line: every pair whose family is not installed (the real font wins)
// and whose stand-in is. `installed` tells whether a family is installed.
std::string fontReplacementSettings(const std::function<bool(std::string_view)>& installed);

// Whether fontconfig knows a font of exactly this family.
bool fontFamilyInstalled(std::string_view family);

}  // namespace morvane
