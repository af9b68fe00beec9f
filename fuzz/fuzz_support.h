// What every fuzz target shares: a check that stops the run with a readable reason, a feedback
// that records what the user would have seen, and a page kept in memory instead of on disk.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "engine/feedback.h"
#include "engine/file_access.h"

namespace vk::fuzz {

// Stops the run: libFuzzer keeps the input that got here as a crash file.
[[noreturn]] inline void Fail(const char* what, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, what);
  std::abort();
}

#define VK_CHECK(condition) \
  ((condition) ? static_cast<void>(0) : ::vk::fuzz::Fail(#condition, __FILE__, __LINE__))

class Recorder : public Feedback {
 public:
  void Error(const std::string& text) override { errors.push_back(text); }
  void Yield() override { ++yields; }

  std::vector<std::string> errors;
  int yields = 0;
};

// One page at one path, read and written in memory; counts the writes.
class MemoryFile : public FileAccess {
 public:
  MemoryFile(std::string path, std::string content)
      : path_(std::move(path)), content_(std::move(content)) {}

  FileStatus Read(const std::string& path, std::string* content) override {
    if (path != path_) return FileStatus::Error(FileStatus::Code::kNotFound);
    *content = content_;
    return FileStatus::Ok();
  }
  FileStatus Write(const std::string& path, std::string_view content) override {
    if (path != path_) return FileStatus::Error(FileStatus::Code::kNotFound);
    content_.assign(content);
    ++writes;
    return FileStatus::Ok();
  }

  const std::string& Content() const { return content_; }
  int writes = 0;

 private:
  std::string path_;
  std::string content_;
};

}  // namespace vk::fuzz
