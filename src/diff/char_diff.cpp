#include "diff/char_diff.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>

#include "diff/myers.h"

namespace vk {
namespace {

using Index = std::ptrdiff_t;

// Up to this many differing bytes (both sides together) get the minimal diff.
constexpr std::size_t kExactBytes = 1024;
// A run of this many equal bytes after a change counts as being back in step.
constexpr Index kSyncBytes = 8;
// Bytes compared at once when looking far ahead for common bytes.
constexpr Index kAnchorBytes = 8;
// The most edits the local diff spends on one change before looking further ahead.
constexpr Index kMaxEdits = 128;
// How far ahead a change may end and still be found by looking for the next common bytes.
constexpr Index kAnchorWindow = Index{1} << 16;

void AppendFlags(const std::vector<std::uint8_t>& flags, std::size_t base,
                 std::vector<ByteRange>& ranges) {
  std::size_t i = 0;
  while (i < flags.size()) {
    if (!flags[i]) {
      ++i;
      continue;
    }
    const std::size_t start = i;
    while (i < flags.size() && flags[i]) ++i;
    AppendRange(ranges, base + start, base + i);
  }
}

// Walks both texts from the front: takes the common bytes, and at each difference runs
// Myers' greedy forward search from that point until one of its paths is followed by
// kSyncBytes equal bytes (or reaches both ends). The path up to there is a minimal script
// for that stretch. A change too large for kMaxEdits is passed over by looking for the next
// eight bytes both texts share within kAnchorWindow; without one the rest counts as changed.
class LocalDiffer {
 public:
  LocalDiffer(std::string_view a, std::string_view b, DiffBudget& budget,
              std::vector<ByteRange>& removed, std::vector<ByteRange>& added, std::size_t aBase,
              std::size_t bBase)
      : a_(a.data()),
        b_(b.data()),
        n_(static_cast<Index>(a.size())),
        m_(static_cast<Index>(b.size())),
        budget_(budget),
        removed_(removed),
        added_(added),
        aBase_(aBase),
        bBase_(bBase) {}

  bool Run() {
    Index i = 0, j = 0;
    for (;;) {
      const Index start = i;
      while (i < n_ && j < m_ && a_[i] == b_[j]) ++i, ++j;
      if (!budget_.Take(static_cast<std::uint64_t>(i - start) + 1)) break;
      if (i == n_ || j == m_) {
        MarkRest(i, j);
        return true;
      }
      if (Resync(i, j)) continue;
      if (budget_.Spent()) break;
      Index p = 0, q = 0;
      if (!FindAnchor(i, j, p, q)) {
        if (budget_.Spent()) break;
        MarkRest(i, j);
        return true;
      }
      AppendRange(removed_, aBase_ + static_cast<std::size_t>(i),
                  aBase_ + static_cast<std::size_t>(p));
      AppendRange(added_, bBase_ + static_cast<std::size_t>(j),
                  bBase_ + static_cast<std::size_t>(q));
      i = p;
      j = q;
    }
    MarkRest(i, j);
    return false;
  }

 private:
  static constexpr Index kNone = -1;

  void MarkRest(Index i, Index j) {
    AppendRange(removed_, aBase_ + static_cast<std::size_t>(i),
                aBase_ + static_cast<std::size_t>(n_));
    AppendRange(added_, bBase_ + static_cast<std::size_t>(j),
                bBase_ + static_cast<std::size_t>(m_));
  }

  // Level d of the search keeps the furthest x on the diagonals k = -d, -d + 2, ..., d at
  // [d * d + (k + d) / 2]; from_ says whether that point was reached by a deletion.
  static std::size_t Slot(Index d, Index k) {
    return static_cast<std::size_t>(d * d + (k + d) / 2);
  }

