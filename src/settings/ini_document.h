// The settings file's text, line by line: sections, keys and values by the file's rules, edited
// without disturbing any line the edit does not address. Pure text in, text out; no file access.
//
// Rules:
// - A line ends at LF; a CR before it belongs to the ending. Every line keeps its own ending
//   (CR LF, LF, a lone CR at the end of the file, or none on the last line), so untouched lines
//   come back byte for byte. Lines the store writes end with CR LF.
// - "[" name "]" (blanks around allowed) opens a section. Section and key names match without
//   regard to ASCII letter case.
// - key "=" value is a setting; the key is the text before the first "=", without its blanks.
//   A line holding a NUL byte, a line without "=", a line with an empty key and a line starting
//   with ";" are not settings: they are kept where they stand and never listed.
// - Values are kept whole, however long. A value is written so that it reads back as itself
//   (IniValueToWrite).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vk {

// A value as read: blanks (space, tab) at both ends removed, then one enclosing pair of double
// or of single quotation marks.
std::string IniValueText(std::string_view raw);

// A value as written, so that it reads back as itself: unchanged where IniValueText leaves it
// so (every value a file written by earlier versions holds reads as before), otherwise enclosed
// in one more pair of double quotation marks (blanks at an end, a value in quotation marks).
std::string IniValueToWrite(std::string_view value);

// True when the whole of `text` is a 32-bit signed whole number: an optional "+" or "-", then
// decimal digits, or hexadecimal digits after "$" or "0x"/"0X". Hexadecimal digits stand for a
// bit pattern of up to 32 bits, read as two's complement, so "$FFFFFFFF" is -1. No blanks.
bool ParseInt32(std::string_view text, std::int32_t* value);

class IniDocument {
 public:
  struct Entry {
    std::string key;    // as it stands in the file, without surrounding blanks
    std::string value;  // by IniValueText
  };

  IniDocument() = default;
  explicit IniDocument(std::string_view bytes);

  // The text again: untouched lines byte for byte.
  std::string Bytes() const;

  // The value of the first line of `key` in the first section named `section`.
  std::optional<std::string> Value(std::string_view section, std::string_view key) const;

  // The settings of the first section named `section`, in file order (each with its own value,
  // so a key that stands twice is listed twice).
  std::vector<Entry> Entries(std::string_view section) const;

  // Replaces the value in the key's line (the key keeps its spelling, the line its ending), or
  // adds key=value behind the last setting of the section (right behind the section line when
  // it has none), or adds the section with the line at the end of the text. A line break or NUL
  // byte in the key or value is written as a blank: a value is one line.
  void SetValue(std::string_view section, std::string_view key, std::string_view value);

  // Removes the line of every section named `section` and their settings. Lines in them that
  // are not settings (blank lines, comments, lines the rules do not cover) stay where they
  // stand. Returns false when there was no such section.
  bool RemoveSection(std::string_view section);

  // RemoveSection, then (for a non-empty list) the section with its entries at the end of the
  // text: the same text as removing the section and setting each entry in turn.
  void ReplaceSection(std::string_view section, const std::vector<Entry>& entries);

 private:
  struct Line {
    std::string text;    // without its ending
    std::string ending;  // "\r\n", "\n", "\r" or ""
  };
  struct Range {
    std::size_t header;  // index of the section line
    std::size_t end;     // one behind its last line
  };

  std::optional<Range> FindSection(std::string_view section, std::size_t from = 0) const;
  void EndLastLine();
  void InsertLine(std::size_t at, std::string text);

  std::vector<Line> lines_;
};

}  // namespace vk
