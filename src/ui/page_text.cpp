#include "ui/page_text.h"

#include "engine/cp1252.h"

namespace vk {

PageChar DecodePageChar(std::string_view text, std::size_t pos, PageEncoding encoding) {
  const auto byte = static_cast<unsigned char>(text[pos]);
  if (byte < 0x80) return {byte, 1};
  if (encoding == PageEncoding::kUtf8) {
    const Utf8PageChar c = Utf8PageCharAt(text.data() + pos, text.data() + text.size());
    return {c.code, static_cast<int>(c.length)};
  }
  return {Cp1252Char(byte), 1};
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
