// The settings file store on arbitrary bytes as the file: every read, the loading of the HTML
// code list (which evens out lists of unequal length and writes them back) and the write of one
// key. Nothing may crash or hang; reading never changes the file; a line the store does not
// understand stays byte for byte where it stood; and the write of one key touches that key's
// line alone (or adds it, with its section where that is missing).
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "settings/html_code_list_store.h"
#include "settings/ini_document.h"
#include "settings/ini_file.h"
#include "settings/settings_file_io.h"
#include "settings/settings_store.h"

namespace {

using vk::fuzz::Recorder;

struct Line {
  std::string text;    // without its ending
  std::string ending;  // "\r\n", "\n", "\r" (only at the very end) or ""
};

// Lines end at LF; a CR right before it (or a lone CR at the very end) belongs to the ending.
std::vector<Line> SplitLines(std::string_view bytes) {
  std::vector<Line> lines;
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    const std::size_t lf = bytes.find('\n', pos);
    const std::size_t next = lf == std::string_view::npos ? bytes.size() : lf + 1;
    std::size_t end = lf == std::string_view::npos ? bytes.size() : lf;
    if (end > pos && bytes[end - 1] == '\r') --end;
    lines.push_back(
        {std::string(bytes.substr(pos, end - pos)), std::string(bytes.substr(end, next - end))});
    pos = next;
  }
  return lines;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool SameNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y + 32);
    if (x != y) return false;
  }
  return true;
}

// A line that may be read as a section: "[" first, a "]" somewhere behind it.
bool MayBeSectionLine(std::string_view text) {
  const std::string_view t = Trim(text);
  return !t.empty() && t.front() == '[' && t.find(']', 1) != std::string_view::npos;
}

// The key of a key=value line, or nothing when the line is not a setting.
bool SettingKey(std::string_view text, std::string_view* key) {
  if (text.find('\0') != std::string_view::npos || MayBeSectionLine(text)) return false;
  const std::string_view t = Trim(text);
  if (!t.empty() && t.front() == ';') return false;
  const std::size_t eq = text.find('=');
  if (eq == std::string_view::npos) return false;
  *key = Trim(text.substr(0, eq));
  return !key->empty();
}

// Lines no reading of the rules takes for a section or a setting: comments, blank lines, lines
// without "=", with an empty key or with a NUL byte.
bool NotUnderstood(std::string_view text) {
  if (text.find('\0') != std::string_view::npos) return true;
  std::string_view key;
  return !MayBeSectionLine(text) && !SettingKey(text, &key);
}

// The lines `before` held that the store does not understand must all be in `after`, in the
// same order, each with its own ending; only the last line may have gained a line break,
// when a line was added behind it.
void CheckUnderstoodLinesOnlyChanged(const std::vector<Line>& before,
                                     const std::vector<Line>& after) {
  std::vector<const Line*> a, b;
  for (const Line& l : before) {
    if (NotUnderstood(l.text)) a.push_back(&l);
  }
  for (const Line& l : after) {
    if (NotUnderstood(l.text)) b.push_back(&l);
  }
  VK_CHECK(a.size() == b.size());
  for (std::size_t i = 0; i < a.size(); ++i) {
    VK_CHECK(a[i]->text == b[i]->text);
    const bool wasLast = a[i] == &before.back();
    VK_CHECK(a[i]->ending == b[i]->ending || (wasLast && b[i]->ending == "\r\n"));
  }
}

bool SameLine(const Line& a, const Line& b, bool aIsLast) {
  return a.text == b.text && (a.ending == b.ending || (aIsLast && b.ending == "\r\n" &&
                                                       (a.ending.empty() || a.ending == "\r")));
}

std::string OneLine(std::string s) {
  for (char& c : s) {
    if (c == '\r' || c == '\n' || c == '\0') c = ' ';
  }
  return s;
}

// `after` is `before` with the one key's line replaced, or with that line added inside the
// section, or with the section and the line added at the end.
void CheckOnlyTheKeyChanged(const std::vector<Line>& before, const std::vector<Line>& after,
                            const std::string& section, const std::string& key,
                            const std::string& value) {
  const std::size_t n = before.size();
  auto isKeyLine = [&](const Line& l) {
    std::string_view k;
    return SettingKey(l.text, &k) && SameNoCase(k, key);
  };
  const Line added{key + "=" + vk::IniValueToWrite(OneLine(value)), "\r\n"};
  if (after.size() == n) {
    std::size_t differing = 0;
    for (std::size_t i = 0; i < n; ++i) {
      if (before[i].text == after[i].text && before[i].ending == after[i].ending) continue;
      ++differing;
      VK_CHECK(before[i].ending == after[i].ending);
      VK_CHECK(isKeyLine(before[i]) && isKeyLine(after[i]));
    }
    VK_CHECK(differing <= 1);
    return;
  }
  if (after.size() == n + 1) {
    std::size_t at = 0;
    while (at < n && before[at].text == after[at].text && before[at].ending == after[at].ending) {
      ++at;
    }
    // Added behind the file's last line, which then gains its line break.
    if (at + 1 == n && SameLine(before[at], after[at], true)) ++at;
    VK_CHECK(after[at].text == added.text && after[at].ending == added.ending);
    for (std::size_t i = at; i < n; ++i) {
      VK_CHECK(before[i].text == after[i + 1].text && before[i].ending == after[i + 1].ending);
    }
    return;
  }
  VK_CHECK(after.size() == n + 2);
  for (std::size_t i = 0; i < n; ++i) VK_CHECK(SameLine(before[i], after[i], i + 1 == n));
  VK_CHECK(after[n].text == "[" + section + "]" && after[n].ending == "\r\n");
  VK_CHECK(after[n + 1].text == added.text && after[n + 1].ending == added.ending);
}

