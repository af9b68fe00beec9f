#include "engine/encoding.h"

#include <cstdint>
#include <cstring>

#include "engine/cp1252.h"

namespace vk {
namespace {

constexpr std::uint64_t kHighBits = 0x8080808080808080ull;

// The first byte of 0x80 or above at or after `p`, or `end`.
const char* SkipAscii(const char* p, const char* end) {
  for (; end - p >= 8; p += 8) {
    std::uint64_t w;
    std::memcpy(&w, p, sizeof w);
    if (const std::uint64_t high = w & kHighBits; high != 0) {
      return p + (static_cast<unsigned>(__builtin_ctzll(high)) >> 3);
    }
  }
  while (p < end && static_cast<unsigned char>(*p) < 0x80) ++p;
  return p;
}

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "words are read lowest byte first");

}  // namespace

bool IsWellFormedUtf8(std::string_view text) {
  const char* p = text.data();
  const char* const end = p + text.size();
  while ((p = SkipAscii(p, end)) < end) {
    const std::size_t length = Utf8SequenceLength(p, end);
    if (length == 0) return false;
    p += length;
  }
  return true;
}

PageEncoding DecidePageEncoding(std::string_view page) {
  if (page.starts_with("\xEF\xBB\xBF")) return PageEncoding::kUtf8;
  std::size_t sequences = 0;
  std::size_t strays = 0;
  const char* p = page.data();
  const char* const end = p + page.size();
  while ((p = SkipAscii(p, end)) < end) {
    if (const std::size_t length = Utf8SequenceLength(p, end); length > 0) {
      ++sequences;
      p += length;
    } else {
      ++strays;
      ++p;
    }
  }
  return sequences > 0 && sequences >= strays ? PageEncoding::kUtf8 : PageEncoding::kWindows1252;
}

std::string_view EncodingName(PageEncoding encoding) {
  return encoding == PageEncoding::kUtf8 ? "utf-8" : "windows-1252";
}

Utf8PageChar Utf8PageCharAt(const char* p, const char* end) {
  const auto lead = static_cast<unsigned char>(*p);
  if (lead < 0x80) return {lead, 1};
  const std::size_t length = Utf8SequenceLength(p, end);
  if (length == 0) return {Cp1252Char(lead), 1};
  char32_t code = lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    code = (code << 6) | (static_cast<unsigned char>(p[i]) & 0x3F);
  }
  return {code, length};
}

bool StartsCharacter(std::string_view text, std::size_t at) {
  if (!IsContinuationByte(text[at])) return true;
  // The nearest byte ahead that is no continuation byte is the only one that can begin a
  // sequence reaching this far.
  for (std::size_t back = 1; back <= 3 && back <= at; ++back) {
    if (IsContinuationByte(text[at - back])) continue;
    const char* lead = text.data() + at - back;
    return Utf8SequenceLength(lead, text.data() + text.size()) <= back;
  }
  return true;
}

}  // namespace vk
