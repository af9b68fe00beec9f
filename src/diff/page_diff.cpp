#include "diff/page_diff.h"

#include <algorithm>
#include <span>
#include <string_view>
#include <unordered_map>

#include "diff/myers.h"

namespace vk {
namespace {

std::string_view LineText(std::string_view text, const TextLines& lines, std::size_t i) {
  return text.substr(lines.Begin(i), lines.End(i) - lines.Begin(i));
}

// Marks the lines of each text that are not part of a longest common subsequence of lines.
// A line that does not occur in the other text at all can never be part of one, so only the
// others go to Myers: a page whose lines were all joined into one compares in linear time.
bool DiffLines(std::string_view oldText, const TextLines& oldLines, std::string_view newText,
               const TextLines& newLines, std::vector<std::uint8_t>& oldChanged,
               std::vector<std::uint8_t>& newChanged, DiffBudget& budget) {
  const std::size_t n = oldLines.Count(), m = newLines.Count();
  std::unordered_map<std::string_view, std::uint32_t> ids;
  ids.reserve(n + m);
  std::vector<std::uint32_t> oldIds(n), newIds(m);
  std::vector<std::uint32_t> inOld, inNew;  // occurrences per id
  const auto idOf = [&](std::string_view line) {
    const auto [it, inserted] = ids.try_emplace(line, static_cast<std::uint32_t>(ids.size()));
    if (inserted) {
      inOld.push_back(0);
      inNew.push_back(0);
    }
    return it->second;
  };
  for (std::size_t i = 0; i < n; ++i) ++inOld[oldIds[i] = idOf(LineText(oldText, oldLines, i))];
  for (std::size_t j = 0; j < m; ++j) ++inNew[newIds[j] = idOf(LineText(newText, newLines, j))];

  std::vector<std::uint32_t> keptOld, keptNew;
  std::vector<std::size_t> oldIndex, newIndex;
  for (std::size_t i = 0; i < n; ++i) {
    if (inNew[oldIds[i]] == 0) {
      oldChanged[i] = 1;
    } else {
      keptOld.push_back(oldIds[i]);
      oldIndex.push_back(i);
    }
  }
  for (std::size_t j = 0; j < m; ++j) {
    if (inOld[newIds[j]] == 0) {
      newChanged[j] = 1;
    } else {
      keptNew.push_back(newIds[j]);
      newIndex.push_back(j);
    }
  }
  std::vector<std::uint8_t> keptOldChanged(keptOld.size()), keptNewChanged(keptNew.size());
  const bool complete =
      MyersDiff(keptOld, keptNew, keptOldChanged.data(), keptNewChanged.data(), budget);
  for (std::size_t k = 0; k < keptOld.size(); ++k) oldChanged[oldIndex[k]] = keptOldChanged[k];
  for (std::size_t k = 0; k < keptNew.size(); ++k) newChanged[newIndex[k]] = keptNewChanged[k];
  return complete;
}

}  // namespace

PageDiff DiffPages(std::string_view oldText, std::string_view newText, const DiffOptions& options) {
  PageDiff diff;
  diff.oldLines = TextLines(oldText);
  diff.newLines = TextLines(newText);
  const std::size_t n = diff.oldLines.Count(), m = diff.newLines.Count();
  DiffBudget budget(options.budgetSteps != 0
                        ? options.budgetSteps
                        : (std::uint64_t{16} << 20) + 8 * (oldText.size() + newText.size()));

  std::vector<std::uint8_t> oldChanged(n), newChanged(m);
  diff.exact =
      DiffLines(oldText, diff.oldLines, newText, diff.newLines, oldChanged, newChanged, budget);

  std::size_t i = 0, j = 0;
  while (i < n || j < m) {
    if (i < n && j < m && !oldChanged[i] && !newChanged[j]) {
      diff.rows.push_back({RowKind::kSame, i++, j++});
      continue;
    }
    ChangeBlock block;
    block.firstRow = diff.rows.size();
    block.oldFirst = i;
    block.newFirst = j;
    while (i < n && oldChanged[i]) ++i;
    while (j < m && newChanged[j]) ++j;
    block.oldCount = i - block.oldFirst;
    block.newCount = j - block.newFirst;
    block.rowCount = std::max(block.oldCount, block.newCount);
    for (std::size_t r = 0; r < block.rowCount; ++r) {
      const bool hasOld = r < block.oldCount, hasNew = r < block.newCount;
      diff.rows.push_back({hasOld && hasNew ? RowKind::kChanged
                           : hasOld         ? RowKind::kRemoved
                                            : RowKind::kAdded,
                           hasOld ? block.oldFirst + r : kNoLine,
                           hasNew ? block.newFirst + r : kNoLine});
    }
    diff.changedOldLines += block.oldCount;
    diff.changedNewLines += block.newCount;
    diff.changedRows += block.rowCount;
    diff.blocks.push_back(block);
  }

  if (options.characters) {
    for (const ChangeBlock& block : diff.blocks) {
      const std::size_t oldBegin = block.oldCount ? diff.oldLines.Begin(block.oldFirst) : 0;
      const std::size_t oldEnd =
          block.oldCount ? diff.oldLines.End(block.oldFirst + block.oldCount - 1) : 0;
      const std::size_t newBegin = block.newCount ? diff.newLines.Begin(block.newFirst) : 0;
      const std::size_t newEnd =
          block.newCount ? diff.newLines.End(block.newFirst + block.newCount - 1) : 0;
      if (!DiffCharacters(oldText.substr(oldBegin, oldEnd - oldBegin),
                          newText.substr(newBegin, newEnd - newBegin), budget, diff.removed,
                          diff.added, oldBegin, newBegin)) {
        diff.exact = false;
      }
    }
  }
  return diff;
}

std::vector<ByteRange> RangesInLine(const std::vector<ByteRange>& ranges, const TextLines& lines,
                                    std::size_t line) {
  std::vector<ByteRange> result;
  const std::size_t begin = lines.Begin(line), end = lines.End(line);
  // The first range that ends behind the line's start.
  auto it = std::upper_bound(ranges.begin(), ranges.end(), begin,
                             [](std::size_t offset, const ByteRange& r) { return offset < r.end; });
  for (; it != ranges.end() && it->begin < end; ++it) {
    result.push_back({std::max(it->begin, begin) - begin, std::min(it->end, end) - begin});
  }
  return result;
}

}  // namespace vk
