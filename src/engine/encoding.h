// Which characters a page's bytes stand for. Every page is decided once, from its bytes alone
// (declarations inside pages are too often wrong to trust): Windows-1252, one byte per
// character, or UTF-8, where a byte that begins no well-formed sequence stands alone for its
// Windows-1252 character. Reading a UTF-8 page never needs more than three bytes of context.
#pragma once

#include <cstddef>
#include <string_view>

namespace vk {

enum class PageEncoding { kWindows1252, kUtf8 };

// UTF-8 when the page starts with the byte-order mark EF BB BF. Otherwise the page is read from
// its start, stepping over each well-formed UTF-8 sequence of two to four bytes (a sequence)
// and over each other byte of 0x80 or above (a stray byte): UTF-8 when it holds at least one
// sequence and no more stray bytes than sequences, Windows-1252 otherwise.
PageEncoding DecidePageEncoding(std::string_view page);

// True when every byte of `text` is ASCII or part of a well-formed UTF-8 sequence (the test
// that decides how a file name is shown).
bool IsWellFormedUtf8(std::string_view text);

// "utf-8" or "windows-1252".
std::string_view EncodingName(PageEncoding encoding);

// Length (2 to 4) of the well-formed UTF-8 sequence that begins at `p`, looking no further than
// `end`; 0 when none begins there: an ASCII byte, a continuation byte, an overlong form, a
// surrogate, a value above U+10FFFF or a sequence cut short.
inline std::size_t Utf8SequenceLength(const char* p, const char* end) {
  const auto at = [p](int i) { return static_cast<unsigned char>(p[i]); };
  const unsigned char lead = at(0);
  if (lead < 0xC2 || lead > 0xF4) return 0;
  std::size_t length = 4;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead <= 0xDF) {
    length = 2;
  } else if (lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // overlong below U+0800
    if (lead == 0xED) high = 0x9F;  // surrogates
  } else {
    if (lead == 0xF0) low = 0x90;   // overlong below U+10000
    if (lead == 0xF4) high = 0x8F;  // above U+10FFFF
  }
  if (static_cast<std::size_t>(end - p) < length) return 0;
  if (at(1) < low || at(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if ((at(static_cast<int>(i)) & 0xC0) != 0x80) return 0;
  }
  return length;
}

inline bool IsContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// One character of a UTF-8 page: its code point and how many bytes it takes.
struct Utf8PageChar {
  char32_t code;
  std::size_t length;
};

// The character of a UTF-8 page that begins at `p` (before `end`): a well-formed sequence, or a
// single byte read as its Windows-1252 character.
Utf8PageChar Utf8PageCharAt(const char* p, const char* end);

// Whether a character of a UTF-8 page begins at text[at]. Every byte but a continuation byte
// begins one; a continuation byte does unless a well-formed sequence that begins up to three
// bytes before it covers it. Bytes before the start of `text` are not looked at: `text` must
// begin where a character begins, or `at` be at least 3.
bool StartsCharacter(std::string_view text, std::size_t at);

}  // namespace vk
