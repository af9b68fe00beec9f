// TTheIniFile: the settings-file store. Every read and every write goes to the file itself;
// nothing is cached, so another process's change is seen at the next read. A write reads the
// whole file, edits it and puts the whole file back through a synced temporary file, so the
// file is never left half-written and lines the store does not understand survive unchanged.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "engine/feedback.h"
#include "engine/file_access.h"
#include "settings/settings_folder.h"

namespace vk {

// loWinDir is the system's configuration folder "/etc/" on Linux.
enum class TIniLocation { loWinDir = 0, loProgDir = 1, loUser = 2, loDefUser = 3 };

// Raised when the file system refuses a write after the store was opened:
// "In " + path + " kann nicht geschrieben werden". Not caught by the store.
class IniWriteError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The settings file of a dry run, in memory: read from the real file at its first use; from
// then on every write of a store that has the draft lands here and every read sees it, so the
// run shows what the real run would, while the real file (and its protection) stays exactly as
// it is and nothing is left on disk.
struct SettingsDraft {
  bool loaded = false;
  FileStatus readStatus = FileStatus::Ok();  // of the file; Ok once a write made a missing one
  std::string content;
  int version = 0;  // counts the writes
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
  // true runs OpenStore (closing first): the path is formed from IniLocation; a file that is
  // not writable is made writable for the user; a missing file is probed by creating and
  // deleting it (ErrorCode 2, or the errno of the failed creation with the store closed; a
  // folder in the file's place gives EISDIR); a file that stays read-only gives ErrorCode 5,
  // the message "Kann Schreibschutz von <path> nicht entfernen! / Can't remove R/W flag." and
  // a closed store. A file bigger than kMaxSettingsFileSize gives the ErrorCode EFBIG, the
  // message "Die Einstellungsdatei <path> ist größer als 64 MB und wird nicht gelesen!" and a
  // closed store. false closes.
  void SetOpen(bool open);

  // With a draft, the store works on it instead of the file (see SettingsDraft); the real file
  // is never made writable, probed or written. The opening checks are those of the real file,
  // a read-only file counting as one the user could make writable when it is the user's.
  void SetDraft(std::shared_ptr<SettingsDraft> draft) { draft_ = std::move(draft); }

  // The path the store forms from IniLocation, DefFilePath and IniFileName.
  std::string FilePath() const { return FormPath(); }

  // Full path of the file the last successful OpenStore opened.
  const std::string& OpenedPath() const { return openedPath_; }

  // All operations work on Section() and need Section, IniFileName and Open ("ready"); when
  // not ready they set ErrorCode -1 and do nothing. Each sets ErrorCode 0 first. A file that
  // cannot be read (gone, a folder, unreadable, grown over 64 MB since it was opened) reads as
  // empty.

  // One line per key of the section in file order: key "=" value, or only the value. No keys
  // (or no section): ErrorCode -1. Values are read whole.
  void ReadSectionLines(std::vector<std::string>& list, bool valuesOnly);
  // An empty key writes nothing. Writes throw IniWriteError when the file system refuses,
  // and also when the existing file cannot be read (it is never replaced unread).
  void WriteText(const std::string& key, const std::string& value);
  // A missing key or one whose value is exactly "INIERROR": ErrorCode -1 and the default. A
  // value that is not a 32-bit whole number (see ParseInt32): ErrorCode -2 and the default.
  std::int32_t ReadNumber(const std::string& key, std::int32_t defaultValue);
  void WriteNumber(const std::string& key, std::int32_t value);
  // Missing: ErrorCode -1 and the default. Not a whole number: the default, ErrorCode 0.
  // Otherwise true exactly for "1".
  bool ReadFlag(const std::string& key, bool defaultValue);
  void WriteFlag(const std::string& key, bool value);
  // Removes the section line and the key lines of every section of this name; a file without
  // the section is not touched.
  void ClearSection();
  using KeyValues = std::vector<std::pair<std::string, std::string>>;
  // ClearSection followed by WriteText for each pair in order (distinct keys), done as one
  // write of the file. May throw IniWriteError.
  void ReplaceSection(const KeyValues& keyValues);
  // The same for several sections in turn (Section() only has to be set for readiness), in one
  // write: either all of them reach the file or none.
  void ReplaceSections(const std::vector<std::pair<std::string, KeyValues>>& sections);

 private:
  std::int32_t OpenStore();
  bool Ready() const;
  std::string FormPath() const;
  // The current text of the file (of the draft); empty when it cannot be read.
  std::string ReadBytes() const;
  // The draft's content, read from the file at the first use.
  SettingsDraft& Draft() const;
  std::int32_t OpenDraft(const std::string& path);
  // The key's value with the "INIERROR" rule; false when missing.
  bool ReadValue(const std::string& key, std::string* value) const;
  // ReadValue for the read functions: ErrorCode 0, or -1 and nullopt when not ready or missing.
  std::optional<std::string> ReadForKey(const std::string& key);
  // Reads the file, lets `edit` change it, and writes it back when the bytes changed.
  template <typename Edit>
  void EditFile(Edit edit);

  Feedback* feedback_;
  std::shared_ptr<SettingsDraft> draft_;
  std::string iniFileName_;
  std::string section_;
  TIniLocation location_ = TIniLocation::loWinDir;
  std::int32_t errorCode_ = 0;
  std::string defFilePath_;
  bool open_ = false;
  std::string openedPath_;
  std::string systemFolder_;  // both read once, ending with a separator
  std::string programFolder_;
};

}  // namespace vk
