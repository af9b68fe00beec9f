// The work allowance of one page diff. Every step of the diff (a comparison in a snake, a
// diagonal visited) is taken from it; once it is spent, the parts not yet compared are marked
// changed as a whole, so a diff of any two texts ends in bounded time and stays a valid edit
// script: the text left after removing the marked parts is the same on both sides.
#pragma once

#include <cstdint>

namespace vk {

class DiffBudget {
 public:
  explicit DiffBudget(std::uint64_t steps) : left_(steps) {}

  // Takes `steps`; returns false (and keeps nothing) when fewer are left.
  bool Take(std::uint64_t steps) {
    if (steps > left_) {
      left_ = 0;
      spent_ = true;
      return false;
    }
    left_ -= steps;
    return true;
  }
  bool Spent() const { return spent_; }
  std::uint64_t Left() const { return left_; }

 private:
  std::uint64_t left_;
  bool spent_ = false;
};

}  // namespace vk
