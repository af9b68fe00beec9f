#include "diff/myers.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace vk {
namespace {

using Index = std::ptrdiff_t;

// A rectangle of the edit graph: a[x0, x1) against b[y0, y1).
struct Box {
  Index x0, x1, y0, y1;
};

// A point that an edit script of minimal (or, past the cost limit, of good) length passes.
struct Split {
  Index x = 0, y = 0;
  bool ok = false;
};

template <typename T>
class Myers {
 public:
  Myers(std::span<const T> a, std::span<const T> b, std::uint8_t* aChanged, std::uint8_t* bChanged,
        DiffBudget& budget)
      : a_(a.data()),
        b_(b.data()),
        aChanged_(aChanged),
        bChanged_(bChanged),
        budget_(budget),
        offset_(static_cast<Index>(b.size()) + 1),
        forward_(a.size() + b.size() + 3),
        backward_(a.size() + b.size() + 3) {
    const double diagonals = static_cast<double>(a.size() + b.size() + 3);
    maxCost_ = std::max<Index>(256, static_cast<Index>(std::sqrt(diagonals)));
    stack_.push_back({0, static_cast<Index>(a.size()), 0, static_cast<Index>(b.size())});
  }

  bool Run() {
    bool complete = true;
    while (!stack_.empty()) {
      Box box = stack_.back();
      stack_.pop_back();
      const Index before = (box.x1 - box.x0) + (box.y1 - box.y0);
      while (box.x0 < box.x1 && box.y0 < box.y1 && a_[box.x0] == b_[box.y0]) ++box.x0, ++box.y0;
      while (box.x0 < box.x1 && box.y0 < box.y1 && a_[box.x1 - 1] == b_[box.y1 - 1]) {
        --box.x1, --box.y1;
      }
      if (box.x0 == box.x1 || box.y0 == box.y1) {
        MarkWhole(box);
        continue;
      }
      const Split split =
          budget_.Take(static_cast<std::uint64_t>(before - (box.x1 - box.x0) - (box.y1 - box.y0)) +
                       1)
              ? MiddleSnake(box)
              : Split{};
      const bool corner =
          (split.x == box.x0 && split.y == box.y0) || (split.x == box.x1 && split.y == box.y1);
      if (!split.ok || corner) {
        // Out of budget (or, never expected, no progress): the box counts as changed whole.
        complete = complete && split.ok;
        MarkWhole(box);
        continue;
      }
      stack_.push_back({split.x, box.x1, split.y, box.y1});
      stack_.push_back({box.x0, split.x, box.y0, split.y});
    }
    return complete && !budget_.Spent();
  }

 private:
  void MarkWhole(const Box& box) {
    if (box.x1 > box.x0)
      std::memset(aChanged_ + box.x0, 1, static_cast<std::size_t>(box.x1 - box.x0));
    if (box.y1 > box.y0)
      std::memset(bChanged_ + box.y0, 1, static_cast<std::size_t>(box.y1 - box.y0));
  }

  Index& F(Index diagonal) { return forward_[static_cast<std::size_t>(diagonal + offset_)]; }
  Index& B(Index diagonal) { return backward_[static_cast<std::size_t>(diagonal + offset_)]; }

