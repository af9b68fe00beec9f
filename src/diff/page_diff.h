// The changes between the old and the new text of one page, as the side-by-side view and the
// unified diff show them: a line diff (Myers), then a character diff within each block of
// changed lines. Offsets refer to the two texts the diff was made from; the texts themselves
// are not kept.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "diff/char_diff.h"
#include "diff/text_lines.h"

namespace vk {

enum class RowKind : std::uint8_t {
  kSame,     // the line is in both texts
  kChanged,  // an old line and a new line at the same place of a change block
  kRemoved,  // an old line with no new line beside it
  kAdded,    // a new line with no old line beside it
};

inline constexpr std::size_t kNoLine = static_cast<std::size_t>(-1);

// One row of the side-by-side view.
struct DiffRow {
  RowKind kind = RowKind::kSame;
  std::size_t oldLine = kNoLine;  // kNoLine for kAdded
  std::size_t newLine = kNoLine;  // kNoLine for kRemoved
  bool operator==(const DiffRow&) const = default;
};

// A run of old lines replaced by a run of new lines (either may be empty, not both), with
// equal lines or a text's start or end on both sides. Its rows pair the lines in order.
struct ChangeBlock {
  std::size_t firstRow = 0, rowCount = 0;
  std::size_t oldFirst = 0, oldCount = 0;
  std::size_t newFirst = 0, newCount = 0;
  bool operator==(const ChangeBlock&) const = default;
};

struct DiffOptions {
  // Also the character diff within the change blocks (removed, added).
  bool characters = true;
  // Work allowance of the whole diff in steps; 0 takes the default for the texts' size:
  // 16 Mi steps and 8 per byte, several times what a page's compression, conversion or
  // replacement needs, and about half a second for 5 MB of unrelated texts.
  std::uint64_t budgetSteps = 0;
};

struct PageDiff {
  TextLines oldLines;
  TextLines newLines;
  std::vector<DiffRow> rows;
  std::vector<ChangeBlock> blocks;  // in text order
  // Bytes of the old text that are gone and bytes of the new text that are new, sorted and
  // apart, all inside change blocks; the LF (or CR LF) of a line may be part of one.
  std::vector<ByteRange> removed;
  std::vector<ByteRange> added;
  std::size_t changedOldLines = 0;  // old lines inside change blocks
  std::size_t changedNewLines = 0;  // new lines inside change blocks
  std::size_t changedRows = 0;      // rows that are not kSame
  // False when the work allowance ran out: some changes are then marked as whole lines or
  // whole blocks rather than to the byte (the diff stays valid).
  bool exact = true;
};

// Compares the two texts. Lines are compared with their line breaks, so "a" at the end of a
// text and "a\n" differ. Pure.
PageDiff DiffPages(std::string_view oldText, std::string_view newText,
                   const DiffOptions& options = {});

// The parts of `ranges` (a PageDiff's removed or added) inside line `line` of `lines`, its
// line break included, relative to the line's first byte, in order.
std::vector<ByteRange> RangesInLine(const std::vector<ByteRange>& ranges, const TextLines& lines,
                                    std::size_t line);

}  // namespace vk
