#include "diff/unified_diff.h"

#include <algorithm>

namespace vk {
namespace {

void AppendName(std::string_view prefix, std::string_view path, std::string& out) {
  const bool quote = std::any_of(path.begin(), path.end(), [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return u <= ' ' || u == 0x7F || c == '"' || c == '\\';
  });
  if (!quote) {
    out += prefix;
    out += path;
    return;
  }
  out += '"';
  out += prefix;
  for (char c : path) {
    const auto u = static_cast<unsigned char>(c);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        if (u < ' ' || u == 0x7F) {
          out += '\\';
          out += static_cast<char>('0' + (u >> 6));
          out += static_cast<char>('0' + ((u >> 3) & 7));
          out += static_cast<char>('0' + (u & 7));
        } else {
          out += c;
        }
    }
  }
  out += '"';
}

// "start,count" of a hunk side; `first` counts from 0. An empty side names the line before it,
// and a count of one is left out, as diff writes them.
void AppendRangeText(std::size_t first, std::size_t count, std::string& out) {
  out += std::to_string(count == 0 ? first : first + 1);
  if (count != 1) {
    out += ',';
    out += std::to_string(count);
  }
}

void AppendLine(char mark, std::string_view text, const TextLines& lines, std::size_t i,
                std::string& out) {
  out += mark;
  out.append(text.substr(lines.Begin(i), lines.End(i) - lines.Begin(i)));
  if (!lines.HasLineBreak(i)) out += "\n\\ No newline at end of file\n";
}

}  // namespace

void AppendUnifiedDiff(const PageDiff& diff, std::string_view oldText, std::string_view newText,
                       std::string_view path, std::string& out, std::size_t context) {
  if (diff.blocks.empty()) return;
  out += "--- ";
  AppendName("a/", path, out);
  out += "\n+++ ";
  AppendName("b/", path, out);
  out += '\n';

  const std::size_t n = diff.oldLines.Count();
  const auto& blocks = diff.blocks;
  std::size_t first = 0;
  while (first < blocks.size()) {
    // The blocks whose context touches or overlaps make one hunk.
    std::size_t last = first;
    while (last + 1 < blocks.size() &&
           blocks[last + 1].oldFirst - (blocks[last].oldFirst + blocks[last].oldCount) <=
               2 * context) {
      ++last;
    }
    const ChangeBlock& head = blocks[first];
    const ChangeBlock& tail = blocks[last];
    const std::size_t lead = std::min(context, head.oldFirst);  // equal lines in front
    const std::size_t tailEnd = tail.oldFirst + tail.oldCount;
    const std::size_t trail = std::min(context, n - tailEnd);  // equal lines behind
    const std::size_t oldStart = head.oldFirst - lead, newStart = head.newFirst - lead;
    const std::size_t oldCount = tailEnd + trail - oldStart;
    const std::size_t newCount = tail.newFirst + tail.newCount + trail - newStart;
    out += "@@ -";
    AppendRangeText(oldStart, oldCount, out);
    out += " +";
    AppendRangeText(newStart, newCount, out);
    out += " @@\n";

    std::size_t oldLine = oldStart;
    for (std::size_t b = first; b <= last; ++b) {
      const ChangeBlock& block = blocks[b];
      for (; oldLine < block.oldFirst; ++oldLine) {
        AppendLine(' ', oldText, diff.oldLines, oldLine, out);
      }
      for (std::size_t i = 0; i < block.oldCount; ++i) {
        AppendLine('-', oldText, diff.oldLines, block.oldFirst + i, out);
      }
      for (std::size_t j = 0; j < block.newCount; ++j) {
        AppendLine('+', newText, diff.newLines, block.newFirst + j, out);
      }
      oldLine = block.oldFirst + block.oldCount;
    }
    for (; oldLine < tailEnd + trail; ++oldLine) {
      AppendLine(' ', oldText, diff.oldLines, oldLine, out);
    }
    first = last + 1;
  }
}

}  // namespace vk
