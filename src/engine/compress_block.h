// The block rules of HTML compression as one linear pass from a source block into a separate
// buffer. Shared by the public block function and by the cutting of a page at its <pre> and
// <script> blocks, which writes every piece straight into the page's output buffer.
#pragma once

#include <cstddef>
#include <string_view>

#include "engine/feedback.h"
#include "engine/texts.h"

namespace vk::compress_detail {

// The text shown when the block rules run out of memory.
inline constexpr char kBlockFailure[] =
    QT_TRANSLATE_NOOP("vk::Compression", "Exception während der Komprimierung des HTML Blocks!");

// White space for the trimming rules: every byte 0..32.
inline bool IsTrimmable(unsigned char c) { return c <= 32; }

struct BlockResult {
  std::size_t written = 0;  // bytes written to the destination
  bool changed = false;     // a rule found work; the trim at the end alone does not count
  bool differs = false;     // the rules' result is not the block byte for byte
};

// Writes the compressed form of `block` to `dst`, which has room for block.size() bytes and
// does not overlap `block`. With `dropLeading` the white space at the start of the result is
// left out as well (a piece next to a script loses it); `differs` still describes the result
// with that white space. Yields as the rules do. When std::bad_alloc escapes a yield, shows
// kBlockFailure and writes the block unchanged (also its leading white space).
BlockResult CompressBlockTo(std::string_view block, char* dst, bool dropLeading,
                            Feedback& feedback);

}  // namespace vk::compress_detail
