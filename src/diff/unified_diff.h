// The unified diff of one page, as `diff -u` prints it and `patch` reads it: "--- a/PATH",
// "+++ b/PATH", hunks with three lines of context, lines shown whole (however long), and
// "\ No newline at end of file" behind a last line without a line break.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "diff/page_diff.h"

namespace vk {

// Appends the diff of `oldText` against `newText` (the texts `diff` was made from; its
// character ranges are not needed) to `out`, nothing when they are equal. The names are "a/"
// and "b/" followed by `path` (bytes as they are); a name with a blank, a quote, a backslash
// or a control character is quoted with C escapes as `diff` does, so that patch reads it
// whole. Lines are printed with their own line breaks, a CR included.
void AppendUnifiedDiff(const PageDiff& diff, std::string_view oldText, std::string_view newText,
                       std::string_view path, std::string& out, std::size_t context = 3);

}  // namespace vk
