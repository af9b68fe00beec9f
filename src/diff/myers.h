// Myers' O(ND) difference algorithm in linear space: divide and conquer on the middle snake,
// with the usual cost limit for very different inputs. Works on any sequence of comparable
// elements (line numbers standing for equal lines, or bytes).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "diff/diff_budget.h"

namespace vk {

// Sets aChanged[i] for every element of `a` and bChanged[j] for every element of `b` that is
// not part of the common subsequence found; both arrays are sized like their sequence and
// zero on entry. The unmarked elements of `a` and of `b`, read in order, are equal.
// The common subsequence is a longest one, unless a part of the inputs needs more than
// about max(256, sqrt(n + m)) edit steps; there the best split found so far is taken (the
// script stays valid, it may be a little longer than needed). When `budget` is spent, the
// parts not yet compared are marked whole and the function returns false.
bool MyersDiff(std::span<const std::uint32_t> a, std::span<const std::uint32_t> b,
               std::uint8_t* aChanged, std::uint8_t* bChanged, DiffBudget& budget);
bool MyersDiff(std::span<const char> a, std::span<const char> b, std::uint8_t* aChanged,
               std::uint8_t* bChanged, DiffBudget& budget);

}  // namespace vk
