// The one way the engine and the layers above it talk to the user: messages, status texts
// and the points where a window may repaint. The window shows message boxes, the command line
// writes to stderr, tests record.
#pragma once

#include <string>
#include <vector>

namespace vk {

class Feedback {
 public:
  virtual ~Feedback() = default;
  // Shows an error message (UTF-8, worded exactly as the user reads it) and returns once the
  // user has acknowledged it.
  virtual void Error(const std::string& text) = 0;
  // A point where pending window events may be handled. The engine calls it at fixed points of
  // its work; implementations decide how often they really hand control to the event loop.
  virtual void Yield() {}
  // Sets the text of the status line (for example the folder a scan is reading).
  virtual void Status(const std::string& /*text*/) {}
};

// Feedback that drops everything; for benchmarks and callers that collect nothing.
class SilentFeedback : public Feedback {
 public:
  void Error(const std::string&) override {}
};

// Passes messages on and keeps a copy (a row's messages, a list load's messages).
class CopyingFeedback : public Feedback {
 public:
  CopyingFeedback(Feedback& target, std::vector<std::string>& copies)
      : target_(target), copies_(copies) {}
  void Error(const std::string& text) override {
    copies_.push_back(text);
    target_.Error(text);
  }
  void Yield() override { target_.Yield(); }
  void Status(const std::string& text) override { target_.Status(text); }

 private:
  Feedback& target_;
  std::vector<std::string>& copies_;
};

}  // namespace vk
