#include "ui/diff_view.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QGlyphRun>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

namespace vk {
namespace {

constexpr int kTabWidth = 4;
// Lines longer than this find a row through their checkpoints, one every kCheckpointChars.
constexpr std::size_t kLongLineBytes = 1024;
constexpr std::uint32_t kCheckpointChars = 256;
constexpr int kPad = 4;
constexpr char32_t kLineBreakMark = 0x21B5;  // ↵

const QColor kFrameColor(0x2a, 0x6f, 0xd6);
const QColor kNumberColor(0x88, 0x88, 0x88);
const QColor kFillerColor(0xf2, 0xf2, 0xf2);
const QColor kHatchColor(0xcc, 0xcc, 0xcc);

// East Asian wide characters take two cells in a fixed-pitch font.
bool IsWide(char32_t c) {
  return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) ||
         (c >= 0x3041 && c <= 0x33FF) || (c >= 0x3400 && c <= 0x4DBF) ||
         (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF) ||
         (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
         (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
         (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x1F300 && c <= 0x1F64F) ||
         (c >= 0x1F900 && c <= 0x1F9FF) || (c >= 0x20000 && c <= 0x3FFFD);
}

int QStringLength(char32_t c) { return c >= 0x10000 ? 2 : 1; }

}  // namespace

TDiffView::TDiffView(std::string oldText, std::string newText, PageEncoding encoding,
                     QWidget* parent)
    : QAbstractScrollArea(parent), encoding_(encoding) {
  setObjectName(QStringLiteral("DiffView"));
  text_[kOld] = std::move(oldText);
  text_[kNew] = std::move(newText);
  diff_ = DiffPages(text_[kOld], text_[kNew]);

  const QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  setFont(font);
  viewport()->setFont(font);
  const QFontMetrics metrics(font);
  // Every character is drawn at its own cell of a whole number of pixels: the font's advance
  // may be fractional, and text drawn as one string would drift off the cells.
  charWidth_ = std::max(1, qRound(QFontMetricsF(font).horizontalAdvance(QLatin1Char('0'))));
  rawFont_ = QRawFont::fromFont(font);
  rowHeight_ = std::max(1, metrics.lineSpacing());
  ascent_ = metrics.ascent();

  for (std::size_t r = 0, b = 0; r < diff_.rows.size();) {
    const DiffRow& row = diff_.rows[r];
    if (row.kind == RowKind::kSame) {
      units_.push_back({{row.oldLine, row.newLine}, {1, 1}, -1});
      ++r;
      continue;
    }
    const ChangeBlock& block = diff_.blocks[b];
    blockUnit_.push_back(units_.size());
    units_.push_back(
        {{block.oldFirst, block.newFirst}, {block.oldCount, block.newCount}, static_cast<int>(b)});
    r += block.rowCount;
    ++b;
  }
  CountCells();

  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // Always there, so that it never changes the width the lines wrap at.
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  verticalScrollBar()->setSingleStep(1);
  currentBlock_ = diff_.blocks.empty() ? -1 : 0;
  Relayout();
}

std::size_t TDiffView::ShownEnd(Side side, std::size_t line) const {
  const TextLines& lines = side == kOld ? diff_.oldLines : diff_.newLines;
  std::size_t end = lines.ContentEnd(line);
  if (lines.HasLineBreak(line) && end > lines.Begin(line) && text_[side][end - 1] == '\r') --end;
  return end;
}

int TDiffView::CellWidth(char32_t codePoint, std::uint32_t column) {
  if (codePoint == '\t') return kTabWidth - static_cast<int>(column % kTabWidth);
  return IsWide(codePoint) ? 2 : 1;
}

char32_t TDiffView::Shown(char32_t c) {
  if (c < 0x20) return 0x2400 + c;  // ␀ .. ␟
  if (c == 0x7F) return 0x2421;     // ␡
  if (c >= 0x80 && c < 0xA0) return 0xFFFD;
  return c;
}

void TDiffView::CountCells() {
  for (Side side : {kOld, kNew}) {
    const TextLines& lines = side == kOld ? diff_.oldLines : diff_.newLines;
    const std::string& text = text_[side];
    cells_[side].resize(lines.Count());
    for (std::size_t i = 0; i < lines.Count(); ++i) {
      std::uint32_t column = 0;
      for (std::size_t pos = lines.Begin(i), end = ShownEnd(side, i); pos < end;) {
        const auto byte = static_cast<unsigned char>(text[pos]);
        if (byte >= 0x20 && byte < 0x7F) {  // the common case, without decoding
          ++column;
          ++pos;
          continue;
        }
        const PageChar c = DecodePageChar(text, pos, encoding_);
        column += static_cast<std::uint32_t>(CellWidth(c.codePoint, column));
        pos += static_cast<std::size_t>(c.bytes);
      }
      cells_[side][i] = column;
    }
  }
}

int TDiffView::RowsOf(Side side, std::size_t line) const {
  const std::uint32_t cells = cells_[side][line];
  return cells == 0 ? 1 : static_cast<int>((cells + columns_ - 1) / columns_);
}

int TDiffView::GutterWidth() const {
  std::size_t most = std::max(diff_.oldLines.Count(), diff_.newLines.Count());
  int digits = 1;
  while (most >= 10) most /= 10, ++digits;
  return digits * charWidth_ + 2 * kPad;
}

int TDiffView::HalfWidth() const { return std::max(1, (viewport()->width() - 1) / 2); }

int TDiffView::PaneX(Side side) const { return side == kOld ? 0 : HalfWidth() + 1; }

int TDiffView::HeaderHeight() const { return rowHeight_ + 2 * kPad; }

void TDiffView::Relayout() {
  // The text area leaves one cell for the line-break mark behind a full row.
  const int textWidth = HalfWidth() - GutterWidth() - 2 * kPad - charWidth_;
  columns_ = std::max(10, textWidth / charWidth_);
  unitTop_.assign(units_.size() + 1, 0);
  std::int64_t row = 0;
  for (std::size_t u = 0; u < units_.size(); ++u) {
    unitTop_[u] = row;
    std::int64_t height = 1;
    for (Side side : {kOld, kNew}) {
      std::int64_t rows = 0;
      for (std::size_t i = 0; i < units_[u].count[side]; ++i) {
        rows += RowsOf(side, units_[u].first[side] + i);
      }
      height = std::max(height, rows);
    }
    row += height;
  }
  unitTop_[units_.size()] = row;
  UpdateScrollBar();
}

int TDiffView::VisibleRows() const {
  return std::max(1, (viewport()->height() - HeaderHeight()) / rowHeight_);
}

void TDiffView::UpdateScrollBar() {
  const std::int64_t total = unitTop_.back();
  const int visible = VisibleRows();
  verticalScrollBar()->setRange(0, static_cast<int>(std::max<std::int64_t>(0, total - visible)));
  verticalScrollBar()->setPageStep(std::max(1, visible - 1));
}

int TDiffView::FirstVisibleRow() const { return verticalScrollBar()->value(); }

std::int64_t TDiffView::BlockTopRow(int index) const { return unitTop_[blockUnit_[index]]; }

void TDiffView::SetCurrentBlock(int index) {
  if (index < 0 || index >= static_cast<int>(blockUnit_.size())) return;
  currentBlock_ = index;
  // Two rows of what comes before it stay in sight.
  verticalScrollBar()->setValue(
      static_cast<int>(std::max<std::int64_t>(0, BlockTopRow(index) - 2)));
  viewport()->update();
  emit CurrentBlockChanged(index);
}

void TDiffView::resizeEvent(QResizeEvent* event) {
  // Keep the unit at the top in place while the rows rewrap.
  const int first = FirstVisibleRow();
  const auto it = std::upper_bound(unitTop_.begin(), unitTop_.end() - 1, std::int64_t{first});
  const std::size_t unit =
      it == unitTop_.begin() ? 0 : static_cast<std::size_t>(it - unitTop_.begin() - 1);
  const int oldColumns = columns_;
  QAbstractScrollArea::resizeEvent(event);
  Relayout();
  if (!laidOut_ && currentBlock_ >= 0) {
    laidOut_ = true;
    SetCurrentBlock(currentBlock_);
  } else if (oldColumns != columns_ && unit < units_.size()) {
    verticalScrollBar()->setValue(static_cast<int>(unitTop_[unit]));
  }
  laidOut_ = true;
}

void TDiffView::scrollContentsBy(int, int) { viewport()->update(); }

bool TDiffView::Highlighted(Side side, std::size_t begin, std::size_t end) const {
  const std::vector<ByteRange>& ranges = Ranges(side);
  const auto it = std::upper_bound(ranges.begin(), ranges.end(), begin,
                                   [](std::size_t at, const ByteRange& r) { return at < r.end; });
  return it != ranges.end() && it->begin < end;
}

TDiffView::Checkpoint TDiffView::Seek(Side side, std::size_t line, std::uint32_t column) const {
  const TextLines& lines = side == kOld ? diff_.oldLines : diff_.newLines;
  const std::size_t begin = lines.Begin(line), end = ShownEnd(side, line);
  if (end - begin <= kLongLineBytes || column == 0) return {begin, 0};
  auto [it, made] = checkpoints_[side].try_emplace(line);
  std::vector<Checkpoint>& marks = it->second;
  if (made) {
    std::uint32_t col = 0, chars = 0;
    for (std::size_t pos = begin; pos < end; ++chars) {
      if (chars % kCheckpointChars == 0) marks.push_back({pos, col});
      const PageChar c = DecodePageChar(text_[side], pos, encoding_);
      col += static_cast<std::uint32_t>(CellWidth(c.codePoint, col));
      pos += static_cast<std::size_t>(c.bytes);
    }
  }
  const auto after =
      std::upper_bound(marks.begin(), marks.end(), column,
                       [](std::uint32_t c, const Checkpoint& m) { return c < m.column; });
  return after == marks.begin() ? Checkpoint{begin, 0} : *(after - 1);
}

QColor TDiffView::BlockColor(Side side) {
  return side == kOld ? QColor(0xfd, 0xec, 0xec) : QColor(0xe8, 0xf7, 0xe8);
}

QColor TDiffView::HighlightColor(Side side) {
  return side == kOld ? QColor(0xf4, 0xa0, 0xa0) : QColor(0x8e, 0xd6, 0x8e);
}

void TDiffView::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  painter.fillRect(viewport()->rect(), palette().base());
  const int first = FirstVisibleRow();
  const int last = first + VisibleRows();
  if (!units_.empty()) {
    const auto it = std::upper_bound(unitTop_.begin(), unitTop_.end() - 1, std::int64_t{first});
    for (std::size_t u = static_cast<std::size_t>(it - unitTop_.begin()) - 1;
         u < units_.size() && unitTop_[u] <= last; ++u) {
      PaintUnit(painter, u, first, last);
    }
  }
  // The captions above the two sides, and the line between them.
  const int header = HeaderHeight();
  painter.fillRect(QRect(0, 0, viewport()->width(), header), palette().window());
  QFont bold = font();
  bold.setBold(true);
  painter.setFont(bold);
  painter.setPen(palette().windowText().color());
  const int textY = kPad + ascent_;
  painter.drawText(QPoint(PaneX(kOld) + kPad, textY), QStringLiteral("Vorher"));
  painter.drawText(QPoint(PaneX(kNew) + kPad, textY), QStringLiteral("Nachher"));
  painter.setPen(palette().mid().color());
  painter.drawLine(0, header - 1, viewport()->width(), header - 1);
  painter.drawLine(HalfWidth(), 0, HalfWidth(), viewport()->height());
}

void TDiffView::PaintUnit(QPainter& painter, std::size_t unitIndex, int firstRow, int lastRow) {
  const Unit& unit = units_[unitIndex];
  const std::int64_t top = unitTop_[unitIndex];
  const std::int64_t height = unitTop_[unitIndex + 1] - top;
  const int y0 = HeaderHeight() + static_cast<int>(top - firstRow) * rowHeight_;
  const bool inBlock = unit.block >= 0;
  for (Side side : {kOld, kNew}) {
    const int x = PaneX(side);
    const int paneWidth = side == kOld ? HalfWidth() : viewport()->width() - x;
    if (inBlock) {
      painter.fillRect(QRect(x, y0, paneWidth, static_cast<int>(height) * rowHeight_),
                       BlockColor(side));
    }
    std::int64_t row = top;
    std::size_t i = 0;
    for (; i < unit.count[side] && row <= lastRow; ++i) {
      const std::size_t line = unit.first[side] + i;
      const int rows = RowsOf(side, line);
      if (row + rows > firstRow) {
        const int y = HeaderHeight() + static_cast<int>(row - firstRow) * rowHeight_;
        if (row >= firstRow) {
          painter.setPen(kNumberColor);
          painter.drawText(QRect(x, y, GutterWidth() - kPad, rowHeight_),
                           Qt::AlignRight | Qt::AlignVCenter, QString::number(line + 1));
        }
        const int from = static_cast<int>(std::max<std::int64_t>(0, firstRow - row));
        const int to = static_cast<int>(std::min<std::int64_t>(rows, lastRow - row + 1));
        for (int r = from; r < to; ++r) {
          PaintRow(painter, side, line, r, y + r * rowHeight_, inBlock);
        }
      }
      row += rows;
    }
    if (inBlock && i == unit.count[side] && row < top + height) {
      // Rows where this side has no line.
      const QRect filler(x, HeaderHeight() + static_cast<int>(row - firstRow) * rowHeight_,
                         paneWidth, static_cast<int>(top + height - row) * rowHeight_);
      painter.fillRect(filler, kFillerColor);
      painter.fillRect(filler, QBrush(kHatchColor, Qt::BDiagPattern));
    }
    if (unit.block >= 0 && unit.block == currentBlock_) {
      painter.setPen(QPen(kFrameColor, 2));
      painter.setBrush(Qt::NoBrush);
      painter.drawRect(
          QRect(x + 1, y0 + 1, paneWidth - 2, static_cast<int>(height) * rowHeight_ - 2));
    }
  }
}

void TDiffView::PaintRow(QPainter& painter, Side side, std::size_t line, int row, int y,
                         bool inBlock) {
  const TextLines& lines = side == kOld ? diff_.oldLines : diff_.newLines;
  const std::string& text = text_[side];
  const std::size_t end = ShownEnd(side, line);
  const std::uint32_t startCol =
      static_cast<std::uint32_t>(row) * static_cast<std::uint32_t>(columns_);
  const std::uint32_t endCol = startCol + static_cast<std::uint32_t>(columns_);
  const int textX = PaneX(side) + GutterWidth() + kPad;
  const std::vector<ByteRange>& ranges = Ranges(side);
  const QColor textColor = inBlock ? QColor(Qt::black) : palette().text().color();

  Checkpoint at = Seek(side, line, startCol);
  std::size_t pos = at.byte;
  std::uint32_t col = at.column;
  auto range = std::upper_bound(ranges.begin(), ranges.end(), pos,
                                [](std::size_t p, const ByteRange& r) { return p < r.end; });
  // Runs of plain characters are drawn as one glyph run with every glyph at its cell; the
  // others (and those the font lacks) one by one, with the font's fallbacks.
  QString run;
  std::uint32_t runCol = 0;
  painter.setPen(textColor);
  const auto cellX = [&](std::uint32_t column) {
    return static_cast<qreal>(textX + static_cast<int>(column - startCol) * charWidth_);
  };
  const auto drawSingle = [&](std::uint32_t column, char32_t shown) {
    painter.drawText(QPointF(cellX(column), y + ascent_), QString::fromUcs4(&shown, 1));
  };
  const auto flush = [&] {
    if (run.isEmpty()) return;
    const QList<quint32> glyphs = rawFont_.glyphIndexesForString(run);
    QList<quint32> indexes;
    QList<QPointF> positions;
    for (qsizetype i = 0; i < run.size() && i < glyphs.size(); ++i) {
      const std::uint32_t column = runCol + static_cast<std::uint32_t>(i);
      if (glyphs[i] == 0) {
        drawSingle(column, run.at(i).unicode());
        continue;
      }
      indexes.append(glyphs[i]);
      positions.append(QPointF(cellX(column), y + ascent_));
    }
    if (!indexes.isEmpty()) {
      QGlyphRun glyphRun;
      glyphRun.setRawFont(rawFont_);
      glyphRun.setGlyphIndexes(indexes);
      glyphRun.setPositions(positions);
      painter.drawGlyphRun(QPointF(0, 0), glyphRun);
    }
    run.clear();
  };
  while (pos < end && col < endCol) {
    const PageChar c = DecodePageChar(text, pos, encoding_);
    const int width = CellWidth(c.codePoint, col);
    if (col + static_cast<std::uint32_t>(width) > startCol) {
      while (range != ranges.end() && range->end <= pos) ++range;
      const bool marked =
          range != ranges.end() && range->begin < pos + static_cast<std::size_t>(c.bytes);
      const std::uint32_t from = std::max(col, startCol), to = std::min(col + width, endCol);
      if (marked) {
        painter.fillRect(QRect(textX + static_cast<int>(from - startCol) * charWidth_, y,
                               static_cast<int>(to - from) * charWidth_, rowHeight_),
                         HighlightColor(side));
      }
      const char32_t shown = Shown(c.codePoint);
      if (c.codePoint == '\t' || col < startCol) {
        flush();
      } else if (shown < 0x250 && width == 1) {
        if (run.isEmpty()) runCol = col;
        run += QChar(static_cast<char16_t>(shown));
      } else {
        flush();
        drawSingle(col, shown);
      }
    }
    pos += static_cast<std::size_t>(c.bytes);
    col += static_cast<std::uint32_t>(width);
  }
  flush();
  // Behind the last row: the line break, marked when it changed.
  if (row == RowsOf(side, line) - 1 && lines.End(line) > end &&
      Highlighted(side, end, lines.End(line))) {
    const int x = textX + static_cast<int>(cells_[side][line] - startCol) * charWidth_;
    painter.fillRect(QRect(x, y, charWidth_, rowHeight_), HighlightColor(side));
    painter.setPen(textColor);
    painter.drawText(QPointF(x, y + ascent_), QString::fromUcs4(&kLineBreakMark, 1));
  }
}

QString TDiffView::LineText(Side side, std::size_t line) const {
  const TextLines& lines = side == kOld ? diff_.oldLines : diff_.newLines;
  const std::size_t begin = lines.Begin(line);
  return DecodePageText(std::string_view(text_[side]).substr(begin, ShownEnd(side, line) - begin),
                        encoding_);
}

std::vector<std::pair<int, int>> TDiffView::HighlightedChars(Side side, std::size_t line) const {
  const TextLines& lines = side == kOld ? diff_.oldLines : diff_.newLines;
  std::vector<std::pair<int, int>> result;
  int index = 0;
  for (std::size_t pos = lines.Begin(line), end = ShownEnd(side, line); pos < end;) {
    const PageChar c = DecodePageChar(text_[side], pos, encoding_);
    const int length = QStringLength(c.codePoint);
    if (Highlighted(side, pos, pos + static_cast<std::size_t>(c.bytes))) {
      if (!result.empty() && result.back().second == index) {
        result.back().second += length;
      } else {
        result.push_back({index, index + length});
      }
    }
    index += length;
    pos += static_cast<std::size_t>(c.bytes);
  }
  return result;
}

bool TDiffView::LineBreakHighlighted(Side side, std::size_t line) const {
  const TextLines& lines = side == kOld ? diff_.oldLines : diff_.newLines;
  const std::size_t end = ShownEnd(side, line);
  return lines.End(line) > end && Highlighted(side, end, lines.End(line));
}

QRect TDiffView::CharRect(Side side, std::size_t line, int index) const {
  const TextLines& lines = side == kOld ? diff_.oldLines : diff_.newLines;
  // The character's column.
  std::uint32_t col = 0;
  int at = 0, width = 1;
  for (std::size_t pos = lines.Begin(line), end = ShownEnd(side, line); pos < end;) {
    const PageChar c = DecodePageChar(text_[side], pos, encoding_);
    width = CellWidth(c.codePoint, col);
    if (at >= index) break;
    at += QStringLength(c.codePoint);
    col += static_cast<std::uint32_t>(width);
    pos += static_cast<std::size_t>(c.bytes);
  }
  // The unit that holds the line, and the line's first row in it.
  const auto after =
      std::upper_bound(units_.begin(), units_.end(), line,
                       [side](std::size_t l, const Unit& u) { return l < u.first[side]; });
  std::size_t unit = static_cast<std::size_t>(after - units_.begin()) - 1;
  while (units_[unit].count[side] == 0) --unit;
  std::int64_t row = unitTop_[unit];
  for (std::size_t i = units_[unit].first[side]; i < line; ++i) row += RowsOf(side, i);
  row += static_cast<std::int64_t>(col / static_cast<std::uint32_t>(columns_)) - FirstVisibleRow();
  if (row < 0 || row >= VisibleRows()) return {};
  const int x = PaneX(side) + GutterWidth() + kPad +
                static_cast<int>(col % static_cast<std::uint32_t>(columns_)) * charWidth_;
  return QRect(x, HeaderHeight() + static_cast<int>(row) * rowHeight_, width * charWidth_,
               rowHeight_);
}

}  // namespace vk
