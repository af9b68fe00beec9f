// The command "HTML-Code-Liste bearbeiten...": loads the HtmlCodeList from the settings file
// (its message about lists of unequal length comes before the editor opens), shows the editor
// modally and stores its rows, top to bottom, on every OK. Cancel stores nothing. A write the
// file system refuses raises IniWriteError, which passes on to the program's error display.
#pragma once

class QWidget;

namespace vk {

class TTheIniFile;

// `ini` is the window's settings-file component; the list lives in "Velkaro.ini" where it is
// set up to look (its IniLocation and DefFilePath).
void EditHtmlCodeList(QWidget* parent, TTheIniFile& ini);

}  // namespace vk
