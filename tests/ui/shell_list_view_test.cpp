// The file list widget on its own: rows in the order added, ticks and their count, column
// widths, alignment, hover selection and the path of a row.
#include "ui/shell_list_view.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QHeaderView>
#include <QSignalSpy>
#include <QStyle>
#include <algorithm>

#include "main_window_support.h"
#include "selection/file_date.h"
#include "ui/font_scale.h"

namespace vk::test {
namespace {

class FileListViewTest : public ::testing::Test {
 protected:
  ApplicationStarter starter_;
  ShellListView list_;
};

FileListRow MakeRow(bool ticked, std::string name, std::string folder) {
  return FileListRow{ticked, std::move(name), "07.03.2010 14:05:08", "1.464 KByte",
                     std::move(folder)};
}

TEST_F(FileListViewTest, RowsStayInTheOrderAddedWithTheirTexts) {
  list_.AppendRows({MakeRow(false, "b.htm", "/web"), MakeRow(true, "a.htm", "/web")});
  list_.AppendRows({MakeRow(false, "b.htm", "/web")});  // the same file may stand twice
  ASSERT_EQ(list_.RowCount(), 3);
  QStringList names;
  for (int row = 0; row < 3; ++row) names << list_.topLevelItem(row)->text(0);
  EXPECT_EQ(names, (QStringList{QStringLiteral("b.htm"), QStringLiteral("a.htm"),
                                QStringLiteral("b.htm")}));
  const QTreeWidgetItem* item = list_.topLevelItem(1);
  EXPECT_EQ(item->text(1), QStringLiteral("07.03.2010 14:05:08"));
  EXPECT_EQ(item->text(2), QStringLiteral("1.464 KByte"));
  EXPECT_EQ(item->text(3), QStringLiteral("/web"));
  EXPECT_EQ(item->textAlignment(2) & Qt::AlignHorizontal_Mask, Qt::AlignRight);
  EXPECT_EQ(item->checkState(0), Qt::Checked);
  EXPECT_FALSE(item->flags() & Qt::ItemIsEditable);
  EXPECT_FALSE(list_.isSortingEnabled());
}

TEST_F(FileListViewTest, RowPathJoinsFolderAndName) {
  list_.AppendRows({MakeRow(false, "a b.htm", "/my web"), MakeRow(false, "c.htm", "/")});
  EXPECT_EQ(list_.RowPath(0), "/my web/a b.htm");
  EXPECT_EQ(list_.RowPath(1), "/c.htm");
}

TEST_F(FileListViewTest, TickCountFollowsEveryChange) {
  QSignalSpy changes(&list_, &ShellListView::TickChanged);
  list_.AppendRows(
      {MakeRow(false, "a.htm", "/"), MakeRow(true, "b.htm", "/"), MakeRow(false, "c.htm", "/")});
  EXPECT_TRUE(list_.AnyRowTicked());
  list_.SetTicked(1, false);
  EXPECT_FALSE(list_.AnyRowTicked());
  list_.SetTicked(2, true);
  list_.SetTicked(2, true);  // no change, no notification
  EXPECT_TRUE(list_.AnyRowTicked());
  list_.topLevelItem(0)->setCheckState(0, Qt::Checked);  // as a click does
  list_.SetTicked(2, false);
  EXPECT_TRUE(list_.AnyRowTicked());
  list_.SetTicked(0, false);
  EXPECT_FALSE(list_.AnyRowTicked());
  EXPECT_EQ(changes.count(), 5);
  list_.SetTicked(1, true);
  list_.ClearRows();
  EXPECT_FALSE(list_.AnyRowTicked());
  list_.AppendRows({MakeRow(false, "d.htm", "/")});
  EXPECT_FALSE(list_.AnyRowTicked());
}

// The caps of 250, 130 and 100 pixels were drawn for an 8-point font: they grow with the font,
// and "Datum" always shows a whole date and time.
TEST_F(FileListViewTest, ColumnsFitTheirTextUpToLimitsScaledToTheFont) {
  const std::string longText(200, 'W');
  for (const int points : {0, 8, 16}) {
    if (points > 0) list_.setFont(QFont(list_.font().family(), points));
    const QFontMetrics metrics = list_.fontMetrics();
    const int scale = metrics.averageCharWidth();
    list_.ClearRows();
    list_.AppendRows({FileListRow{false, longText + ".htm", longText, longText, "/" + longText}});
    list_.FitColumns();
    EXPECT_EQ(list_.columnWidth(0), ScaledPixels(metrics, 250)) << points;
    EXPECT_GE(list_.columnWidth(0), std::max(250, 250 * scale / 5)) << points;
    EXPECT_EQ(list_.columnWidth(1), list_.MaxColumnWidth(1)) << points;
    EXPECT_GE(list_.columnWidth(1), std::max(130, 130 * scale / 5)) << points;
    EXPECT_EQ(list_.columnWidth(2), ScaledPixels(metrics, 100)) << points;
    EXPECT_GT(list_.columnWidth(3), list_.columnWidth(0));  // "Ort" has no limit

    // Dates of the user's format, with wide and narrow digits: never cut.
    list_.ClearRows();
    const DateTextFormat format(QLocale::system());
    for (const QDateTime& time : {QDateTime(QDate(2026, 12, 9), QTime(17, 31, 8)),
                                  QDateTime(QDate(2028, 10, 30), QTime(20, 58, 58)),
                                  QDateTime(QDate(2011, 11, 11), QTime(11, 11, 10))}) {
      list_.AppendRows({FileListRow{false, "a.htm", DateTextOfTime(time.toSecsSinceEpoch(), format),
                                    "1 Byte", "/"}});
    }
    list_.FitColumns();
    const int padding =
        2 * (list_.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &list_) + 1);
    for (int row = 0; row < list_.RowCount(); ++row) {
      EXPECT_GE(list_.columnWidth(1),
                metrics.horizontalAdvance(list_.topLevelItem(row)->text(1)) + padding)
          << points;
    }
    EXPECT_LT(list_.columnWidth(0), ScaledPixels(metrics, 250));
  }
}

TEST_F(FileListViewTest, HoverSelectsThatRowAloneAndLeavesTicksAlone) {
  list_.AppendRows(
      {MakeRow(true, "a.htm", "/"), MakeRow(false, "b.htm", "/"), MakeRow(false, "c.htm", "/")});
  list_.topLevelItem(0)->setSelected(true);
  list_.topLevelItem(2)->setSelected(true);
  EXPECT_EQ(list_.FirstSelectedRow(), 0);
  list_.HoverSelect(list_.topLevelItem(1));
  ASSERT_EQ(list_.selectedItems().size(), 1);
  EXPECT_EQ(list_.selectedItems().first(), list_.topLevelItem(1));
  EXPECT_EQ(list_.FirstSelectedRow(), 1);
  EXPECT_TRUE(list_.Ticked(0));
  EXPECT_FALSE(list_.Ticked(1));
  list_.clearSelection();
  EXPECT_EQ(list_.FirstSelectedRow(), -1);
}

}  // namespace
}  // namespace vk::test
