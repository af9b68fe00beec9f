// A page text cut into lines without copying: a line ends behind its LF (a CR before it stays
// part of the line), and a last line without a line break is a line of its own, marked so.
// The text itself is not kept; offsets refer to the string the lines were made from.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace vk {

class TextLines {
 public:
  TextLines() = default;
  explicit TextLines(std::string_view text);

  // Number of lines; an empty text has none, "a\n" has one, "a\nb" two.
  std::size_t Count() const { return starts_.empty() ? 0 : starts_.size() - 1; }
  // Offset of the first byte of line `i`.
  std::size_t Begin(std::size_t i) const { return starts_[i]; }
  // Offset behind line `i`, its LF included.
  std::size_t End(std::size_t i) const { return starts_[i + 1]; }
  // Offset behind the line's characters: in front of its LF, or End(i) for an unterminated
  // last line. A CR in front of the LF belongs to the characters.
  std::size_t ContentEnd(std::size_t i) const { return End(i) - (HasLineBreak(i) ? 1 : 0); }
  // False only for a last line that the text ends without a LF.
  bool HasLineBreak(std::size_t i) const { return i + 1 < Count() || lastTerminated_; }
  // The line that holds byte `offset` (the last line for the text's length).
  std::size_t LineOf(std::size_t offset) const;

 private:
  std::vector<std::size_t> starts_;  // Count() + 1 entries: each line's start, then the end
  bool lastTerminated_ = true;
};

}  // namespace vk
