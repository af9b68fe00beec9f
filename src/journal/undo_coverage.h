// Whether a run can be undone completely, told before it starts from the sizes of the pages it
// is to process, and what the run says when it cannot.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "journal/runs_folder.h"

namespace vk {

struct UndoCoverage {
  enum class Kind {
    kComplete,  // every page's old bytes fit under the limit, whatever they compress to
    kPartial,   // they may not: the pages beyond the limit cannot be undone
    kOff,       // the limits keep no journal: the user turned undo off, nothing to say
  };
  Kind kind = Kind::kComplete;
  std::string message;   // for kPartial: velkaro-batch's message
  std::string question;  // for kPartial: the window's question before the run
};

// Judged on the pages' full sizes (compressed they take less, but how much is known only once
// they are), against the byte limit with every older journal removed.
UndoCoverage CheckUndoCoverage(const std::vector<std::int64_t>& pageSizes,
                               const KeepLimits& limits);

}  // namespace vk
