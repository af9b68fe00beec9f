// The HtmlCodeList in the settings file: sections "Find HTML Code" and "Replace HTML Code".
#pragma once

#include "engine/feedback.h"
#include "engine/html_code_list.h"
#include "settings/ini_file.h"

namespace vk {

// Reads both sections (entries in the order their keys stand; a replace value "(leer)" is an
// empty entry). Lists of unequal length are evened out after the message "Die Anzahl Einträge
// in der Liste, des zu suchenden HTML Codes unterscheidet sich von der Liste, des zu
// ersetzenden HTML Codes. Listenlängen werden angepasst!" and written back (which may throw
// IniWriteError).
void LoadHtmlCodeList(TTheIniFile& ini, HtmlCodeList& list, Feedback& feedback);

// Replaces both sections by the list, keys "0", "1", ...; an empty replace entry is written as
// "(leer)". May throw IniWriteError.
void SaveHtmlCodeList(TTheIniFile& ini, const HtmlCodeList& list);

}  // namespace vk
