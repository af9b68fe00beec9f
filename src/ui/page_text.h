// Page bytes as the characters a view shows. A page is either UTF-8 or Windows-1252; in UTF-8
// a byte that is not part of a well-formed sequence still shows, as its Windows-1252
// character, so no byte is ever hidden or merged with its neighbours.
#pragma once

#include <QString>
#include <cstddef>
#include <string_view>

namespace vk {

enum class PageEncoding { kWindows1252, kUtf8 };

// kUtf8 for a text with a UTF-8 byte order mark, or with at least one multi-byte UTF-8
// sequence and no byte outside a well-formed one; otherwise kWindows1252.
PageEncoding GuessPageEncoding(std::string_view bytes);

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
