#include "cli/table_output.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <vector>

#include "engine/cp1252.h"
#include "engine/encoding.h"
#include "engine/texts.h"

namespace vk::cli {
namespace {

constexpr std::size_t kColumns = 6;
using Line = std::vector<std::string>;

Line CellsOf(const ResultRow& row) {
  return {ShownName(row.name), row.sizeBefore,   row.sizeAfter,
          row.saving,          row.specialChars, row.htmlCode};
}

}  // namespace

std::string ShownName(const std::string& name) {
  const std::string text = IsWellFormedUtf8(name) ? name : Cp1252ToUtf8(name);
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
    char escape[8] = {};
    if (byte == '\\') {
      out += "\\\\";
    } else if (byte == '\n') {
      out += "\\n";
    } else if (byte == '\r') {
      out += "\\r";
    } else if (byte == '\t') {
      out += "\\t";
    } else if (byte < 0x20 || byte == 0x7F) {
      std::snprintf(escape, sizeof escape, "\\x%02x", byte);
      out += escape;
    } else if (byte == 0xC2 && next >= 0x80 && next <= 0x9F) {  // U+0080..U+009F
      std::snprintf(escape, sizeof escape, "\\u%04x", next);
      out += escape;
      ++i;
    } else {
      out += static_cast<char>(byte);
    }
  }
  return out;
}

std::string RenderTable(const ResultsCollector& results) {
  std::vector<Line> lines;
  static const char* const kCaptions[kColumns] = {
      QT_TRANSLATE_NOOP("vk::cli::RenderTable", "Dateiname"),
      QT_TRANSLATE_NOOP("vk::cli::RenderTable", "Größe"),
      QT_TRANSLATE_NOOP("vk::cli::RenderTable", "Neue Größe"),
      QT_TRANSLATE_NOOP("vk::cli::RenderTable", "Einsparung %"),
      QT_TRANSLATE_NOOP("vk::cli::RenderTable", "Sonderzeichen"),
      QT_TRANSLATE_NOOP("vk::cli::RenderTable", "HTML-Code")};
  Line captions(kColumns);
  for (std::size_t c = 0; c < kColumns; ++c) {
    captions[c] = Translate("vk::cli::RenderTable", kCaptions[c]);
  }
  lines.push_back(captions);
  for (const ResultRow& row : results.Rows()) lines.push_back(CellsOf(row));
  if (results.Sums()) {
    lines.push_back(CellsOf(results.Sums()->first));
    lines.push_back(CellsOf(results.Sums()->second));
  }
  return AlignColumns(lines, {false, true, true, true, true, true});
}

std::string AlignColumns(const std::vector<std::vector<std::string>>& lines,
                         const std::vector<bool>& rightAligned) {
  // Widths count characters: every byte but a UTF-8 continuation byte.
  const auto width = [](const std::string& text) {
    std::size_t n = 0;
    for (const char c : text) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
  };
  std::vector<std::size_t> widths(rightAligned.size(), 0);
  for (const auto& line : lines) {
    for (std::size_t c = 0; c < widths.size(); ++c) widths[c] = std::max(widths[c], width(line[c]));
  }
  std::string text;
  for (const auto& line : lines) {
    std::string out;
    for (std::size_t c = 0; c < widths.size(); ++c) {
      const std::string padding(widths[c] - width(line[c]), ' ');
      if (c > 0) out += "  ";
      out += rightAligned[c] ? padding + line[c] : line[c] + padding;
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    text += out + '\n';
  }
  return text;
}

}  // namespace vk::cli
