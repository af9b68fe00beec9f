#include "settings/options.h"

#include "batch/operation_kinds.h"

namespace vk {
namespace {

constexpr const char* kSection = "Options";

void OpenOptions(TTheIniFile& ini, const SettingsStore& store) {
  store.ApplyTo(ini);
  ini.SetSection(kSection);
  ini.SetOpen(true);
}

}  // namespace

Options ReadOptions(TTheIniFile& ini, const SettingsStore& store) {
  OpenOptions(ini, store);
  Options options;
  options.createBak = ini.ReadFlag("CreateBak", false);
  options.ignoreMetaTags = ini.ReadFlag("IgnoreMetaTags", false);
  // The operation box takes -1..6 and keeps its selection (0) otherwise; -1, no selection,
  // is then turned into the first operation as well.
  const int index = ini.ReadNumber("OptCB.ItemIndex", 0);
  options.operationIndex = (index >= 0 && index < kOperationCount) ? index : 0;
  return options;
}

Options ReadOptions(TTheIniFile& ini) { return ReadOptions(ini, DefaultNameIn(ini)); }

void WriteOptions(TTheIniFile& ini, const SettingsStore& store, const Options& options) {
  OpenOptions(ini, store);
  ini.WriteFlag("CreateBak", options.createBak);
  ini.WriteFlag("IgnoreMetaTags", options.ignoreMetaTags);
  ini.WriteNumber("OptCB.ItemIndex", options.operationIndex);
}

void WriteOptions(TTheIniFile& ini, const Options& options) {
  WriteOptions(ini, DefaultNameIn(ini), options);
}

}  // namespace vk
