#include "settings/html_code_list_store.h"

#include <sys/stat.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/case_fold.h"

namespace vk {
namespace {

constexpr const char* kFindSection = "Find HTML Code";
constexpr const char* kReplaceSection = "Replace HTML Code";
constexpr const char* kEmptyReplace = "(leer)";

// The values of the current section in file order: each key=value line cut after its first "=".
std::vector<std::string> ReadEntries(TTheIniFile& ini) {
  std::vector<std::string> lines;
  ini.ReadSectionLines(lines, false);
  for (std::string& line : lines) {
    line.erase(0, FindNoCase("=", line));
  }
  return lines;
}

// What tells one state of the settings file from another.
struct FileKey {
  bool exists = false;
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  std::int64_t modifiedNs = 0;
  std::int64_t changedNs = 0;
  int draftVersion = 0;
  bool operator==(const FileKey&) const = default;
};

FileKey KeyOf(const std::string& path, const SettingsStore& store) {
  FileKey key;
  struct stat st;
  if (::stat(path.c_str(), &st) == 0) {
    key.exists = true;
    key.device = st.st_dev;
    key.inode = st.st_ino;
    key.size = st.st_size;
    key.modifiedNs = st.st_mtim.tv_sec * 1'000'000'000LL + st.st_mtim.tv_nsec;
    key.changedNs = st.st_ctim.tv_sec * 1'000'000'000LL + st.st_ctim.tv_nsec;
  }
  if (store.draft) key.draftVersion = store.draft->version;
  return key;
}

TTheIniFile::KeyValues Numbered(const std::vector<std::string>& values, bool markEmpty) {
  TTheIniFile::KeyValues keyValues;
  keyValues.reserve(values.size());
  for (std::size_t i = 0; i < values.size(); ++i) {
    keyValues.emplace_back(std::to_string(i),
                           markEmpty && values[i].empty() ? kEmptyReplace : values[i]);
  }
  return keyValues;
}

}  // namespace

void LoadHtmlCodeList(TTheIniFile& ini, const SettingsStore& store, HtmlCodeList& list,
                      Feedback& feedback) {
  store.ApplyTo(ini);
  ini.SetSection(kFindSection);
  ini.SetOpen(true);
  list.find = ReadEntries(ini);
  ini.SetSection(kReplaceSection);
  list.replace = ReadEntries(ini);
  for (std::string& entry : list.replace) {
    if (entry == kEmptyReplace) entry.clear();
  }
  if (list.find.size() == list.replace.size()) return;

  feedback.Error(Translate("vk::HtmlCodeList", kUnequalListsMessage));
  // The shorter list borrows the other's entries: a missing replacement keeps the found code,
  // a missing find entry (possibly empty) never matches.
  while (list.replace.size() < list.find.size()) {
    list.replace.push_back(list.find[list.replace.size()]);
  }
  while (list.find.size() < list.replace.size()) {
    list.find.push_back(list.replace[list.find.size()]);
  }
  SaveHtmlCodeList(ini, store, list);
}

void LoadHtmlCodeList(TTheIniFile& ini, HtmlCodeList& list, Feedback& feedback) {
  LoadHtmlCodeList(ini, DefaultNameIn(ini), list, feedback);
}

void SaveHtmlCodeList(TTheIniFile& ini, const SettingsStore& store, const HtmlCodeList& list) {
  store.ApplyTo(ini);
  ini.SetSection(kFindSection);
  ini.SetOpen(true);
  ini.SetSection(kReplaceSection);
  // Both sections in one write, so a failed save never leaves half a list behind.
  ini.ReplaceSections({{kFindSection, Numbered(list.find, false)},
                       {kReplaceSection, Numbered(list.replace, true)}});
}

void SaveHtmlCodeList(TTheIniFile& ini, const HtmlCodeList& list) {
  SaveHtmlCodeList(ini, DefaultNameIn(ini), list);
}

std::function<SharedHtmlCodeList(Feedback&)> MakeHtmlCodeListLoader(SettingsStore store) {
  struct Loaded {
    std::optional<FileKey> key;  // the file the list was loaded from, when it held still
    SharedHtmlCodeList list;
    std::vector<std::string> messages;
  };
  auto loaded = std::make_shared<Loaded>();
  return [store = std::move(store), loaded](Feedback& feedback) {
    const std::string path = SettingsFilePath(store);
    const FileKey before = KeyOf(path, store);
    if (loaded->list && loaded->key == before) {
      for (const std::string& text : loaded->messages) feedback.Error(text);
      return loaded->list;
    }
    std::vector<std::string> messages;
    CopyingFeedback copying(feedback, messages);
    TTheIniFile ini(&copying);
    HtmlCodeList list;
    LoadHtmlCodeList(ini, store, list, copying);
    // A list repaired and written back, or a file changed while it was read, is loaded again
    // next time.
    loaded->key = KeyOf(path, store) == before ? std::optional<FileKey>(before) : std::nullopt;
    loaded->list = std::make_shared<const HtmlCodeList>(std::move(list));
    loaded->messages = std::move(messages);
    return loaded->list;
  };
}

}  // namespace vk
