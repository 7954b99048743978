// What the objects of a decoded .iwa archive hold that a reader must bring
// over: table cells with a value and visible characters of text. A
// document whose reader silently drops them is told apart from one that
// holds nothing.
#pragma once

#include <cstddef>
#include <string_view>

#include "platform/status.h"

namespace morvane {

// What the index holds that a reader must bring over.
struct IworkContent {
  std::size_t cells = 0;           // table cells stored with a value
  std::size_t textCharacters = 0;  // visible characters of text, masters and styles aside

  bool any() const { return cells > 0 || textCharacters > 0; }
};

// Adds what one decoded .iwa stream holds to *content.
Status countIwaContent(std::string_view archive, IworkContent* content);

// Visible characters of UTF-8 text: whitespace, separators and the
// placeholders of attachments do not count.
std::size_t visibleCharacters(std::string_view text);

}  // namespace morvane
