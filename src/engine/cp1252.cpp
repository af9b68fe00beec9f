#include "engine/cp1252.h"

#include <cstdint>

#include "engine/encoding.h"

namespace vk {
namespace {

// Characters of the bytes 0x80..0x9F; everything else is the byte's own code point (Latin-1).
constexpr char32_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80..87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88..8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90..97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98..9F
};

void AppendUtf8(char32_t cp, std::string* out) {
  if (cp < 0x80) {
    out->push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// Decodes one character at text[*pos] and advances *pos; false for a broken sequence (overlong
// forms, surrogates and values above U+10FFFF included), which consumes one byte.
bool DecodeUtf8(std::string_view text, std::size_t* pos, char32_t* cp) {
  const char* p = text.data() + *pos;
  const char* end = text.data() + text.size();
  const auto lead = static_cast<unsigned char>(*p);
  if (lead >= 0x80 && Utf8SequenceLength(p, end) == 0) {
    ++*pos;
    return false;
  }
  const Utf8PageChar c = Utf8PageCharAt(p, end);
  *cp = c.code;
  *pos += c.length;
  return true;
}

// The byte of `cp`, or -1 when the code page has none.
int ByteOf(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
  for (int i = 0; i < 32; ++i) {
    if (kHigh[i] == cp) return 0x80 + i;
  }
  return -1;
}

}  // namespace

char32_t Cp1252Char(unsigned char byte) {
  return byte >= 0x80 && byte <= 0x9F ? kHigh[byte - 0x80] : char32_t{byte};
}

std::string Cp1252ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 4);
  for (char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    AppendUtf8(b >= 0x80 && b <= 0x9F ? kHigh[b - 0x80] : char32_t{b}, &out);
  }
  return out;
}

bool Utf8ToCp1252(std::string_view text, std::string* out, std::string* badChar) {
  out->clear();
  out->reserve(text.size());
  std::size_t pos = 0;
  while (pos < text.size()) {
    char32_t cp;
    const bool decoded = DecodeUtf8(text, &pos, &cp);
    const int byte = decoded ? ByteOf(cp) : -1;
    if (byte < 0) {
      if (badChar) {
        badChar->clear();
        AppendUtf8(decoded ? cp : char32_t{0xFFFD}, badChar);
      }
      return false;
    }
    out->push_back(static_cast<char>(byte));
  }
  return true;
}

}  // namespace vk
