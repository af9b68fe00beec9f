#include "ui/diff_view.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QGlyphRun>
#include <QKeyEvent>
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
      const std::size_t oldBegin = diff_.oldLines.Begin(row.oldLine);
      const std::size_t oldEnd = diff_.oldLines.End(row.oldLine);
      const std::uint32_t cells = CountCells(kOld, oldBegin, ShownEnd(kOld, oldBegin, oldEnd));
      units_.push_back({{oldBegin, diff_.newLines.Begin(row.newLine)},
                        {oldEnd, diff_.newLines.End(row.newLine)},
                        {cells, cells},
                        -1});
      ++r;
      continue;
    }
    blockFirst_.push_back(units_.size());
    AddBlockUnits(b);
    blockEnd_.push_back(units_.size());
    r += diff_.blocks[b++].rowCount;
  }

  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // Always there, so that it never changes the width the lines wrap at.
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  verticalScrollBar()->setSingleStep(1);
  currentBlock_ = diff_.blocks.empty() ? -1 : 0;
  Relayout();
}

std::size_t TDiffView::ShownEnd(Side side, std::size_t begin, std::size_t end) const {
  const std::string& text = text_[side];
  if (end > begin && text[end - 1] == '\n') {
    --end;
    if (end > begin && text[end - 1] == '\r') --end;
  }
  return end;
}