  // From a difference at (i, j): on success moves (i, j) to the start of the common run that
  // ends the change and appends the change's edits.
  bool Resync(Index& i, Index& j) {
    const Index n = n_ - i, m = m_ - j;
    const char* a = a_ + i;
    const char* b = b_ + j;
    for (Index d = 0; d <= kMaxEdits; ++d) {
      std::uint64_t steps = static_cast<std::uint64_t>(d) + 1;
      furthest_.resize(static_cast<std::size_t>((d + 1) * (d + 1)));
      fromDeletion_.resize(furthest_.size());
      // Of the paths of this cost that are back in step, the one with the longest run of equal
      // bytes: where the text repeats itself, a short run may be a chance match.
      Index bestK = 0, bestStart = kNone, bestRun = 0;
      for (Index k = -d; k <= d; k += 2) {
        Index x = 0;
        bool deletion = false;
        if (d > 0) {
          Index down = k + 1 <= d - 1 ? furthest_[Slot(d - 1, k + 1)] : kNone;
          if (down != kNone && down - k > m) down = kNone;
          Index right = k - 1 >= -(d - 1) ? furthest_[Slot(d - 1, k - 1)] : kNone;
          if (right != kNone && ++right > n) right = kNone;
          if (down == kNone && right == kNone) {
            furthest_[Slot(d, k)] = kNone;
            continue;
          }
          deletion = right > down;
          x = deletion ? right : down;
        }
        Index y = x - k;
        const Index snakeStart = x;
        while (x < n && y < m && a[x] == b[y]) ++x, ++y;
        steps += static_cast<std::uint64_t>(x - snakeStart);
        furthest_[Slot(d, k)] = x;
        fromDeletion_[Slot(d, k)] = deletion;
        // Reaching both ends beats any run.
        const Index run = x == n && y == m ? std::max(n + m, kSyncBytes) + 1 : x - snakeStart;
        if (run >= kSyncBytes && run > bestRun) {
          bestK = k;
          bestStart = snakeStart;
          bestRun = run;
        }
      }
      if (!budget_.Take(steps)) return false;
      if (bestStart != kNone) {
        AppendPath(d, bestK, i, j);
        i += bestStart;
        j += bestStart - bestK;
        return true;
      }
    }
    return false;
  }

  // Appends the edits of the path that reached diagonal k at level d, from (i, j) on.
  void AppendPath(Index d, Index k, Index i, Index j) {
    deletions_.clear();
    insertions_.clear();
    for (; d > 0; --d) {
      if (fromDeletion_[Slot(d, k)]) {
        deletions_.push_back(furthest_[Slot(d - 1, k - 1)]);
        --k;
      } else {
        const Index x = furthest_[Slot(d - 1, k + 1)];
        insertions_.push_back(x - (k + 1));
        ++k;
      }
    }
    for (auto it = deletions_.rbegin(); it != deletions_.rend(); ++it) {
      const std::size_t at = aBase_ + static_cast<std::size_t>(i + *it);
      AppendRange(removed_, at, at + 1);
    }
    for (auto it = insertions_.rbegin(); it != insertions_.rend(); ++it) {
      const std::size_t at = bBase_ + static_cast<std::size_t>(j + *it);
      AppendRange(added_, at, at + 1);
    }
  }

  static std::uint64_t Load(const char* p) {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
  }

  // A p >= i whose eight bytes also start at a q >= j, both within the window, that skips
  // the fewest bytes; q is the first place of those bytes.
  bool FindAnchor(Index i, Index j, Index& p, Index& q) {
    static_assert(kAnchorBytes == sizeof(std::uint64_t), "anchors are compared as one word");
    const Index wa = std::min(n_ - i, kAnchorWindow), wb = std::min(m_ - j, kAnchorWindow);
    if (wa < kAnchorBytes || wb < kAnchorBytes) return false;
    // Hashing costs several times a comparison in a snake.
    if (!budget_.Take(static_cast<std::uint64_t>(8 * (wa + wb)))) return false;
    std::size_t size = 1;
    while (size < static_cast<std::size_t>(2 * wb)) size <<= 1;
    table_.assign(size, kNone);
    const auto slot = [size](std::uint64_t key) {
      return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> 32) & (size - 1);
    };
    for (Index y = j; y + kAnchorBytes <= j + wb; ++y) {
      const std::uint64_t key = Load(b_ + y);
      for (std::size_t s = slot(key);; s = (s + 1) & (size - 1)) {
        if (table_[s] == kNone) {
          table_[s] = y;
          break;
        }
        if (Load(b_ + table_[s]) == key) break;  // keep the first
      }
    }
    // The pair that skips the fewest bytes of both texts together.
    Index best = kNone;
    for (Index x = i; x + kAnchorBytes <= i + wa && (best == kNone || x - i < best); ++x) {
      const std::uint64_t key = Load(a_ + x);
      for (std::size_t s = slot(key); table_[s] != kNone; s = (s + 1) & (size - 1)) {
        if (Load(b_ + table_[s]) != key) continue;
        const Index skipped = (x - i) + (table_[s] - j);
        if (best == kNone || skipped < best) {
          best = skipped;
          p = x;
          q = table_[s];
        }
        break;
      }
    }
    return best != kNone;
  }

