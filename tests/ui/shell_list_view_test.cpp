// The file list widget on its own: rows in the order added, ticks and their count, column
// widths, alignment, hover selection and the path of a row.
#include "ui/shell_list_view.h"

#include <gtest/gtest.h>

#include <QHeaderView>
#include <QSignalSpy>

#include "main_window_support.h"

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

TEST_F(FileListViewTest, ColumnsFitTheirTextUpToTheirLimits) {
  const std::string longText(200, 'W');
  list_.AppendRows({FileListRow{false, longText + ".htm", longText, longText, "/" + longText}});
  list_.FitColumns();
  EXPECT_EQ(list_.columnWidth(0), 250);
  EXPECT_EQ(list_.columnWidth(1), 130);
  EXPECT_EQ(list_.columnWidth(2), 100);
  EXPECT_GT(list_.columnWidth(3), 250);  // "Ort" has no limit
  list_.ClearRows();
  list_.AppendRows({FileListRow{false, "a.htm", "x", "1 Byte", "/"}});
  list_.FitColumns();
  EXPECT_LT(list_.columnWidth(0), 250);
  EXPECT_LT(list_.columnWidth(1), 130);
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
