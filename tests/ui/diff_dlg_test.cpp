#include "ui/diff_dlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "ui/diff_view.h"
#include "ui/page_text.h"

namespace vk {
namespace {

void EnsureApp() {
  if (QApplication::instance()) return;
  static int argc = 1;
  static char name[] = "diff_dlg_test";
  static char* argv[] = {name, nullptr};
  new QApplication(argc, argv);
}

using Ranges = std::vector<std::pair<int, int>>;

// Forty numbered lines; lines 5, 20 and 35 (1-based) differ in the new text, and the new
// text has a line more before line 20.
std::pair<std::string, std::string> ThreeChanges() {
  std::string oldText, newText;
  for (int i = 1; i <= 40; ++i) {
    const std::string line = "Zeile " + std::to_string(i) + " mit Text";
    oldText += line + "\n";
    if (i == 5) {
      newText += "Zeile 5 mit neuem Text\n";
    } else if (i == 20) {
      newText += "eingef\xC3\xBCgt\nZeile 20 mit Text!\n";
    } else if (i == 35) {
      newText += "Zeile 35 mit\tText\n";
    } else {
      newText += line + "\n";
    }
  }
  return {oldText, newText};
}

class DiffDlgTest : public ::testing::Test {
 protected:
  void SetUp() override { EnsureApp(); }
};

TEST_F(DiffDlgTest, ShowsTitleCountsAndStepsThroughTheChanges) {
  auto [oldText, newText] = ThreeChanges();
  TDiffDlg dlg(QStringLiteral("seite.html"), oldText, newText, PageEncoding::kUtf8);
  dlg.resize(900, 300);  // about a dozen rows: the blocks cannot all be in sight
  dlg.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
  TDiffView* view = dlg.View();

  EXPECT_EQ(dlg.windowTitle(), "Änderungen: seite.html");
  ASSERT_EQ(view->Diff().blocks.size(), 3u);
  EXPECT_EQ(dlg.CountsLabel()->text(), "Änderung 1 von 3 · geänderte Zeilen: 3 vorher, 4 nachher");
  EXPECT_EQ(view->CurrentBlock(), 0);
  EXPECT_FALSE(dlg.PrevBtn()->isEnabled());
  EXPECT_TRUE(dlg.NextBtn()->isEnabled());

  // Each step brings its block into sight, a little below the top (or as far up as the end
  // of the text lets it).
  const auto expectShown = [&](int block) {
    EXPECT_EQ(view->CurrentBlock(), block);
    const std::int64_t top = view->BlockTopRow(block);
    EXPECT_GE(top, view->FirstVisibleRow());
    if (view->verticalScrollBar()->value() < view->verticalScrollBar()->maximum()) {
      EXPECT_LE(top, view->FirstVisibleRow() + 2);
    }
    const ChangeBlock& changed = view->Diff().blocks[static_cast<std::size_t>(block)];
    EXPECT_FALSE(view->CharRect(TDiffView::kNew, changed.newFirst, 0).isEmpty());
  };
  expectShown(0);
  QTest::mouseClick(dlg.NextBtn(), Qt::LeftButton);
  expectShown(1);
  EXPECT_EQ(dlg.CountsLabel()->text(), "Änderung 2 von 3 · geänderte Zeilen: 3 vorher, 4 nachher");
  EXPECT_TRUE(view->CharRect(TDiffView::kNew, 0, 0).isEmpty());  // the top scrolled away
  QTest::mouseClick(dlg.NextBtn(), Qt::LeftButton);
  expectShown(2);
  EXPECT_FALSE(dlg.NextBtn()->isEnabled());
  EXPECT_TRUE(dlg.PrevBtn()->isEnabled());
  QTest::mouseClick(dlg.PrevBtn(), Qt::LeftButton);
  expectShown(1);
  QTest::mouseClick(dlg.PrevBtn(), Qt::LeftButton);
  expectShown(0);
  EXPECT_FALSE(dlg.PrevBtn()->isEnabled());

  // The keys scroll both sides together.
  QTest::keyClick(view, Qt::Key_End);
  EXPECT_EQ(view->FirstVisibleRow(), view->verticalScrollBar()->maximum());
  EXPECT_FALSE(view->CharRect(TDiffView::kOld, 39, 0).isEmpty());
  EXPECT_FALSE(view->CharRect(TDiffView::kNew, 40, 0).isEmpty());
  QTest::keyClick(view, Qt::Key_Home);
  EXPECT_EQ(view->FirstVisibleRow(), 0);
  QTest::keyClick(view, Qt::Key_PageDown);
  EXPECT_GT(view->FirstVisibleRow(), 5);
}

TEST_F(DiffDlgTest, HighlightsTheChangedCharactersWhereTheModelSays) {
  auto [oldText, newText] = ThreeChanges();
  TDiffDlg dlg(QStringLiteral("seite.html"), oldText, newText, PageEncoding::kUtf8);
  dlg.resize(900, 600);
  dlg.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
  TDiffView* view = dlg.View();

  struct Line {
    TDiffView::Side side;
    std::size_t line;  // from 0
    const char* text;
    Ranges highlighted;
    bool lineBreak;
  };
  const Line lines[] = {
      {TDiffView::kOld, 4, "Zeile 5 mit Text", {}, false},
      {TDiffView::kNew, 4, "Zeile 5 mit neuem Text", {{12, 18}}, false},
      {TDiffView::kNew, 19, "eingefügt", {{0, 9}}, true},
      {TDiffView::kNew, 20, "Zeile 20 mit Text!", {{17, 18}}, false},
      {TDiffView::kOld, 34, "Zeile 35 mit Text", {{12, 13}}, false},
      {TDiffView::kNew, 35, "Zeile 35 mit\tText", {{12, 13}}, false},
      {TDiffView::kOld, 0, "Zeile 1 mit Text", {}, false},
  };
  for (const Line& l : lines) {
    EXPECT_EQ(view->LineText(l.side, l.line), QString::fromUtf8(l.text));
    EXPECT_EQ(view->HighlightedChars(l.side, l.line), l.highlighted) << l.text;
    EXPECT_EQ(view->LineBreakHighlighted(l.side, l.line), l.lineBreak) << l.text;
  }

  // On screen: the cells of highlighted characters carry the highlight colour, the others of
  // a changed line the block's tint, those of an equal line the plain background (glyphs
  // and the frame of the current block cover only some pixels of a cell).
  const QImage image = view->viewport()->grab().toImage();
  const auto cellHas = [&](TDiffView::Side side, std::size_t line, int index, QColor colour) {
    const QRect cell = view->CharRect(side, line, index);
    EXPECT_FALSE(cell.isEmpty()) << line << ":" << index;
    for (int y = cell.top(); y <= cell.bottom(); ++y) {
      for (int x = cell.left(); x <= cell.right(); ++x) {
        if (image.pixelColor(x, y) == colour) return true;
      }
    }
    return false;
  };
  const QColor highlight = TDiffView::HighlightColor(TDiffView::kNew);
  const QColor tint = TDiffView::BlockColor(TDiffView::kNew);
  for (std::size_t line : {std::size_t{4}, std::size_t{19}, std::size_t{20}}) {
    const Ranges marked = view->HighlightedChars(TDiffView::kNew, line);
    const int length = static_cast<int>(view->LineText(TDiffView::kNew, line).size());
    for (int i = 0; i < length; ++i) {
      bool inRange = false;
      for (const auto& [b, e] : marked) inRange = inRange || (i >= b && i < e);
      EXPECT_EQ(cellHas(TDiffView::kNew, line, i, highlight), inRange)
          << "line " << line << " char " << i;
      EXPECT_EQ(cellHas(TDiffView::kNew, line, i, tint), !inRange)
          << "line " << line << " char " << i;
    }
  }
  EXPECT_TRUE(cellHas(TDiffView::kOld, 2, 3, view->palette().base().color()));
  EXPECT_FALSE(cellHas(TDiffView::kOld, 2, 3, TDiffView::BlockColor(TDiffView::kOld)));
}

// A character of several bytes counts as changed when one of its bytes is; its cell is the
// one highlighted, not a neighbour's.
TEST_F(DiffDlgTest, HighlightsWholeCharactersOfAUtf8Page) {
  const std::string oldText =
      "      <p>Ein knapper \xC3\x9C"
      "berblick \xC3\xBC"
      "ber alles\n";
  const std::string newText =
      "      <p>Ein knapper &Atilde;\x9C"
      "berblick &Atilde;&frac14;ber alles\n";
  TDiffDlg dlg(QStringLiteral("utf8.html"), oldText, newText, DecidePageEncoding(oldText));
  dlg.resize(900, 300);
  dlg.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
  TDiffView* view = dlg.View();
  EXPECT_EQ(view->LineText(TDiffView::kOld, 0), "      <p>Ein knapper Überblick über alles");
  EXPECT_EQ(view->HighlightedChars(TDiffView::kOld, 0), (Ranges{{21, 22}, {31, 32}}));
  // The lone 0x9C left of "Ü" shows as its Windows-1252 character.
  EXPECT_EQ(view->LineText(TDiffView::kNew, 0),
            "      <p>Ein knapper &Atilde;œberblick &Atilde;&frac14;ber alles");
  EXPECT_EQ(view->HighlightedChars(TDiffView::kNew, 0), (Ranges{{21, 29}, {39, 55}}));

  const QImage image = view->viewport()->grab().toImage();
  const QColor highlight = TDiffView::HighlightColor(TDiffView::kOld);
  const auto marked = [&](int index) {
    const QRect cell = view->CharRect(TDiffView::kOld, 0, index);
    int count = 0;
    for (int y = cell.top(); y <= cell.bottom(); ++y) {
      for (int x = cell.left(); x <= cell.right(); ++x)
        count += image.pixelColor(x, y) == highlight;
    }
    return count > cell.width() * cell.height() / 4;
  };
  for (int i = 0; i < 40; ++i) EXPECT_EQ(marked(i), i == 21 || i == 31) << "char " << i;
}

TEST_F(DiffDlgTest, AJoinedPageFacesTheLinesItCameFrom) {
  // A page joined into one line, as compression makes it: each paragraph of the new line
  // faces the old line it came from.
  std::string oldText, newText;
  for (int i = 0; i < 300; ++i) {
    oldText += "<p>Absatz</p>\r\n";
    newText += "<p>Absatz</p>";
  }
  TDiffDlg dlg(QStringLiteral("eine-zeile.html"), oldText, newText, PageEncoding::kWindows1252);
  dlg.resize(900, 500);
  dlg.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
  TDiffView* view = dlg.View();
  EXPECT_EQ(dlg.CountsLabel()->text(),
            "Änderung 1 von 1 · geänderte Zeilen: 300 vorher, 1 nachher");
  EXPECT_FALSE(dlg.PrevBtn()->isEnabled());
  EXPECT_FALSE(dlg.NextBtn()->isEnabled());
  EXPECT_TRUE(view->LineBreakHighlighted(TDiffView::kOld, 0));
  EXPECT_FALSE(view->LineBreakHighlighted(TDiffView::kNew, 0));
  EXPECT_TRUE(view->HighlightedChars(TDiffView::kNew, 0).empty());
  for (int k : {0, 1, 7}) {
    const QRect oldLine = view->CharRect(TDiffView::kOld, static_cast<std::size_t>(k), 0);
    const QRect piece = view->CharRect(TDiffView::kNew, 0, 13 * k);
    ASSERT_FALSE(oldLine.isEmpty()) << k;
    EXPECT_EQ(piece.top(), oldLine.top()) << k;
    EXPECT_GT(piece.left(), oldLine.right());  // on the right side
  }
}

TEST_F(DiffDlgTest, WrapsLongLinesAtTheViewsWidth) {
  const std::string line(3000, 'x');
  TDiffDlg dlg(QStringLiteral("lang.html"), line + "\n", line + "y\n", PageEncoding::kUtf8);
  dlg.resize(900, 500);
  dlg.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
  TDiffView* view = dlg.View();
  const int columns = view->Columns();
  ASSERT_LT(columns, 3000);
  for (TDiffView::Side side : {TDiffView::kOld, TDiffView::kNew}) {
    const QRect first = view->CharRect(side, 0, 0);
    const QRect wrapped = view->CharRect(side, 0, columns);
    ASSERT_FALSE(first.isEmpty());
    ASSERT_FALSE(wrapped.isEmpty());
    EXPECT_EQ(wrapped.left(), first.left());
    EXPECT_EQ(wrapped.top(), first.top() + first.height());
  }
  EXPECT_EQ(view->HighlightedChars(TDiffView::kNew, 0), (Ranges{{3000, 3001}}));
}

TEST_F(DiffDlgTest, ANewAndAnEmptiedPage) {
  for (const auto& [oldText, newText, counts] :
       {std::tuple{"", "a\nb\n", "Änderung 1 von 1 · geänderte Zeilen: 0 vorher, 2 nachher"},
        std::tuple{"a\nb", "", "Änderung 1 von 1 · geänderte Zeilen: 2 vorher, 0 nachher"}}) {
    TDiffDlg dlg(QStringLiteral("seite.html"), oldText, newText, PageEncoding::kUtf8);
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    EXPECT_EQ(dlg.CountsLabel()->text(), counts);
    EXPECT_FALSE(dlg.View()->viewport()->grab().isNull());
  }
}

TEST_F(DiffDlgTest, EqualTextsAndEncodings) {
  TDiffDlg same(QStringLiteral("gleich.html"), "a\nb\n", "a\nb\n", PageEncoding::kUtf8);
  EXPECT_EQ(same.CountsLabel()->text(), "Keine Änderungen");
  EXPECT_EQ(same.View()->CurrentBlock(), -1);
  EXPECT_FALSE(same.PrevBtn()->isEnabled());
  EXPECT_FALSE(same.NextBtn()->isEnabled());

  // The view reads a page as the run does.
  EXPECT_EQ(DecidePageEncoding("K\xC3\xA4se"), PageEncoding::kUtf8);
  EXPECT_EQ(DecidePageEncoding("K\xE4se"), PageEncoding::kWindows1252);
  EXPECT_EQ(DecidePageEncoding("\xEF\xBB\xBFplain"), PageEncoding::kUtf8);
  EXPECT_EQ(DecidePageEncoding("K\xC3\xA4se und K\xE4se"), PageEncoding::kUtf8);  // a tie
  EXPECT_EQ(DecidePageEncoding("K\xC3\xA4se und K\xE4se \xFC"), PageEncoding::kWindows1252);
  // In a UTF-8 page a stray byte still shows, as its Windows-1252 character.
  EXPECT_EQ(DecodePageText("K\xC3\xA4se \x80 \xC3", PageEncoding::kUtf8), "Käse € Ã");
  EXPECT_EQ(DecodePageText("K\xE4se \x80", PageEncoding::kWindows1252), "Käse €");
}

}  // namespace
}  // namespace vk