  const char* a_;
  const char* b_;
  Index n_, m_;
  DiffBudget& budget_;
  std::vector<ByteRange>& removed_;
  std::vector<ByteRange>& added_;
  std::size_t aBase_, bBase_;
  std::vector<Index> furthest_;
  std::vector<std::uint8_t> fromDeletion_;
  std::vector<Index> deletions_, insertions_;
  std::vector<Index> table_;
};

// One step of an edit script: equal bytes, or bytes only the old or only the new text has.
struct Op {
  enum Kind : std::uint8_t { kEqual, kDelete, kInsert } kind;
  std::size_t length;
};

// `out` as `ops` with equal runs side by side joined, and the deletions and the insertions
// between two equal runs each joined into one; equal runs (maybe empty) at both ends.
void Normalize(const std::vector<Op>& out, std::vector<Op>& ops) {
  ops.clear();
  for (std::size_t p = 0; p < out.size();) {
    if (out[p].kind == Op::kEqual) {
      std::size_t length = 0;
      for (; p < out.size() && out[p].kind == Op::kEqual; ++p) length += out[p].length;
      ops.push_back({Op::kEqual, length});
      continue;
    }
    if (ops.empty()) ops.push_back({Op::kEqual, 0});
    std::size_t deleted = 0, inserted = 0;
    for (; p < out.size() && out[p].kind != Op::kEqual; ++p) {
      (out[p].kind == Op::kDelete ? deleted : inserted) += out[p].length;
    }
    if (deleted) ops.push_back({Op::kDelete, deleted});
    if (inserted) ops.push_back({Op::kInsert, inserted});
  }
  if (ops.empty() || ops.back().kind != Op::kEqual) ops.push_back({Op::kEqual, 0});
}

// Where several scripts of the same length exist, the diff may split a change around a byte
// that the change itself repeats: "B&aum" "l" ";l" "le" for "Bälle" -> "B&auml;lle". Edits
// between two runs of equal bytes slide over them where the text allows
// ("A<ins>BA</ins>C" -> "<ins>AB</ins>AC", "A<ins>CB</ins>C" -> "AC<ins>BC</ins>"), which joins
// the pieces into one change. The result has the same length and stays a valid script. Then
// chance matches inside replaced text are taken into the change (see below).
void SlideEdits(std::string_view oldText, std::string_view newText, std::vector<ByteRange>& removed,
                std::vector<ByteRange>& added, DiffBudget& budget) {
  if (removed.empty() && added.empty()) return;
  // Empty equal runs at both ends let the edits there slide too.
  std::vector<Op> ops{{Op::kEqual, 0}};
  {
    std::size_t i = 0, j = 0, r = 0, s = 0;
    while (i < oldText.size() || j < newText.size()) {
      if (r < removed.size() && removed[r].begin == i) {
        ops.push_back({Op::kDelete, removed[r].end - i});
        i = removed[r++].end;
      } else if (s < added.size() && added[s].begin == j) {
        ops.push_back({Op::kInsert, added[s].end - j});
        j = added[s++].end;
      } else {
        const std::size_t equal =
            std::min((r < removed.size() ? removed[r].begin : oldText.size()) - i,
                     (s < added.size() ? added[s].begin : newText.size()) - j);
        if (equal == 0) return;  // not a script of these texts; leave it as it is
        ops.push_back({Op::kEqual, equal});
        i += equal;
        j += equal;
      }
    }
    ops.push_back({Op::kEqual, 0});
  }
  std::vector<Op> out;
  // Each pass joins what it can; a few passes settle any real text (the bound only guards
  // against texts built to make edits slide back and forth).
  bool changed = true;
  for (int pass = 0; changed && pass < 16; ++pass) {
    changed = false;
    out.clear();
    std::size_t i = 0, j = 0;  // where ops[p] starts
    for (std::size_t p = 0; p < ops.size(); ++p) {
      if (p + 2 < ops.size() && ops[p].kind == Op::kEqual && ops[p + 1].kind != Op::kEqual &&
          ops[p + 2].kind == Op::kEqual) {
        const Op before = ops[p], edit = ops[p + 1], after = ops[p + 2];
        const bool deletion = edit.kind == Op::kDelete;
        const std::string_view editText = deletion ? oldText.substr(i + before.length, edit.length)
                                                   : newText.substr(j + before.length, edit.length);
        const std::string_view beforeText = oldText.substr(i, before.length);
        const std::string_view afterText =
            oldText.substr(i + before.length + (deletion ? edit.length : 0), after.length);
        budget.Take(edit.length);
        if (before.length > 0 && before.length <= edit.length && editText.ends_with(beforeText)) {
          out.push_back(edit);
          ops[p + 2].length += before.length;
          (deletion ? i : j) += edit.length;
          ++p;  // on to the longer equal run
          changed = true;
          continue;
        }
        if (after.length > 0 && after.length <= edit.length && editText.starts_with(afterText)) {
          out.push_back({Op::kEqual, before.length + after.length});
          out.push_back(edit);
          i += before.length + after.length + (deletion ? edit.length : 0);
          j += before.length + after.length + (deletion ? 0 : edit.length);
          p += 2;
          changed = true;
          continue;
        }
      }
      out.push_back(ops[p]);
      i += ops[p].kind == Op::kInsert ? 0 : ops[p].length;
      j += ops[p].kind == Op::kDelete ? 0 : ops[p].length;
    }
    Normalize(out, ops);
  }

  // Where a stretch of text was replaced by another, the diff still pairs the odd letter the
  // two share ("c", "ur", "e" of an English sentence and its German replacement), and the
  // change shows as confetti. A stretch of deletions and insertions with no more than three
  // equal bytes in a row between them, whose equal bytes make at most a third of its longer
  // side, is taken as changed whole. Changes that only delete (compression) or that keep
  // words between them (entities) stay as they are.
  constexpr std::size_t kShortEqual = 3;
  out.clear();
  for (std::size_t p = 0; p < ops.size();) {
    const bool boundary = p == 0 || p + 1 == ops.size();
    if (ops[p].kind == Op::kEqual && (boundary || ops[p].length > kShortEqual)) {
      out.push_back(ops[p++]);
      continue;
    }
    std::size_t end = p, equal = 0, deleted = 0, inserted = 0;
    for (; end + 1 < ops.size() && (ops[end].kind != Op::kEqual || ops[end].length <= kShortEqual);
         ++end) {
      (ops[end].kind == Op::kEqual    ? equal
       : ops[end].kind == Op::kDelete ? deleted
                                      : inserted) += ops[end].length;
    }
    const bool replaced =
        equal > 0 && deleted > 0 && inserted > 0 && 3 * equal <= std::max(deleted, inserted);
    for (; p < end; ++p) {
      if (replaced && ops[p].kind == Op::kEqual) {
        out.push_back({Op::kDelete, ops[p].length});
        out.push_back({Op::kInsert, ops[p].length});
      } else {
        out.push_back(ops[p]);
      }
    }
  }
  Normalize(out, ops);

  removed.clear();
  added.clear();
  std::size_t i = 0, j = 0;
  for (const Op& op : ops) {
    if (op.kind != Op::kInsert) {
      if (op.kind == Op::kDelete) AppendRange(removed, i, i + op.length);
      i += op.length;
    }
    if (op.kind != Op::kDelete) {
      if (op.kind == Op::kInsert) AppendRange(added, j, j + op.length);
      j += op.length;
    }
  }
}

}  // namespace

