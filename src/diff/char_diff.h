// The character diff of two texts: which bytes of the old text are gone and which bytes of the
// new text are new. Small texts get a minimal byte diff; long ones a local diff that walks both
// texts once and resynchronises after each change, so a page of megabytes on one line costs
// time in proportion to its length and the size of its changes, not their product.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "diff/diff_budget.h"

namespace vk {

// Bytes [begin, end) of a text.
struct ByteRange {
  std::size_t begin = 0;
  std::size_t end = 0;
  bool operator==(const ByteRange&) const = default;
};

// Appends [begin, end) to `ranges` (kept sorted and apart): a range that starts where the last
// one ends extends it; an empty one is dropped.
void AppendRange(std::vector<ByteRange>& ranges, std::size_t begin, std::size_t end);

// Appends to `removed` the ranges of `oldText` and to `added` those of `newText` that are not
// part of the common subsequence found, shifted by `oldBase` and `newBase`. Removing them
// leaves the same bytes of both texts. Texts whose differing middle (after the common start
// and end) is at most a kilobyte get a minimal diff; longer ones the local diff, which
// also finds every change but may take a few more bytes than needed where changes lie close
// together. Returns false when `budget` ran out; the part not compared is then marked whole.
bool DiffCharacters(std::string_view oldText, std::string_view newText, DiffBudget& budget,
                    std::vector<ByteRange>& removed, std::vector<ByteRange>& added,
                    std::size_t oldBase = 0, std::size_t newBase = 0);

namespace char_diff_detail {
// The local diff alone (no common start and end removed, no minimal diff for small texts),
// its edits slid together as DiffCharacters does; for tests. Same contract as DiffCharacters
// with both bases 0.
bool LocalDiff(std::string_view oldText, std::string_view newText, DiffBudget& budget,
               std::vector<ByteRange>& removed, std::vector<ByteRange>& added);
}  // namespace char_diff_detail

}  // namespace vk
