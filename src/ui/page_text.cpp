#include "ui/page_text.h"

#include <array>
#include <string>

#include "engine/cp1252.h"

namespace vk {
namespace {

// The character of every byte in Windows-1252, from the engine's table.
const std::array<char32_t, 256>& Cp1252Chars() {
  static const std::array<char32_t, 256> chars = [] {
    std::array<char32_t, 256> table{};
    for (int b = 0; b < 256; ++b) {
      const std::string utf8 = Cp1252ToUtf8(std::string(1, static_cast<char>(b)));
      const QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
      table[b] = text.isEmpty() ? char32_t{0xFFFD} : text.at(0).unicode();
    }
    return table;
  }();
  return chars;
}

// A well-formed UTF-8 sequence at text[pos] (no overlong forms, no surrogates, nothing above
// U+10FFFF): its character and length; bytes 0 when there is none.
PageChar Utf8At(std::string_view text, std::size_t pos) {
  const auto lead = static_cast<unsigned char>(text[pos]);
  if (lead < 0x80) return {lead, 1};
  int length;
  char32_t value, minimum;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, value = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, value = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, value = lead & 0x07, minimum = 0x10000;
  } else {
    return {0, 0};
  }
  if (text.size() - pos < static_cast<std::size_t>(length)) return {0, 0};
  for (int i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[pos + i]);
    if ((next & 0xC0) != 0x80) return {0, 0};
    value = (value << 6) | (next & 0x3F);
  }
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return {0, 0};
  return {value, length};
}

}  // namespace

PageChar DecodePageChar(std::string_view text, std::size_t pos, PageEncoding encoding) {
  const auto byte = static_cast<unsigned char>(text[pos]);
  if (byte < 0x80) return {byte, 1};
  if (encoding == PageEncoding::kUtf8) {
    const PageChar c = Utf8At(text, pos);
    if (c.bytes > 0) return c;
  }
  return {Cp1252Chars()[byte], 1};
}

QString DecodePageText(std::string_view text, PageEncoding encoding) {
  QString out;
  out.reserve(static_cast<qsizetype>(text.size()));
  for (std::size_t pos = 0; pos < text.size();) {
    const PageChar c = DecodePageChar(text, pos, encoding);
    out += QString::fromUcs4(&c.codePoint, 1);
    pos += static_cast<std::size_t>(c.bytes);
  }
  return out;
}

}  // namespace vk