void AppendRange(std::vector<ByteRange>& ranges, std::size_t begin, std::size_t end) {
  if (begin >= end) return;
  if (!ranges.empty() && ranges.back().end == begin) {
    ranges.back().end = end;
    return;
  }
  ranges.push_back({begin, end});
}

bool DiffCharacters(std::string_view oldText, std::string_view newText, DiffBudget& budget,
                    std::vector<ByteRange>& removed, std::vector<ByteRange>& added,
                    std::size_t oldBase, std::size_t newBase) {
  const std::size_t shorter = std::min(oldText.size(), newText.size());
  std::size_t prefix = 0;
  while (prefix < shorter && oldText[prefix] == newText[prefix]) ++prefix;
  std::size_t suffix = 0;
  while (suffix < shorter - prefix &&
         oldText[oldText.size() - 1 - suffix] == newText[newText.size() - 1 - suffix]) {
    ++suffix;
  }
  const std::string_view a = oldText.substr(prefix, oldText.size() - prefix - suffix);
  const std::string_view b = newText.substr(prefix, newText.size() - prefix - suffix);
  budget.Take(prefix + suffix);
  std::vector<ByteRange> gone, come;  // relative to the texts
  bool complete = true;
  if (a.empty() || b.empty() || budget.Spent()) {
    AppendRange(gone, prefix, prefix + a.size());
    AppendRange(come, prefix, prefix + b.size());
    complete = !budget.Spent();
  } else if (a.size() + b.size() <= kExactBytes) {
    std::vector<std::uint8_t> aChanged(a.size()), bChanged(b.size());
    complete = MyersDiff(std::span<const char>(a.data(), a.size()),
                         std::span<const char>(b.data(), b.size()), aChanged.data(),
                         bChanged.data(), budget);
    AppendFlags(aChanged, prefix, gone);
    AppendFlags(bChanged, prefix, come);
  } else {
    complete = LocalDiffer(a, b, budget, gone, come, prefix, prefix).Run();
  }
  SlideEdits(oldText, newText, gone, come, budget);
  for (const ByteRange& r : gone) AppendRange(removed, oldBase + r.begin, oldBase + r.end);
  for (const ByteRange& r : come) AppendRange(added, newBase + r.begin, newBase + r.end);
  return complete;
}

namespace char_diff_detail {
bool LocalDiff(std::string_view oldText, std::string_view newText, DiffBudget& budget,
               std::vector<ByteRange>& removed, std::vector<ByteRange>& added) {
  const bool complete = LocalDiffer(oldText, newText, budget, removed, added, 0, 0).Run();
  SlideEdits(oldText, newText, removed, added, budget);
  return complete;
}
}  // namespace char_diff_detail

}  // namespace vk
