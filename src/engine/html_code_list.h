// The user's find/replace pairs. Kept on disk only; loaded afresh for every use.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vk {

// Two parallel lists of Windows-1252 byte strings of equal length. An empty replace entry
// deletes what was found; an empty find entry never matches.
struct HtmlCodeList {
  std::vector<std::string> find;
  std::vector<std::string> replace;

  bool empty() const { return find.empty() || replace.empty(); }
};

// Loads the list at the moment of the call (the settings storage provides it). May show the
// message about lists of unequal length through its own feedback, and may throw when the
// repaired list cannot be written back; the exception is meant to end the batch run. The list
// is shared, never copied: the pages a run has in hand use one list while the settings file
// stays unchanged, however big it is. Null stands for an empty list.
using SharedHtmlCodeList = std::shared_ptr<const HtmlCodeList>;
using HtmlCodeListLoader = std::function<SharedHtmlCodeList()>;

}  // namespace vk
