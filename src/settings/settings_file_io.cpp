#include "settings/settings_file_io.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

#include "engine/texts.h"
#include "fs/fd.h"
#include "fs/file_snapshot.h"
#include "fs/new_file.h"
#include "fs/read_file.h"
#include "fs/replace_file.h"

namespace vk {
namespace {

std::string Message(const char* text, const std::string& path) {
  return FormatText(Translate("vk::SettingsFile", text), {path});
}

}  // namespace

FileStatus ReadSettingsFile(const std::string& path, std::string* content, std::int64_t maxSize) {
  return ReadWholeFile(path, content, maxSize);
}

FileStatus ReplaceSettingsFile(const std::string& path, std::string_view content) {
  std::string target;
  if (ResolveWritePath(path, &target, true).ok()) {
    const std::size_t slash = target.rfind('/');
    RemoveLeftovers(FolderOf(target),
                    slash == std::string::npos ? target : target.substr(slash + 1));
  }
  return ReplaceFile(path, content, CreatingRules());
}

std::string SettingsFileTooBigMessage(const std::string& path) {
  return Message(QT_TRANSLATE_NOOP("vk::SettingsFile",
                                   "Die Einstellungsdatei %1 ist größer als 64 MB und wird nicht "
                                   "gelesen!"),
                 path);
}

std::string SettingsFileProblem(const std::string& path, bool mayBeMissing) {
  Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  struct stat st;
  if (!fd.valid()) {
    if (errno == ENOENT || errno == ENOTDIR) {
      if (mayBeMissing) return std::string();
      return Message(
          QT_TRANSLATE_NOOP("vk::SettingsFile", "Die Einstellungsdatei %1 gibt es nicht!"), path);
    }
  } else if (::fstat(fd.get(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) {
      return Message(
          QT_TRANSLATE_NOOP("vk::SettingsFile", "Die Einstellungsdatei %1 ist ein Ordner!"), path);
    }
    if (S_ISREG(st.st_mode)) {
      if (st.st_size > kMaxSettingsFileSize) return SettingsFileTooBigMessage(path);
      return std::string();
    }
  }
  return Message(
      QT_TRANSLATE_NOOP("vk::SettingsFile", "Konnte die Einstellungsdatei %1 nicht lesen!"), path);
}

}  // namespace vk
