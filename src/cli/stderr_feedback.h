// Every message of a velkaro-batch command as one line on standard error, counted, so that the
// command's exit status can say whether anything went wrong.
#pragma once

#include <ostream>
#include <string>

#include "engine/feedback.h"

namespace vk::cli {

class StderrFeedback : public Feedback {
 public:
  explicit StderrFeedback(std::ostream& err) : err_(err) {}
  void Error(const std::string& text) override {
    err_ << text << '\n' << std::flush;
    ++count_;
  }
  int Count() const { return count_; }

 private:
  std::ostream& err_;
  int count_ = 0;
};

}  // namespace vk::cli
