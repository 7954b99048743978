// What a document loaded by LibreOffice holds, counted from its flat
// OpenDocument form, and the check that compares it with what the source
// declared: a conversion that lost the content is an error, never a
// success. The body counts, and the headers and footers of a text
// document; masters, styles and placeholders do not.
#pragma once

#include <cstddef>
#include <string>

#include "platform/status.h"
#include "office/iwork_package.h"

namespace morvane {

struct DocumentCensus {
  std::size_t cells = 0;           // table cells with a value or text
  std::size_t textCharacters = 0;  // visible characters of the body's text
  std::size_t drawings = 0;        // shapes, frames and images of the body
};

// Counts a flat OpenDocument file (.fodt, .fods, .fodp, .fodg).
Status takeCensus(const std::string& flatOdfPath, DocumentCensus* census);

// Fails when the source held table cells and none arrived, or held text
// and neither text nor cells arrived. A source without content passes.
Status checkNothingLost(const IworkContent& source, const DocumentCensus& loaded);

}  // namespace morvane
