// Helpers shared by the tests: throwaway folders, whole-file reads and writes, environment
// variables for the length of a test, and a feedback that records what the program would have
// shown.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/feedback.h"

namespace vk::test {

// A fresh folder below the system's temporary folder, removed with everything in it when the
// object goes. Path() ends without a separator.
class TempDir {
 public:
  TempDir();
  // The same below `base` instead (for example "/dev/shm", another file system).
  explicit TempDir(const std::string& base);
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& Path() const { return path_; }
  // Path() + "/" + name
  std::string File(const std::string& name) const;

 private:
  std::string path_;
};

// A TempDir in memory (/dev/shm) where the system has one, else an ordinary one: a tree of a
// hundred thousand folders is made and removed there in seconds, where a disk may take minutes.
std::unique_ptr<TempDir> TempDirInMemory();

// Sets (or, with nullopt, removes) an environment variable and restores it when it goes.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, std::optional<std::string> value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::optional<std::string> old_;
};

// Writes `content` to `path`, creating or truncating it. Fails the test on error.
void WriteFile(const std::string& path, const std::string& content);
// The whole content of `path`; fails the test when it cannot be read.
std::string ReadFile(const std::string& path);
// The names in `folder`, sorted, so that a file left behind shows in a comparison.
std::vector<std::string> FolderNames(const std::string& folder);
// True when the program writes new files in `folder` without a name (O_TMPFILE) until they
// are complete.
bool FolderHasUnnamedFiles(const std::string& folder);
// True when running as root (permission tests behave differently there).
bool RunningAsRoot();

// Records every message, status text and yield.
class RecordingFeedback : public Feedback {
 public:
  void Error(const std::string& text) override { errors.push_back(text); }
  void Yield() override { ++yields; }
  void Status(const std::string& text) override { statuses.push_back(text); }

  std::vector<std::string> errors;
  std::vector<std::string> statuses;
  int yields = 0;
};

}  // namespace vk::test
