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
  const Options defaults;
  const int runs = ini.ReadNumber("UndoKeepRuns", defaults.undoRuns);
  options.undoRuns = runs >= 0 ? runs : defaults.undoRuns;
  const int megabytes = ini.ReadNumber("UndoKeepMB", defaults.undoMegabytes);
  options.undoMegabytes = megabytes >= 0 ? megabytes : defaults.undoMegabytes;
  return options;
}

KeepLimits UndoLimits(const Options& options) {
  KeepLimits limits;
  limits.runs = options.undoRuns;
  limits.bytes = std::int64_t{options.undoMegabytes} << 20;
  return limits;
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