std::uint32_t TDiffView::CountCells(Side side, std::size_t begin, std::size_t end) const {
  const std::string& text = text_[side];
  std::uint32_t column = 0;
  for (std::size_t pos = begin; pos < end;) {
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
  return column;
}

void TDiffView::AddBlockUnits(std::size_t index) {
  const ChangeBlock& block = diff_.blocks[index];
  // Where the block lies in each text (an empty side: the place between its neighbours).
  const auto span = [this](Side side, std::size_t first, std::size_t count) {
    const TextLines& lines = Lines(side);
    const std::size_t at = first < lines.Count() ? lines.Begin(first) : text_[side].size();
    return std::pair{at, count ? lines.End(first + count - 1) : at};
  };
  const auto [oldBegin, oldEnd] = span(kOld, block.oldFirst, block.oldCount);
  const auto [newBegin, newEnd] = span(kNew, block.newFirst, block.newCount);
  const std::vector<ByteRange>& removed = diff_.removed;
  const std::vector<ByteRange>& added = diff_.added;
  const auto firstAfter = [](const std::vector<ByteRange>& ranges, std::size_t at) {
    return static_cast<std::size_t>(
        std::upper_bound(ranges.begin(), ranges.end(), at,
                         [](std::size_t p, const ByteRange& r) { return p < r.end; }) -
        ranges.begin());
  };
  std::size_t r = firstAfter(removed, oldBegin), a = firstAfter(added, newBegin);
  std::size_t oldLine = block.oldFirst + 1, newLine = block.newFirst + 1;
  const std::size_t oldLineEnd = block.oldFirst + block.oldCount;
  const std::size_t newLineEnd = block.newFirst + block.newCount;
  const auto oldStart = [&] {
    return oldLine < oldLineEnd ? diff_.oldLines.Begin(oldLine) : oldEnd + 1;
  };
  const auto newStart = [&] {
    return newLine < newLineEnd ? diff_.newLines.Begin(newLine) : newEnd + 1;
  };

  // Pairs of places that correspond: every line start of either side, with the place the
  // character diff maps it to on the other side.
  std::vector<std::pair<std::size_t, std::size_t>> cuts{{oldBegin, newBegin}};
  const auto cut = [&cuts](std::size_t o, std::size_t n) {
    if (cuts.back() != std::pair{o, n}) cuts.emplace_back(o, n);
  };
  std::size_t o = oldBegin, n = newBegin;
  while (o < oldEnd || n < newEnd) {
    // Where text was replaced, the new text faces the first of the old lines.
    if (a < added.size() && added[a].begin == n && n < newEnd) {
      const std::size_t end = added[a++].end;
      for (; newStart() <= end && newLine < newLineEnd; ++newLine) cut(o, newStart());
      n = end;
      continue;
    }
    if (r < removed.size() && removed[r].begin == o && o < oldEnd) {
      const std::size_t end = removed[r++].end;
      for (; oldStart() <= end && oldLine < oldLineEnd; ++oldLine) cut(oldStart(), n);
      o = end;
      continue;
    }
    // Equal bytes up to the next change on either side.
    const std::size_t length =
        std::min((r < removed.size() ? std::min(removed[r].begin, oldEnd) : oldEnd) - o,
                 (a < added.size() ? std::min(added[a].begin, newEnd) : newEnd) - n);
    if (length == 0) break;  // never for a diff of these texts
    for (;;) {
      const std::size_t toOld = oldLine < oldLineEnd ? oldStart() - o : length + 1;
      const std::size_t toNew = newLine < newLineEnd ? newStart() - n : length + 1;
      if (std::min(toOld, toNew) > length) break;
      if (toOld <= toNew) {
        cut(o + toOld, n + toOld);
        if (toOld == toNew) ++newLine;
        ++oldLine;
      } else {
        cut(o + toNew, n + toNew);
        ++newLine;
      }
    }
    o += length;
    n += length;
  }
  cut(oldEnd, newEnd);

  for (std::size_t i = 0; i + 1 < cuts.size(); ++i) {
    Unit unit{{cuts[i].first, cuts[i].second},
              {cuts[i + 1].first, cuts[i + 1].second},
              {0, 0},
              static_cast<int>(index)};
    for (Side side : {kOld, kNew}) {
      unit.cells[side] =
          CountCells(side, unit.begin[side], ShownEnd(side, unit.begin[side], unit.end[side]));
    }
    units_.push_back(unit);
  }
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

int TDiffView::RowsOf(const Unit& unit, Side side) const {
  if (unit.begin[side] == unit.end[side]) return 0;
  const std::uint32_t cells = unit.cells[side];
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
    row += std::max({1, RowsOf(units_[u], kOld), RowsOf(units_[u], kNew)});
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

std::int64_t TDiffView::BlockTopRow(int index) const { return unitTop_[blockFirst_[index]]; }

void TDiffView::SetCurrentBlock(int index) {
  if (index < 0 || index >= static_cast<int>(blockFirst_.size())) return;
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

void TDiffView::keyPressEvent(QKeyEvent* event) {
  // The scroll area moves by rows and pages itself; Home and End go to the text's ends.
  if (event->key() == Qt::Key_Home || event->key() == Qt::Key_End) {
    QScrollBar* bar = verticalScrollBar();
    bar->setValue(event->key() == Qt::Key_Home ? bar->minimum() : bar->maximum());
    return;
  }
  QAbstractScrollArea::keyPressEvent(event);
}

bool TDiffView::Highlighted(Side side, std::size_t begin, std::size_t end) const {
  const std::vector<ByteRange>& ranges = Ranges(side);
  const auto it = std::upper_bound(ranges.begin(), ranges.end(), begin,
                                   [](std::size_t at, const ByteRange& r) { return at < r.end; });
  return it != ranges.end() && it->begin < end;
}

TDiffView::Checkpoint TDiffView::Seek(const Unit& unit, Side side, std::uint32_t column) const {
  const std::size_t begin = unit.begin[side];
  const std::size_t end = ShownEnd(side, begin, unit.end[side]);
  if (end - begin <= kLongLineBytes || column == 0) return {begin, 0};
  auto [it, made] = checkpoints_[side].try_emplace(begin);
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

std::size_t TDiffView::UnitAt(Side side, std::size_t offset) const {
  const auto after =
      std::upper_bound(units_.begin(), units_.end(), offset,
                       [side](std::size_t at, const Unit& u) { return at < u.begin[side]; });
  std::size_t unit = static_cast<std::size_t>(after - units_.begin()) - 1;
  while (unit > 0 && units_[unit].begin[side] == units_[unit].end[side]) --unit;
  return unit;
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
  // A frame around the current block, on both sides.
  if (currentBlock_ >= 0) {
    const std::int64_t top = unitTop_[blockFirst_[static_cast<std::size_t>(currentBlock_)]];
    const std::int64_t bottom = unitTop_[blockEnd_[static_cast<std::size_t>(currentBlock_)]];
    if (bottom > first && top <= last) {
      const int y = HeaderHeight() + static_cast<int>(top - first) * rowHeight_;
      const int height = static_cast<int>(bottom - top) * rowHeight_;
      painter.setPen(QPen(kFrameColor, 2));
      painter.setBrush(Qt::NoBrush);
      painter.drawRect(QRect(PaneX(kOld) + 1, y + 1, HalfWidth() - 2, height - 2));
      painter.drawRect(
          QRect(PaneX(kNew) + 1, y + 1, viewport()->width() - PaneX(kNew) - 2, height - 2));
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
  painter.drawText(QPoint(PaneX(kOld) + kPad, textY), tr("Vorher"));
  painter.drawText(QPoint(PaneX(kNew) + kPad, textY), tr("Nachher"));
  painter.setPen(palette().mid().color());
  painter.drawLine(0, header - 1, viewport()->width(), header - 1);
  painter.drawLine(HalfWidth(), 0, HalfWidth(), viewport()->height());
}

void TDiffView::PaintUnit(QPainter& painter, std::size_t unitIndex, int firstRow, int lastRow) {
  const Unit& unit = units_[unitIndex];
  const std::int64_t top = unitTop_[unitIndex];
  const int height = static_cast<int>(unitTop_[unitIndex + 1] - top);
  const int y0 = HeaderHeight() + static_cast<int>(top - firstRow) * rowHeight_;
  for (Side side : {kOld, kNew}) {
    const int x = PaneX(side);
    const QRect pane(x, y0, side == kOld ? HalfWidth() : viewport()->width() - x,
                     height * rowHeight_);
    const int rows = RowsOf(unit, side);
    if (unit.block >= 0) {
      painter.fillRect(pane, BlockColor(side));
      if (rows == 0) {  // nothing of this side faces the other side's text here
        painter.fillRect(pane, kFillerColor);
        painter.fillRect(pane, QBrush(kHatchColor, Qt::BDiagPattern));
        continue;
      }
    }
    const TextLines& lines = Lines(side);
    const std::size_t line = lines.LineOf(unit.begin[side]);
    if (top >= firstRow && lines.Begin(line) == unit.begin[side]) {
      painter.setPen(kNumberColor);
      painter.drawText(QRect(x, y0, GutterWidth() - kPad, rowHeight_),
                       Qt::AlignRight | Qt::AlignVCenter, QString::number(line + 1));
    }
    const int from = static_cast<int>(std::max<std::int64_t>(0, firstRow - top));
    const int to = static_cast<int>(std::min<std::int64_t>(rows, lastRow - top + 1));
    for (int r = from; r < to; ++r) PaintRow(painter, unit, side, r, y0 + r * rowHeight_);
  }
}

void TDiffView::PaintRow(QPainter& painter, const Unit& unit, Side side, int row, int y) {
  const std::string& text = text_[side];
  const std::size_t end = ShownEnd(side, unit.begin[side], unit.end[side]);
  const std::uint32_t startCol =
      static_cast<std::uint32_t>(row) * static_cast<std::uint32_t>(columns_);
  const std::uint32_t endCol = startCol + static_cast<std::uint32_t>(columns_);
  const int textX = PaneX(side) + GutterWidth() + kPad;
  const std::vector<ByteRange>& ranges = Ranges(side);
  const QColor textColor = unit.block >= 0 ? QColor(Qt::black) : palette().text().color();

  Checkpoint at = Seek(unit, side, startCol);
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
      const std::uint32_t from = std::max(col, startCol);
      const std::uint32_t to = std::min(col + static_cast<std::uint32_t>(width), endCol);
      if (marked) {
        painter.fillRect(QRect(static_cast<int>(cellX(from)), y,
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
  // Behind the piece's last row: its line break, marked when it changed.
  if (row == RowsOf(unit, side) - 1 && unit.end[side] > end &&
      Highlighted(side, end, unit.end[side])) {
    const int x = static_cast<int>(cellX(unit.cells[side]));
    painter.fillRect(QRect(x, y, charWidth_, rowHeight_), HighlightColor(side));
    painter.setPen(textColor);
    painter.drawText(QPointF(x, y + ascent_), QString::fromUcs4(&kLineBreakMark, 1));
  }
}

QString TDiffView::LineText(Side side, std::size_t line) const {
  const std::size_t begin = Lines(side).Begin(line);
  const std::size_t end = ShownEnd(side, begin, Lines(side).End(line));
  return DecodePageText(std::string_view(text_[side]).substr(begin, end - begin), encoding_);
}

std::vector<std::pair<int, int>> TDiffView::HighlightedChars(Side side, std::size_t line) const {
  std::vector<std::pair<int, int>> result;
  int index = 0;
  const std::size_t begin = Lines(side).Begin(line);
  for (std::size_t pos = begin, end = ShownEnd(side, begin, Lines(side).End(line)); pos < end;) {
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
  const std::size_t lineEnd = Lines(side).End(line);
  const std::size_t end = ShownEnd(side, Lines(side).Begin(line), lineEnd);
  return lineEnd > end && Highlighted(side, end, lineEnd);
}

QRect TDiffView::CharRect(Side side, std::size_t line, int index) const {
  if (units_.empty()) return {};
  // The character's first byte.
  std::size_t pos = Lines(side).Begin(line);
  const std::size_t end = ShownEnd(side, pos, Lines(side).End(line));
  for (int at = 0; at < index && pos < end;) {
    const PageChar c = DecodePageChar(text_[side], pos, encoding_);
    at += QStringLength(c.codePoint);
    pos += static_cast<std::size_t>(c.bytes);
  }
  // Its column in the piece that holds it, and the piece's first row.
  const std::size_t unitIndex = UnitAt(side, pos);
  const Unit& unit = units_[unitIndex];
  const std::uint32_t col = CountCells(side, unit.begin[side], pos);
  const int width =
      pos < end ? CellWidth(DecodePageChar(text_[side], pos, encoding_).codePoint, col) : 1;
  const std::int64_t row = unitTop_[unitIndex] +
                           static_cast<std::int64_t>(col / static_cast<std::uint32_t>(columns_)) -
                           FirstVisibleRow();
  if (row < 0 || row >= VisibleRows()) return {};
  const int x = PaneX(side) + GutterWidth() + kPad +
                static_cast<int>(col % static_cast<std::uint32_t>(columns_)) * charWidth_;
  return QRect(x, HeaderHeight() + static_cast<int>(row) * rowHeight_, width * charWidth_,
               rowHeight_);
}

}  // namespace vk
