#include "cli/table_output.h"

#include <array>
#include <vector>

#include "engine/texts.h"

namespace vk::cli {
namespace {

constexpr std::size_t kColumns = 6;
using Line = std::array<std::string, kColumns>;

std::size_t DisplayWidth(const std::string& text) {
  std::size_t width = 0;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80 || byte >= 0xC0) ++width;  // every byte but a UTF-8 continuation
  }
  return width;
}

Line CellsOf(const ResultRow& row) {
  return {row.name, row.sizeBefore, row.sizeAfter, row.saving, row.specialChars, row.htmlCode};
}

}  // namespace

std::string RenderTable(const ResultsCollector& results) {
  std::vector<Line> lines;
  static const char* const kCaptions[kColumns] = {
      QT_TRANSLATE_NOOP("vk::cli::RenderTable", "Dateiname"),
      QT_TRANSLATE_NOOP("vk::cli::RenderTable", "Größe"),
      QT_TRANSLATE_NOOP("vk::cli::RenderTable", "Neue Größe"),
      QT_TRANSLATE_NOOP("vk::cli::RenderTable", "Einsparung %"),
      QT_TRANSLATE_NOOP("vk::cli::RenderTable", "Sonderzeichen"),
      QT_TRANSLATE_NOOP("vk::cli::RenderTable", "HTML-Code")};
  Line captions;
  for (std::size_t c = 0; c < kColumns; ++c) {
    captions[c] = Translate("vk::cli::RenderTable", kCaptions[c]);
  }
  lines.push_back(captions);
  for (const ResultRow& row : results.Rows()) lines.push_back(CellsOf(row));
  if (results.Sums()) {
    lines.push_back(CellsOf(results.Sums()->first));
    lines.push_back(CellsOf(results.Sums()->second));
  }
  std::array<std::size_t, kColumns> widths{};
  for (const Line& line : lines) {
    for (std::size_t c = 0; c < kColumns; ++c) {
      widths[c] = std::max(widths[c], DisplayWidth(line[c]));
    }
  }
  std::string text;
  for (const Line& line : lines) {
    std::string out;
    for (std::size_t c = 0; c < kColumns; ++c) {
      const std::string padding(widths[c] - DisplayWidth(line[c]), ' ');
      if (c == 0) {
        out += line[c] + padding;
      } else {
        out += "  " + padding + line[c];
      }
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    text += out + '\n';
  }
  return text;
}

}  // namespace vk::cli
