// The HtmlCodeList in the settings file: sections "Find HTML Code" and "Replace HTML Code",
// one key per entry ("0", "1", ...). Nothing of the list is kept in memory between uses.
//
// The overloads without a SettingsStore address "Velkaro.ini" where the store is set up to
// look for it (its IniLocation and DefFilePath), as the window does; velkaro-batch passes the
// SettingsStore of the file it was given instead. Either way the store is left open with
// Section "Replace HTML Code".
#pragma once

#include <functional>

#include "engine/feedback.h"
#include "engine/html_code_list.h"
#include "engine/texts.h"
#include "settings/ini_file.h"
#include "settings/settings_store.h"

namespace vk {

// The message shown when the two stored lists differ in length.
inline constexpr const char* kUnequalListsMessage = QT_TRANSLATE_NOOP(
    "vk::HtmlCodeList",
    "Die Anzahl Einträge in der Liste, des zu suchenden HTML Codes unterscheidet sich von der "
    "Liste, des zu ersetzenden HTML Codes. Listenlängen werden angepasst!");

// Reads both sections (entries in the order their keys stand, whatever their numbers; a
// replace value exactly "(leer)" is an empty entry). A store that cannot be opened gives an
// empty list. Lists of unequal length are evened out after kUnequalListsMessage through
// `feedback` (the shorter list takes the other's entries at its missing positions) and written
// back, which may throw IniWriteError.
void LoadHtmlCodeList(TTheIniFile& ini, const SettingsStore& store, HtmlCodeList& list,
                      Feedback& feedback);
void LoadHtmlCodeList(TTheIniFile& ini, HtmlCodeList& list, Feedback& feedback);

// Replaces both sections by the list, keys "0", "1", ...; an empty replace entry is written as
// "(leer)". Both sections are replaced in one write of the file: a write the file system
// refuses leaves the old file whole and throws IniWriteError.
void SaveHtmlCodeList(TTheIniFile& ini, const SettingsStore& store, const HtmlCodeList& list);
void SaveHtmlCodeList(TTheIniFile& ini, const HtmlCodeList& list);

// A loader for the batch run: every call gives the list as `store` holds it now, showing the
// store's and the list's messages through the feedback it is given (the one of the file being
// processed). While the settings file stays unchanged (the same file, size and times, and in a
// dry run the same draft), the list loaded before is given again, shared, with the messages of
// its load shown again; otherwise it is loaded afresh. An IniWriteError from writing back a
// repaired list passes on to the caller.
std::function<SharedHtmlCodeList(Feedback&)> MakeHtmlCodeListLoader(SettingsStore store);

}  // namespace vk
