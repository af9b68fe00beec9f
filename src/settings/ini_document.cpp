#include "settings/ini_document.h"

#include <limits>

namespace vk {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanks(std::string_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c; }

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

// One line of text as the rules read it.
struct LineMeaning {
  enum class Kind { kSection, kSetting, kOther } kind = Kind::kOther;
  std::string_view name;  // section name or key, without blanks
  std::string_view raw;   // for a setting: everything after the first "="
};

LineMeaning Classify(std::string_view text) {
  LineMeaning meaning;
  // Bytes the store cannot make sense of stay as they are and count for nothing.
  if (text.find('\0') != std::string_view::npos) return meaning;
  const std::string_view trimmed = TrimBlanks(text);
  if (!trimmed.empty() && trimmed.front() == '[') {
    const std::size_t close = trimmed.rfind(']');
    if (close != std::string_view::npos && close > 0) {
      meaning.kind = LineMeaning::Kind::kSection;
      meaning.name = TrimBlanks(trimmed.substr(1, close - 1));
      return meaning;
    }
  }
  if (!trimmed.empty() && trimmed.front() == ';') return meaning;
  const std::size_t eq = text.find('=');
  if (eq == std::string_view::npos) return meaning;
  const std::string_view key = TrimBlanks(text.substr(0, eq));
  if (key.empty()) return meaning;
  meaning.kind = LineMeaning::Kind::kSetting;
  meaning.name = key;
  meaning.raw = text.substr(eq + 1);
  return meaning;
}

// A key or value is one line: breaks and NUL bytes would split it or make it unreadable.
std::string OneLine(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c == '\r' || c == '\n' || c == '\0') c = ' ';
  }
  return out;
}

bool EndsLine(const std::string& ending) { return ending.find('\n') != std::string::npos; }

}  // namespace

std::string IniValueText(std::string_view raw) {
  std::string_view value = TrimBlanks(raw);
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return std::string(value);
}

std::string IniValueToWrite(std::string_view value) {
  if (IniValueText(value) == value) return std::string(value);
  return "\"" + std::string(value) + "\"";
}

bool ParseInt32(std::string_view text, std::int32_t* value) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  bool hex = false;
  if (i < text.size() && text[i] == '$') {
    hex = true;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i >= text.size()) return false;

  std::uint64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (hex && c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (hex && c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      return false;
    }
    magnitude = magnitude * (hex ? 16 : 10) + static_cast<std::uint64_t>(digit);
    if (magnitude > 0xFFFFFFFFull) return false;
  }

  if (hex) {
    // A hexadecimal number is a 32-bit pattern; the sign applies to that pattern.
    std::uint32_t bits = static_cast<std::uint32_t>(magnitude);
    if (negative) bits = 0u - bits;
    *value = static_cast<std::int32_t>(bits);
    return true;
  }
  constexpr std::uint64_t kMax = std::numeric_limits<std::int32_t>::max();
  if (negative) {
    if (magnitude > kMax + 1) return false;
    *value = static_cast<std::int32_t>(-static_cast<std::int64_t>(magnitude));
  } else {
    if (magnitude > kMax) return false;
    *value = static_cast<std::int32_t>(magnitude);
  }
  return true;
}

IniDocument::IniDocument(std::string_view bytes) {
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    const std::size_t lf = bytes.find('\n', pos);
    std::size_t textEnd = lf == std::string_view::npos ? bytes.size() : lf;
    const std::size_t next = lf == std::string_view::npos ? bytes.size() : lf + 1;
    if (textEnd > pos && bytes[textEnd - 1] == '\r') --textEnd;
    lines_.push_back(Line{std::string(bytes.substr(pos, textEnd - pos)),
                          std::string(bytes.substr(textEnd, next - textEnd))});
    pos = next;
  }
}

std::string IniDocument::Bytes() const {
  std::size_t total = 0;
  for (const Line& line : lines_) total += line.text.size() + line.ending.size();
  std::string out;
  out.reserve(total);
  for (const Line& line : lines_) {
    out += line.text;
    out += line.ending;
  }
  return out;
}

