// Special-character conversion: the characters U+00A0..U+00FF become HTML 4.01 named
// entities. On a Windows-1252 page they are the bytes 0xA0..0xFF; on a UTF-8 page the
// sequences C2 A0..C3 BF and the stray bytes 0xA0..0xFF, and every other byte stays.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/encoding.h"
#include "engine/feedback.h"
#include "engine/file_access.h"

namespace vk {

// "&nbsp;" for 0xA0 up to "&yuml;" for 0xFF, in byte order.
const std::array<std::string_view, 96>& EntityTable();

struct ConvertResult {
  std::string text;
  std::int64_t count = 0;  // bytes replaced by entities
};

// Converts every byte 0xA0..0xFF of `text`, read as Windows-1252; everything else stays. Pure.
ConvertResult ConvertSpecialChars(std::string_view text);

// The conversion of a whole file text in `encoding`; the count is the number of entities
// written. With `ignoreMetaTags`, every "<META" tag (any case, up to its first '>', quotes not
// considered) stays as it is; the search for the tags stops at the first NUL byte, after which
// everything is converted. A "<META" without a closing '>' leaves the rest of the text
// unchanged. Pure. The result's text is made in `buffer`, whose room is used.
ConvertResult ConvertSpecialCharsText(std::string_view text, bool ignoreMetaTags,
                                      PageEncoding encoding, std::string buffer = std::string());

// Converts the file in place and returns the number of characters converted. The page is read
// in `encoding`, or, without one, in the encoding its bytes decide. Writes only when the content
// changed. On failure shows
//   "Konnte " + path + " nicht öffnen oder schreiben!"
// and returns the count reached: 0 when reading failed, the full count when writing failed.
std::int64_t ConvertSpecialCharsInFile(const std::string& path, bool ignoreMetaTags,
                                       Feedback& feedback, FileAccess& files,
                                       std::optional<PageEncoding> encoding = std::nullopt);

}  // namespace vk