  // The furthest reaching paths from both corners of a box whose first and last elements
  // differ, on the diagonals k = x - y. F(k) is the largest x a forward path of the current
  // cost reaches on k, B(k) the smallest x a backward path reaches; kNone marks a diagonal no
  // path of that cost reaches inside the box. Where they meet lies a minimal script.
  Split MiddleSnake(const Box& box) {
    constexpr Index kNoneF = -1;
    constexpr Index kNoneB = std::numeric_limits<Index>::max();
    const Index dmin = box.x0 - box.y1, dmax = box.x1 - box.y0;
    const Index fmid = box.x0 - box.y0, bmid = box.x1 - box.y1;
    const bool odd = ((fmid - bmid) & 1) != 0;
    Index fmin = fmid, fmax = fmid, bmin = bmid, bmax = bmid;
    F(fmid) = box.x0;
    B(bmid) = box.x1;

    for (Index cost = 1;; ++cost) {
      std::uint64_t steps = 0;
      // Forward: one more edit from the top left corner.
      if (fmin > dmin) {
        F(--fmin - 1) = kNoneF;
      } else {
        ++fmin;
      }
      if (fmax < dmax) {
        F(++fmax + 1) = kNoneF;
      } else {
        --fmax;
      }
      for (Index d = fmax; d >= fmin; d -= 2) {
        Index right = F(d - 1) == kNoneF ? kNoneF : F(d - 1) + 1;  // deletes a[x]
        if (right > box.x1) right = kNoneF;
        Index down = F(d + 1);  // inserts b[y]
        if (down != kNoneF && down - d > box.y1) down = kNoneF;
        Index x = std::max(right, down);
        if (x == kNoneF) {
          F(d) = kNoneF;
          continue;
        }
        Index y = x - d;
        const Index start = x;
        while (x < box.x1 && y < box.y1 && a_[x] == b_[y]) ++x, ++y;
        steps += static_cast<std::uint64_t>(x - start) + 1;
        F(d) = x;
        if (odd && bmin <= d && d <= bmax && B(d) != kNoneB && B(d) <= x) return {x, y, true};
      }
      // Backward: one more edit from the bottom right corner.
      if (bmin > dmin) {
        B(--bmin - 1) = kNoneB;
      } else {
        ++bmin;
      }
      if (bmax < dmax) {
        B(++bmax + 1) = kNoneB;
      } else {
        --bmax;
      }
      for (Index d = bmax; d >= bmin; d -= 2) {
        Index left = B(d + 1) == kNoneB ? kNoneB : B(d + 1) - 1;  // deletes a[x - 1]
        if (left < box.x0) left = kNoneB;
        Index up = B(d - 1);  // inserts b[y - 1]
        if (up != kNoneB && up - d < box.y0) up = kNoneB;
        Index x = std::min(left, up);
        if (x == kNoneB) {
          B(d) = kNoneB;
          continue;
        }
        Index y = x - d;
        const Index start = x;
        while (x > box.x0 && y > box.y0 && a_[x - 1] == b_[y - 1]) --x, --y;
        steps += static_cast<std::uint64_t>(start - x) + 1;
        B(d) = x;
        if (!odd && fmin <= d && d <= fmax && F(d) != kNoneF && x <= F(d)) return {x, y, true};
      }
      if (!budget_.Take(steps)) return {};
      if (cost < maxCost_) continue;

      // Too expensive: split where one side got furthest, measured along x + y.
      Index forwardBest = -1, forwardX = 0;
      for (Index d = fmax; d >= fmin; d -= 2) {
        const Index x = F(d);
        if (x != kNoneF && 2 * x - d > forwardBest) forwardBest = 2 * x - d, forwardX = x;
      }
      Index backwardBest = std::numeric_limits<Index>::max(), backwardX = 0;
      for (Index d = bmax; d >= bmin; d -= 2) {
        const Index x = B(d);
        if (x != kNoneB && 2 * x - d < backwardBest) backwardBest = 2 * x - d, backwardX = x;
      }
      if (forwardBest < 0 && backwardBest == std::numeric_limits<Index>::max()) return {};
      const Index forwardGain = forwardBest - (box.x0 + box.y0);
      const Index backwardGain = (box.x1 + box.y1) - backwardBest;
      if (forwardBest >= 0 && (forwardGain >= backwardGain || backwardBest < 0)) {
        return {forwardX, forwardBest - forwardX, true};
      }
      return {backwardX, backwardBest - backwardX, true};
    }
  }

  const T* a_;
  const T* b_;
  std::uint8_t* aChanged_;
  std::uint8_t* bChanged_;
  DiffBudget& budget_;
  Index offset_;
  Index maxCost_;
  std::vector<Index> forward_;
  std::vector<Index> backward_;
  std::vector<Box> stack_;
};

}  // namespace

bool MyersDiff(std::span<const std::uint32_t> a, std::span<const std::uint32_t> b,
               std::uint8_t* aChanged, std::uint8_t* bChanged, DiffBudget& budget) {
  return Myers<std::uint32_t>(a, b, aChanged, bChanged, budget).Run();
}

bool MyersDiff(std::span<const char> a, std::span<const char> b, std::uint8_t* aChanged,
               std::uint8_t* bChanged, DiffBudget& budget) {
  return Myers<char>(a, b, aChanged, bChanged, budget).Run();
}

}  // namespace vk
