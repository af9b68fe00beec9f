// TTheIniFile: the settings-file store. Every read and every write goes to the file itself;
// nothing is cached, so another process's change is seen at the next read.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/feedback.h"

namespace vk {

enum class TIniLocation { loWinDir = 0, loProgDir = 1, loUser = 2, loDefUser = 3 };

// Raised when the file system refuses a write after the store was opened:
// "In " + path + " kann nicht geschrieben werden". Not caught by the store.
class IniWriteError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TTheIniFile {
 public:
  // `feedback` receives the one message the store shows itself (a read-only file whose flag
  // cannot be removed); it may be null.
  explicit TTheIniFile(Feedback* feedback = nullptr);

  const std::string& IniFileName() const { return iniFileName_; }
  void SetIniFileName(const std::string& name);  // closes the store first
  const std::string& Section() const { return section_; }
  void SetSection(const std::string& section) { section_ = section; }
  TIniLocation IniLocation() const { return location_; }
  void SetIniLocation(TIniLocation location) { location_ = location; }
  std::int32_t ErrorCode() const { return errorCode_; }
  const std::string& DefFilePath() const { return defFilePath_; }
  void SetDefFilePath(const std::string& path);  // appends a separator when missing
  bool Open() const { return open_; }
  void SetOpen(bool open);  // true runs OpenStore (closing first); false closes

  // Full path of the file the last successful OpenStore opened.
  const std::string& OpenedPath() const { return openedPath_; }

  // All operations work on Section() and need Section, IniFileName and Open.
  void ReadSectionLines(std::vector<std::string>& list, bool valuesOnly);
  void WriteText(const std::string& key, const std::string& value);
  std::int32_t ReadNumber(const std::string& key, std::int32_t defaultValue);
  void WriteNumber(const std::string& key, std::int32_t value);
  bool ReadFlag(const std::string& key, bool defaultValue);
  void WriteFlag(const std::string& key, bool value);
  void ClearSection();

 private:
  std::int32_t OpenStore();
  bool Ready() const;

  Feedback* feedback_;
  std::string iniFileName_;
  std::string section_;
  TIniLocation location_ = TIniLocation::loWinDir;
  std::int32_t errorCode_ = 0;
  std::string defFilePath_;
  bool open_ = false;
  std::string openedPath_;
};

// The user's per-user application-data folder: $XDG_CONFIG_HOME, else ~/.config, else the
// program's folder. May or may not end with a separator.
std::string UserDataFolder();
// UserDataFolder + "/Velkaro/" (always ending with a separator). Does not create it.
std::string SettingsFolder();
// Creates SettingsFolder with its parents; a failure is ignored. Returns SettingsFolder().
std::string EnsureSettingsFolder();

}  // namespace vk
