#include "ui/page_changes.h"

#include <algorithm>

namespace vk {

void PageChanges::Clear() {
  kept_.clear();
  dropped_.clear();
  later_.clear();
  bytes_ = 0;
}

void PageChanges::Add(int row, const std::string& path, std::string_view oldBytes,
                      std::string_view newBytes, PageEncoding encoding) {
  if (redo_) {
    later_.emplace_back(row, path);
    return;
  }
  kept_.push_back(Change{row, std::string(oldBytes), std::string(newBytes), encoding});
  bytes_ += oldBytes.size() + newBytes.size();
  // A page bigger than the whole budget goes at once, with every row before it.
  while (bytes_ > budget_ && !kept_.empty()) {
    const Change& oldest = kept_.front();
    bytes_ -= oldest.oldBytes.size() + oldest.newBytes.size();
    dropped_.push_back(oldest.row);
    kept_.pop_front();
  }
}

const PageChanges::Change* PageChanges::Find(int row) const {
  const auto found = std::lower_bound(kept_.begin(), kept_.end(), row,
                                      [](const Change& change, int r) { return change.row < r; });
  return found != kept_.end() && found->row == row ? &*found : nullptr;
}

const std::string* PageChanges::LaterPath(int row) const {
  const auto later = std::lower_bound(
      later_.begin(), later_.end(), row,
      [](const std::pair<int, std::string>& page, int r) { return page.first < r; });
  return later != later_.end() && later->first == row ? &later->second : nullptr;
}

std::optional<PageChanges::Change> PageChanges::Get(int row) const {
  if (const Change* kept = Find(row)) return *kept;
  const std::string* path = LaterPath(row);
  if (path == nullptr || !redo_) return std::nullopt;
  std::optional<Change> change = redo_(*path);
  if (change) change->row = row;
  return change;
}

PageChanges::State PageChanges::StateOf(int row) const {
  if (Find(row) != nullptr || LaterPath(row) != nullptr) return State::kKept;
  return std::binary_search(dropped_.begin(), dropped_.end(), row) ? State::kNoLongerKept
                                                                   : State::kUnchanged;
}

}  // namespace vk