std::optional<IniDocument::Range> IniDocument::FindSection(std::string_view section,
                                                           std::size_t from) const {
  const std::string_view wanted = TrimBlanks(section);
  for (std::size_t i = from; i < lines_.size(); ++i) {
    const LineMeaning meaning = Classify(lines_[i].text);
    if (meaning.kind != LineMeaning::Kind::kSection || !EqualNoCase(meaning.name, wanted)) continue;
    std::size_t end = i + 1;
    while (end < lines_.size() && Classify(lines_[end].text).kind != LineMeaning::Kind::kSection) {
      ++end;
    }
    return Range{i, end};
  }
  return std::nullopt;
}

std::optional<std::string> IniDocument::Value(std::string_view section,
                                              std::string_view key) const {
  const std::optional<Range> range = FindSection(section);
  if (!range) return std::nullopt;
  const std::string_view wanted = TrimBlanks(key);
  for (std::size_t i = range->header + 1; i < range->end; ++i) {
    const LineMeaning meaning = Classify(lines_[i].text);
    if (meaning.kind == LineMeaning::Kind::kSetting && EqualNoCase(meaning.name, wanted)) {
      return IniValueText(meaning.raw);
    }
  }
  return std::nullopt;
}

std::vector<IniDocument::Entry> IniDocument::Entries(std::string_view section) const {
  std::vector<Entry> entries;
  const std::optional<Range> range = FindSection(section);
  if (!range) return entries;
  for (std::size_t i = range->header + 1; i < range->end; ++i) {
    const LineMeaning meaning = Classify(lines_[i].text);
    if (meaning.kind == LineMeaning::Kind::kSetting) {
      entries.push_back(Entry{std::string(meaning.name), IniValueText(meaning.raw)});
    }
  }
  return entries;
}

void IniDocument::EndLastLine() {
  if (!lines_.empty() && !EndsLine(lines_.back().ending)) lines_.back().ending = "\r\n";
}

void IniDocument::InsertLine(std::size_t at, std::string text) {
  if (at > 0 && !EndsLine(lines_[at - 1].ending)) lines_[at - 1].ending = "\r\n";
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), Line{std::move(text), "\r\n"});
}

void IniDocument::SetValue(std::string_view section, std::string_view key, std::string_view value) {
  const std::string cleanKey = OneLine(TrimBlanks(key));
  if (TrimBlanks(cleanKey).empty()) return;
  const std::string cleanValue = IniValueToWrite(OneLine(value));

  const std::optional<Range> range = FindSection(section);
  if (!range) {
    EndLastLine();
    lines_.push_back(Line{"[" + OneLine(section) + "]", "\r\n"});
    lines_.push_back(Line{cleanKey + "=" + cleanValue, "\r\n"});
    return;
  }
  std::size_t lastSetting = range->header;
  for (std::size_t i = range->header + 1; i < range->end; ++i) {
    const LineMeaning meaning = Classify(lines_[i].text);
    if (meaning.kind != LineMeaning::Kind::kSetting) continue;
    if (EqualNoCase(meaning.name, TrimBlanks(cleanKey))) {
      lines_[i].text = std::string(meaning.name) + "=" + cleanValue;
      return;
    }
    lastSetting = i;
  }
  InsertLine(lastSetting + 1, cleanKey + "=" + cleanValue);
}

bool IniDocument::RemoveSection(std::string_view section) {
  const std::string_view wanted = TrimBlanks(section);
  std::vector<Line> kept;
  kept.reserve(lines_.size());
  bool inside = false;
  bool removed = false;
  for (Line& line : lines_) {
    const LineMeaning meaning = Classify(line.text);
    if (meaning.kind == LineMeaning::Kind::kSection) {
      inside = EqualNoCase(meaning.name, wanted);
      if (inside) {
        removed = true;
        continue;
      }
    } else if (inside && meaning.kind == LineMeaning::Kind::kSetting) {
      continue;
    }
    kept.push_back(std::move(line));
  }
  lines_ = std::move(kept);
  return removed;
}

void IniDocument::ReplaceSection(std::string_view section, const std::vector<Entry>& entries) {
  RemoveSection(section);
  bool headerWritten = false;
  for (const Entry& entry : entries) {
    const std::string key = OneLine(TrimBlanks(entry.key));
    if (TrimBlanks(key).empty()) continue;
    if (!headerWritten) {
      EndLastLine();
      lines_.push_back(Line{"[" + OneLine(section) + "]", "\r\n"});
      headerWritten = true;
    }
    lines_.push_back(Line{key + "=" + IniValueToWrite(OneLine(entry.value)), "\r\n"});
  }
}

}  // namespace vk
