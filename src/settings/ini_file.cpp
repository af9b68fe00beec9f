#include "settings/ini_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>

#include "engine/texts.h"
#include "fs/file_info.h"
#include "fs/writable.h"
#include "settings/ini_document.h"
#include "settings/settings_file_io.h"

namespace vk {
namespace {

std::string WithSeparator(const std::string& folder) {
  if (!folder.empty() && folder.back() == '/') return folder;
  return folder + "/";
}

std::string ReadOnlyMessage(const std::string& path) {
  return FormatText(
      Translate("vk::TTheIniFile",
                QT_TRANSLATE_NOOP("vk::TTheIniFile",
                                  "Kann Schreibschutz von %1 nicht entfernen! / Can't "
                                  "remove R/W flag.")),
      {path});
}

// Whether a file could be created at `path`, by the system's check on its folder.
int FolderRefusal(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::string folder =
      slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  return ::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0 ? 0 : errno;
}

}  // namespace

TTheIniFile::TTheIniFile(Feedback* feedback)
    : feedback_(feedback), systemFolder_("/etc/"), programFolder_(ProgramFolder()) {}

void TTheIniFile::SetIniFileName(const std::string& name) {
  SetOpen(false);
  iniFileName_ = name;
}

void TTheIniFile::SetDefFilePath(const std::string& path) {
  defFilePath_ = path.empty() ? path : WithSeparator(path);
}

void TTheIniFile::SetOpen(bool open) {
  open_ = false;
  if (!open) return;
  open_ = true;
  if (OpenStore() != 0) open_ = false;
}

bool TTheIniFile::Ready() const { return open_ && !section_.empty() && !iniFileName_.empty(); }

std::string TTheIniFile::FormPath() const {
  switch (location_) {
    case TIniLocation::loUser:
      return iniFileName_;
    case TIniLocation::loProgDir:
      return programFolder_ + iniFileName_;
    case TIniLocation::loWinDir:
      return systemFolder_ + iniFileName_;
    case TIniLocation::loDefUser:
    default:
      return WithSeparator(defFilePath_) + iniFileName_;
  }
}

std::int32_t TTheIniFile::OpenStore() {
  errorCode_ = 0;
  const std::string path = FormPath();
  if (draft_) return OpenDraft(path);
  MakeUserWritable(path);  // the outcome is looked at below

  std::int32_t result = 0;
  const std::optional<FileInfo> info = InfoOf(path);
  if (!info || info->kind == FileInfo::Kind::kFolder) {
    errorCode_ = 2;
    // Probe the folder: can a file be created where the settings file belongs?
    if (info) {
      result = EISDIR;
    } else {
      result = ProbeNewFile(path).err();
    }
    if (result != 0) errorCode_ = result;
  } else if (info->size > kMaxSettingsFileSize) {
    errorCode_ = result = EFBIG;
    if (feedback_ != nullptr) feedback_->Error(SettingsFileTooBigMessage(path));
  } else if (!IsWritableFile(path)) {
    if (!MakeUserWritable(path) || !IsWritableFile(path)) {
      errorCode_ = 5;
      result = 5;
      if (feedback_ != nullptr) feedback_->Error(ReadOnlyMessage(path));
    }
  }
  if (result == 0) openedPath_ = path;
  return result;
}

std::int32_t TTheIniFile::OpenDraft(const std::string& path) {
  std::int32_t result = 0;
  const std::optional<FileInfo> info = InfoOf(path);
  if (draft_->version > 0) {
    // The draft's writes made the file what it is now.
  } else if (!info || info->kind == FileInfo::Kind::kFolder) {
    errorCode_ = 2;
    result = info ? EISDIR : FolderRefusal(path);
    if (result != 0) errorCode_ = result;
  } else if (info->size > kMaxSettingsFileSize) {
    errorCode_ = result = EFBIG;
    if (feedback_ != nullptr) feedback_->Error(SettingsFileTooBigMessage(path));
  } else if (!IsWritableFile(path)) {
    // The real run would make it writable, which succeeds for the file's owner and for root.
    struct stat st;
    const uid_t user = ::geteuid();
    if (::stat(path.c_str(), &st) != 0 || (user != 0 && user != st.st_uid)) {
      errorCode_ = result = 5;
      if (feedback_ != nullptr) feedback_->Error(ReadOnlyMessage(path));
    }
  }
  if (result == 0) openedPath_ = path;
  return result;
}

SettingsDraft& TTheIniFile::Draft() const {
  if (!draft_->loaded) {
    draft_->loaded = true;
    draft_->readStatus = ReadSettingsFile(openedPath_, &draft_->content);
  }
  return *draft_;
}

std::string TTheIniFile::ReadBytes() const {
  if (draft_) return Draft().content;
  std::string bytes;
  ReadSettingsFile(openedPath_, &bytes);
  return bytes;
}

bool TTheIniFile::ReadValue(const std::string& key, std::string* value) const {
  const std::optional<std::string> found = IniDocument(ReadBytes()).Value(section_, key);
  if (!found || *found == "INIERROR") return false;
  *value = *found;
  return true;
}

template <typename Edit>
void TTheIniFile::EditFile(Edit edit) {
  std::string before;
  const FileStatus read = draft_ ? Draft().readStatus : ReadSettingsFile(openedPath_, &before);
  if (draft_) before = draft_->content;
  const bool missing = read.err() == ENOENT;
  const std::string failure = FormatText(
      Translate("vk::TTheIniFile",
                QT_TRANSLATE_NOOP("vk::TTheIniFile", "In %1 kann nicht geschrieben werden")),
      {openedPath_});
  // A file that cannot be read whole is never replaced: its content would be lost.
  if (!read.ok() && !missing) throw IniWriteError(failure);
  IniDocument document(before);
  edit(document);
  std::string after = document.Bytes();
  if (read.ok() && after == before) return;
  if (missing && after.empty()) return;
  if (draft_) {
    draft_->content = std::move(after);
    draft_->readStatus = FileStatus::Ok();
    ++draft_->version;
    return;
  }
  if (!ReplaceSettingsFile(openedPath_, after).ok()) throw IniWriteError(failure);
}

void TTheIniFile::ReadSectionLines(std::vector<std::string>& list, bool valuesOnly) {
  errorCode_ = 0;
  if (!Ready()) {
    errorCode_ = -1;
    return;
  }
  list.clear();
  for (auto& entry : IniDocument(ReadBytes()).Entries(section_)) {
    list.push_back(valuesOnly ? std::move(entry.value) : entry.key + "=" + entry.value);
  }
  if (list.empty()) errorCode_ = -1;
}

void TTheIniFile::WriteText(const std::string& key, const std::string& value) {
  errorCode_ = 0;
  if (!Ready()) {
    errorCode_ = -1;
    return;
  }
  if (key.empty()) return;
  EditFile([&](IniDocument& document) { document.SetValue(section_, key, value); });
}

std::optional<std::string> TTheIniFile::ReadForKey(const std::string& key) {
  errorCode_ = 0;
  std::string text;
  if (!Ready() || !ReadValue(key, &text)) {
    errorCode_ = -1;
    return std::nullopt;
  }
  return text;
}

std::int32_t TTheIniFile::ReadNumber(const std::string& key, std::int32_t defaultValue) {
  const std::optional<std::string> text = ReadForKey(key);
  if (!text) return defaultValue;
  std::int32_t number;
  if (!ParseInt32(*text, &number)) {
    errorCode_ = -2;
    return defaultValue;
  }
  return number;
}

void TTheIniFile::WriteNumber(const std::string& key, std::int32_t value) {
  WriteText(key, std::to_string(value));
}

bool TTheIniFile::ReadFlag(const std::string& key, bool defaultValue) {
  const std::optional<std::string> text = ReadForKey(key);
  if (!text) return defaultValue;
  std::int32_t number;
  if (!ParseInt32(*text, &number)) return defaultValue;
  return *text == "1";
}

void TTheIniFile::WriteFlag(const std::string& key, bool value) {
  WriteText(key, value ? "1" : "0");
}

void TTheIniFile::ClearSection() {
  errorCode_ = 0;
  if (!Ready()) {
    errorCode_ = -1;
    return;
  }
  EditFile([&](IniDocument& document) { document.RemoveSection(section_); });
}

void TTheIniFile::ReplaceSection(const KeyValues& keyValues) {
  ReplaceSections({{section_, keyValues}});
}

void TTheIniFile::ReplaceSections(const std::vector<std::pair<std::string, KeyValues>>& sections) {
  errorCode_ = 0;
  if (!Ready()) {
    errorCode_ = -1;
    return;
  }
  EditFile([&](IniDocument& document) {
    for (const auto& [section, keyValues] : sections) {
      std::vector<IniDocument::Entry> entries;
      entries.reserve(keyValues.size());
      for (const auto& [key, value] : keyValues) entries.push_back(IniDocument::Entry{key, value});
      document.ReplaceSection(section, entries);
    }
  });
}

}  // namespace vk
