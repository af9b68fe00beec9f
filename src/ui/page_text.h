// Page bytes as the characters a view shows. A page is either UTF-8 or Windows-1252, as
// DecidePageEncoding decides; in UTF-8 a byte that is not part of a well-formed sequence still
// shows, as its Windows-1252 character, so no byte is ever hidden or merged with its
// neighbours.
#pragma once

#include <QString>
#include <cstddef>
#include <string_view>

#include "engine/encoding.h"

namespace vk {

// One character of a page: its code point and how many bytes it takes.
struct PageChar {
  char32_t codePoint = 0;
  int bytes = 1;
};

// The character that starts at text[pos] (pos < text.size()).
PageChar DecodePageChar(std::string_view text, std::size_t pos, PageEncoding encoding);

// The whole text as characters.
QString DecodePageText(std::string_view text, PageEncoding encoding);

}  // namespace vk
