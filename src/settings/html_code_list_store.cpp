#include "settings/html_code_list_store.h"

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

std::function<HtmlCodeList(Feedback&)> MakeHtmlCodeListLoader(SettingsStore store) {
  return [store = std::move(store)](Feedback& feedback) {
    TTheIniFile ini(&feedback);
    HtmlCodeList list;
    LoadHtmlCodeList(ini, store, list, feedback);
    return list;
  };
}

}  // namespace vk
