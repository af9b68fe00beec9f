// Special-character conversion: the bytes 0xA0..0xFF become HTML 4.01 named entities.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/feedback.h"
#include "engine/file_io.h"

namespace vk {

// "&nbsp;" for 0xA0 up to "&yuml;" for 0xFF, in byte order.
const std::array<std::string_view, 96>& EntityTable();

struct ConvertResult {
  std::string text;
  std::int64_t count = 0;  // bytes replaced by entities
};

// Converts every byte 0xA0..0xFF of `text`; everything else stays. Pure.
ConvertResult ConvertSpecialChars(std::string_view text);

// The conversion of a whole file text. With `ignoreMetaTags`, every "<META" tag (any case, up
// to its first '>', quotes not considered) stays as it is; the search for the tags stops at the
// first NUL byte, after which everything is converted. A "<META" without a closing '>' leaves
// the rest of the text unchanged. Pure.
ConvertResult ConvertSpecialCharsText(std::string_view text, bool ignoreMetaTags);

// Converts the file in place and returns the number of characters converted. Writes only
// when the content changed. On failure shows
//   "Konnte " + path + " nicht öffnen oder schreiben!"
// and returns the count reached: 0 when reading failed, the full count when writing failed.
std::int64_t ConvertSpecialCharsInFile(const std::string& path, bool ignoreMetaTags,
                                       Feedback& feedback, FileAccess& files = DiskFileAccess());

}  // namespace vk
