// Small helpers for the settings tests: a store opened on one file, an environment variable
// set for the length of a test, and a child process that runs out of file space.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>

#include "settings/ini_file.h"

namespace vk::test {

// Points `ini` at the file `path` (loUser), selects `section` and opens it.
inline void OpenAt(TTheIniFile& ini, const std::string& path, const std::string& section) {
  ini.SetIniLocation(TIniLocation::loUser);
  ini.SetIniFileName(path);
  ini.SetSection(section);
  ini.SetOpen(true);
}

// Sets (or, with nullopt, removes) an environment variable and restores it when it goes.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, std::optional<std::string> value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value) {
      ::setenv(name, value->c_str(), 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

struct ChildResult {
  int exitCode = -1;  // 0 when `body` returned; 2 when it threw; -1 when the child did not exit
  std::string text;   // what `body` returned
};

// Runs `body` in a forked child whose files may not grow beyond `limitBytes` (as on a full
// disk: writes fail with EFBIG, SIGXFSZ ignored) and hands back what it returned.
ChildResult RunWithFileSizeLimit(std::size_t limitBytes, const std::function<std::string()>& body);

}  // namespace vk::test