std::string FileBytes(const std::string& path) {
  std::string bytes;
  VK_CHECK(vk::ReadSettingsFile(path, &bytes).ok());
  return bytes;
}

void PutFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  VK_CHECK(fd >= 0);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd, data + done, size - done);
    VK_CHECK(n > 0);
    done += static_cast<std::size_t>(n);
  }
  VK_CHECK(::close(fd) == 0);
}

const std::string& FuzzFolder() {
  static const std::string folder = [] {
    std::string pattern = "/dev/shm/vk-fuzz-settings-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
      pattern = "/tmp/vk-fuzz-settings-XXXXXX";
      VK_CHECK(::mkdtemp(pattern.data()) != nullptr);
    }
    return pattern;
  }();
  return folder;
}

void RemoveFuzzFolder() {
  ::unlink((FuzzFolder() + "/Velkaro.ini").c_str());
  ::rmdir(FuzzFolder().c_str());
}

const char* const kSections[] = {"Options", "Find HTML Code", "Replace HTML Code", "Placement"};
const char* const kKeys[] = {"IgnoreMetaTags", "0", "Left", "Key With Blanks"};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  FuzzFolder();
  std::atexit(RemoveFuzzFolder);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = FuzzFolder() + "/Velkaro.ini";
  const std::string original(reinterpret_cast<const char*>(data), size);
  PutFile(path, data, size);

  Recorder storeFeedback;
  vk::TTheIniFile ini(&storeFeedback);
  vk::SettingsStoreForFile(path).ApplyTo(ini);
  ini.SetSection("Options");
  ini.SetOpen(true);
  VK_CHECK(ini.Open());

  // Every kind of read, in the sections the program uses and in the file's first one.
  std::vector<std::string> sections(std::begin(kSections), std::end(kSections));
  for (const Line& line : SplitLines(original)) {
    if (MayBeSectionLine(line.text) && line.text.find('\0') == std::string::npos) {
      const std::string_view t = Trim(line.text);
      sections.emplace_back(Trim(t.substr(1, t.rfind(']') - 1)));
      break;
    }
  }
  for (const std::string& section : sections) {
    if (section.empty()) continue;
    ini.SetSection(section);
    std::vector<std::string> values, lines;
    ini.ReadSectionLines(values, true);
    VK_CHECK(ini.ErrorCode() == (values.empty() ? -1 : 0));
    ini.ReadSectionLines(lines, false);
    VK_CHECK(lines.size() == values.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const std::string tail = "=" + values[i];
      VK_CHECK(lines[i].size() > tail.size() &&
               lines[i].compare(lines[i].size() - tail.size(), tail.size(), tail) == 0);
    }
    for (const char* key : kKeys) {
      const std::int32_t number = ini.ReadNumber(key, 12345);
      VK_CHECK(ini.ErrorCode() == 0 || number == 12345);
      ini.ReadFlag(key, true);
      VK_CHECK(ini.ErrorCode() == 0 || ini.ErrorCode() == -1);
    }
  }
  VK_CHECK(FileBytes(path) == original);

  // Loading the list evens out lists of unequal length and writes them back.
  vk::fuzz::Recorder listFeedback;
  vk::HtmlCodeList list;
  vk::LoadHtmlCodeList(ini, vk::SettingsStoreForFile(path), list, listFeedback);
  VK_CHECK(list.find.size() == list.replace.size());
  const std::string loaded = FileBytes(path);
  VK_CHECK(listFeedback.errors.size() == (loaded == original ? 0u : 1u));
  CheckUnderstoodLinesOnlyChanged(SplitLines(original), SplitLines(loaded));
  if (loaded != original) {
    // Once evened out, the lists load again as they are, without a message or a write.
    vk::fuzz::Recorder againFeedback;
    vk::HtmlCodeList again;
    vk::LoadHtmlCodeList(ini, vk::SettingsStoreForFile(path), again, againFeedback);
    VK_CHECK(againFeedback.errors.empty());
    // What the file can hold of an entry: one line (a lone CR becomes a blank), read back as
    // written; a replace value "(leer)" reads as an empty entry.
    auto storedForm = [](std::vector<std::string> entries, bool replace) {
      for (std::string& entry : entries) {
        entry = OneLine(entry);
        if (replace && entry == "(leer)") entry.clear();
      }
      return entries;
    };
    VK_CHECK(again.find == storedForm(list.find, false));
    VK_CHECK(again.replace == storedForm(list.replace, true));
    VK_CHECK(FileBytes(path) == loaded);
  }

  // The write of one key.
  const std::string section = kSections[(size / 4) % 4];
  const std::string key = kKeys[size % 4];
  const std::string value = original.substr(0, 24);
  ini.SetSection(section);
  ini.SetOpen(true);
  VK_CHECK(ini.Open());
  ini.WriteText(key, value);
  VK_CHECK(ini.ErrorCode() == 0);
  const std::string written = FileBytes(path);
  CheckUnderstoodLinesOnlyChanged(SplitLines(original), SplitLines(written));
  CheckOnlyTheKeyChanged(SplitLines(loaded), SplitLines(written), section, key, value);
  const std::optional<std::string> readBack = vk::IniDocument(written).Value(section, key);
  VK_CHECK(readBack.has_value() && *readBack == OneLine(value));
  VK_CHECK(storeFeedback.errors.empty());
  return 0;
}
