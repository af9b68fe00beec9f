// The old and the new text of every page the last run changed (or a preview would change), by
// the page's row in the results list, so that its changes can be shown after the run. Kept
// within a budget of bytes: beyond it the oldest rows' texts go first, and such a row is known
// as one whose texts are no longer kept.
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "engine/encoding.h"

namespace vk {

class PageChanges {
 public:
  static constexpr std::size_t kDefaultBudget = std::size_t{256} << 20;

  struct Change {
    int row = 0;
    std::string oldBytes;
    std::string newBytes;
    PageEncoding encoding{};
  };
  enum class State { kKept, kUnchanged, kNoLongerKept };

  explicit PageChanges(std::size_t budget = kDefaultBudget) : budget_(budget) {}

  void Clear();
  // The texts of the page in results row `row`; rows come in ascending order.
  void Add(int row, std::string_view oldBytes, std::string_view newBytes, PageEncoding encoding);

  State StateOf(int row) const;
  // The change of `row` while it is kept, else null.
  const Change* Find(int row) const;
  std::size_t BytesKept() const { return bytes_; }

 private:
  std::size_t budget_;
  std::size_t bytes_ = 0;
  std::deque<Change> kept_;   // ascending rows
  std::vector<int> dropped_;  // ascending rows whose texts went for the budget
};

}  // namespace vk
