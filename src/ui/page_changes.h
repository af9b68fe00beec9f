// The old and the new text of every page the last run changed (or a preview would change), by
// the page's row in the results list, so that its changes can be shown after the run. Kept
// within a budget of bytes: beyond it the oldest rows' texts go first, and such a row is known
// as one whose texts are no longer kept. A preview keeps only the pages' paths: its pages are
// still as they were, so their texts are made again when asked for, costing the preview
// nothing.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <optional>
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

  // Makes the change of the page at a path again; none when the page no longer changes.
  using Redo = std::function<std::optional<Change>(const std::string& path)>;

  explicit PageChanges(std::size_t budget = kDefaultBudget) : budget_(budget) {}

  // Forgets every row (the way of making texts again stays).
  void Clear();
  // From the next Add on, keeps the paths only and makes the texts with `redo` when asked for;
  // an empty one: keeps the texts.
  void MakeAgainWith(Redo redo) { redo_ = std::move(redo); }
  // Whether Add keeps the texts it is given (not when they are made again).
  bool KeepsTexts() const { return !redo_; }
  // The texts of the page `path` in results row `row`; rows come in ascending order.
  void Add(int row, const std::string& path, std::string_view oldBytes, std::string_view newBytes,
           PageEncoding encoding);

  State StateOf(int row) const;
  // The change of `row` while it is kept (or made again), else none.
  std::optional<Change> Get(int row) const;
  std::size_t BytesKept() const { return bytes_; }

 private:
  const Change* Find(int row) const;
  // The path of a page whose texts are made again, by its row; null when there is none.
  const std::string* LaterPath(int row) const;

  std::size_t budget_;
  std::size_t bytes_ = 0;
  std::deque<Change> kept_;   // ascending rows
  std::vector<int> dropped_;  // ascending rows whose texts went for the budget
  Redo redo_;
  std::vector<std::pair<int, std::string>> later_;  // ascending rows: the pages made again
};

}  // namespace vk
