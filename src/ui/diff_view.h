// TDiffView: the old and the new text of a page side by side in one scrolling area, so both
// sides always scroll together. Equal lines face each other. Inside a block of changed lines
// both sides are cut at every line start of either side, mapped to the other side through the
// character diff, so each old line faces what became of it (a page compressed into one line
// shows its pieces beside the lines they came from). Rows wrap at the pane's width, changed
// blocks are tinted and the changed characters highlighted, a changed line break shows as a
// marked "↵". Only the rows on screen are decoded and drawn, so a page of megabytes opens at
// once.
#pragma once

#include <QAbstractScrollArea>
#include <QColor>
#include <QRawFont>
#include <QRect>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "diff/page_diff.h"
#include "ui/page_text.h"

namespace vk {

class TDiffView : public QAbstractScrollArea {
  Q_OBJECT

 public:
  enum Side { kOld = 0, kNew = 1 };

  // Compares the two texts (bytes as read from and written to the page).
  TDiffView(std::string oldText, std::string newText, PageEncoding encoding,
            QWidget* parent = nullptr);

  const PageDiff& Diff() const { return diff_; }
  const std::string& Text(Side side) const { return text_[side]; }

  // The change block shown as the current one, -1 when there is none.
  int CurrentBlock() const { return currentBlock_; }
  // Makes block `index` the current one and scrolls it to near the top.
  void SetCurrentBlock(int index);

  // Line `line` of `side` as shown, without its line break; a tab is kept as a tab.
  QString LineText(Side side, std::size_t line) const;
  // The highlighted characters of that line, as [begin, end) index ranges of LineText.
  std::vector<std::pair<int, int>> HighlightedChars(Side side, std::size_t line) const;
  // True when the line's line break is marked as changed.
  bool LineBreakHighlighted(Side side, std::size_t line) const;
  // The rectangle of the cell where character `index` of the line is drawn, in viewport
  // coordinates; empty when it is scrolled out of sight.
  QRect CharRect(Side side, std::size_t line, int index) const;
  // Text columns of a screen row on each side.
  int Columns() const { return columns_; }
  // The first screen row at the top of the view, and the top row of block `index`.
  int FirstVisibleRow() const;
  std::int64_t BlockTopRow(int index) const;

  // The highlight colours (removed characters on the old side, added on the new side).
  static QColor HighlightColor(Side side);
  static QColor BlockColor(Side side);

 signals:
  void CurrentBlockChanged(int index);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  // One stretch shown side by side: an equal line, or a piece of a change block. Each side is
  // a piece of one line [begin, end) (its line break included when it reaches the line's end),
  // possibly empty; `cells` counts its columns from the piece's start.
  struct Unit {
    std::size_t begin[2];
    std::size_t end[2];
    std::uint32_t cells[2];
    int block;  // -1 for an equal line
  };
  // Where the characters of a long piece start, every so many characters, so that a row far
  // into it is found without decoding the piece from its start.
  struct Checkpoint {
    std::size_t byte;
    std::uint32_t column;
  };

  const TextLines& Lines(Side side) const { return side == kOld ? diff_.oldLines : diff_.newLines; }
  // The end of what is shown of the piece [begin, end): without a line break (LF, and a CR in
  // front of it) at its end.
  std::size_t ShownEnd(Side side, std::size_t begin, std::size_t end) const;
  // Columns of the characters in [begin, end), from column 0 at `begin`.
  std::uint32_t CountCells(Side side, std::size_t begin, std::size_t end) const;
  // Adds the units of change block `index`: its lines cut where either side starts a line.
  void AddBlockUnits(std::size_t index);
  // Screen cells a character takes at `column` (tabs reach the next tab stop).
  static int CellWidth(char32_t codePoint, std::uint32_t column);
  // The character as drawn (control characters as visible symbols).
  static char32_t Shown(char32_t codePoint);
  const std::vector<ByteRange>& Ranges(Side side) const {
    return side == kOld ? diff_.removed : diff_.added;
  }
  bool Highlighted(Side side, std::size_t begin, std::size_t end) const;
  int RowsOf(const Unit& unit, Side side) const;
  // The character at or before column `column` of the unit's piece: its byte and column.
  Checkpoint Seek(const Unit& unit, Side side, std::uint32_t column) const;
  // The unit whose piece on `side` holds byte `offset`.
  std::size_t UnitAt(Side side, std::size_t offset) const;
  void Relayout();
  void UpdateScrollBar();
  int HalfWidth() const;
  int PaneX(Side side) const;
  int GutterWidth() const;
  int HeaderHeight() const;
  int VisibleRows() const;
  void PaintUnit(QPainter& painter, std::size_t unitIndex, int firstRow, int lastRow);
  void PaintRow(QPainter& painter, const Unit& unit, Side side, int row, int y);

  std::string text_[2];
  PageEncoding encoding_;
  PageDiff diff_;
  // Checkpoints of long pieces, by the piece's first byte.
  mutable std::unordered_map<std::size_t, std::vector<Checkpoint>> checkpoints_[2];
  std::vector<Unit> units_;
  std::vector<std::size_t> blockFirst_;  // first unit of each block
  std::vector<std::size_t> blockEnd_;    // one past its last unit
  std::vector<std::int64_t> unitTop_;    // first screen row of each unit, then the total
  int currentBlock_ = -1;
  bool laidOut_ = false;  // the first layout scrolls to the current block
  int columns_ = 80;
  QRawFont rawFont_;
  int charWidth_ = 8;
  int rowHeight_ = 16;
  int ascent_ = 12;
};

}  // namespace vk
