// The main window over a throwaway folder: start-up, the command line, the enabled states of
// the commands that need ticked rows, the selection commands, the subfolder toggle, the
// options kept in the settings file and the file list's context menu.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QMenu>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>

#include "main_window_support.h"
#include "selection/file_date.h"
#include "selection/folder_scan.h"
#include "ui/my_shell_tree_view.h"
#include "ui/shell_list_view.h"
#include "ui/vk_main.h"

namespace vk::test {
namespace {

using Lines = std::vector<std::string>;

QAction* Action(TVKMain& window, const char* name) {
  QAction* action = window.findChild<QAction*>(QLatin1String(name));
  EXPECT_NE(action, nullptr) << name;
  return action;
}

QMenu* Menu(TVKMain& window, const char* name) {
  return window.findChild<QMenu*>(QLatin1String(name));
}

TMyShellTreeView* Tree(TVKMain& window) {
  return window.findChild<TMyShellTreeView*>(QStringLiteral("ShellTreeView"));
}

// "Edit Start SelAll SelNone SelReverse" as 1 (enabled) and 0.
std::string CommandStates(TVKMain& window) {
  std::string states;
  states += Menu(window, "Bearbeiten1")->menuAction()->isEnabled() ? '1' : '0';
  for (const char* name : {"StartBtn", "SelAllBtn", "SelNoneBtn", "SelReverseBtn"}) {
    states += Action(window, name)->isEnabled() ? '1' : '0';
  }
  return states;
}

TEST_F(MainWindowTest, StartUpListsTheRootFolderUntickedAndGivesTheListTheFocus) {
  File("a.htm", "12345");
  File("b.html");
  File("c.txt");
  Folder("sub");
  File("sub/d.htm");
  auto window = ShowWindow();
  const std::string root = root_.Path();
  EXPECT_EQ(Tree(*window)->SelectedPath(), QByteArray::fromStdString(root));
  EXPECT_EQ(SortedListLines(*window), (Lines{"-|a.htm|5 Byte|" + root, "-|b.html|3 Byte|" + root}));
  EXPECT_EQ(window->StatusText(), QStringLiteral("2 Datei(en)"));
  ShellListView* list = FileList(*window);
  for (int row = 0; row < list->RowCount(); ++row) {
    const FileListRow r = list->Row(row);
    EXPECT_EQ(r.date, FileDateText(FullPath(r.folder, r.name))) << r.name;
    EXPECT_FALSE(r.date.empty());
  }
  EXPECT_EQ(window->focusWidget(), list);
  EXPECT_TRUE(window->acceptDrops());
  EXPECT_TRUE(boxes_.errors.isEmpty());
}

TEST_F(MainWindowTest, DropsAreAcceptedOnlyOnceTheWindowHasBeenShown) {
  auto window = MakeWindow();
  EXPECT_FALSE(window->acceptDrops());
  window->show();
  EXPECT_TRUE(window->acceptDrops());
}

TEST_F(MainWindowTest, TickingOneRowEnablesStartAndTheEditMenuAtOnce) {
  File("a.htm");
  File("b.htm");
  auto window = ShowWindow();
  ShellListView* list = FileList(*window);
  ASSERT_EQ(list->RowCount(), 2);
  EXPECT_EQ(CommandStates(*window), "00111");
  list->setCurrentItem(list->topLevelItem(1));
  QTest::keyClick(list, Qt::Key_Space);  // the user ticks the row's box
  EXPECT_TRUE(list->Ticked(1));
  EXPECT_EQ(CommandStates(*window), "11111");
  QTest::keyClick(list, Qt::Key_Space);
  EXPECT_FALSE(list->Ticked(1));
  EXPECT_EQ(CommandStates(*window), "00111");
}

TEST_F(MainWindowTest, CommandStatesFollowRowsAndTicks) {
  struct Case {
    const char* what;
    std::vector<std::string> files;
    int tickedRow;  // -1: none
    const char* states;
  };
  const Case cases[] = {
      {"no rows", {}, -1, "00000"},
      {"rows, none ticked", {"a.htm", "b.htm"}, -1, "00111"},
      {"one row ticked", {"a.htm", "b.htm"}, 1, "11111"},
  };
  for (const Case& c : cases) {
    TempDir folder;
    for (const std::string& name : c.files) WriteFile(folder.File(name), "<p>");
    TVKMainSetup setup;
    setup.treeRoot = QString::fromStdString(folder.Path());
    TVKMain window(setup);
    window.show();
    if (c.tickedRow >= 0) FileList(window)->SetTicked(c.tickedRow, true);
    EXPECT_EQ(CommandStates(window), c.states) << c.what;
  }
}

TEST_F(MainWindowTest, SelectionCommandsChangeTicksButNotTheHighlight) {
  File("a.htm");
  File("b.htm");
  File("c.htm");
  auto window = ShowWindow();
  ShellListView* list = FileList(*window);
  ASSERT_EQ(list->RowCount(), 3);
  list->setCurrentItem(list->topLevelItem(1));
  auto ticks = [list] {
    std::string t;
    for (int row = 0; row < list->RowCount(); ++row) t += list->Ticked(row) ? 'x' : '-';
    return t;
  };
  Action(*window, "SelAllBtn")->trigger();
  EXPECT_EQ(ticks(), "xxx");
  EXPECT_EQ(CommandStates(*window), "11111");
  Action(*window, "SelNoneBtn")->trigger();
  EXPECT_EQ(ticks(), "---");
  EXPECT_EQ(CommandStates(*window), "00111");
  list->SetTicked(0, true);
  list->SetTicked(2, true);
  Action(*window, "SelReverseBtn")->trigger();
  EXPECT_EQ(ticks(), "-x-");
  EXPECT_EQ(CommandStates(*window), "11111");
  EXPECT_EQ(list->FirstSelectedRow(), 1);
  EXPECT_EQ(list->selectedItems().size(), 1);
}

TEST_F(MainWindowTest, TheToggleRebuildsTheListUntickedEveryTime) {
  File("a.htm");
  Folder("sub/.hidden");
  File("sub/b.htm");
  File("sub/.hidden/c.htm");
  auto window = ShowWindow();
  const std::string root = root_.Path();
  QAction* toggle = Action(*window, "UPdirchkbox");
  FileList(*window)->SetTicked(0, true);

  toggle->trigger();
  EXPECT_TRUE(toggle->isChecked());
  EXPECT_EQ(ListLines(*window),
            (Lines{"-|a.htm|3 Byte|" + root, "-|b.htm|3 Byte|" + root + "/sub"}));
  EXPECT_EQ(window->StatusText(), QStringLiteral("2 Datei(en)"));
  EXPECT_EQ(CommandStates(*window), "00111");

  FileList(*window)->SetTicked(1, true);
  toggle->trigger();
  EXPECT_FALSE(toggle->isChecked());
  EXPECT_EQ(ListLines(*window), (Lines{"-|a.htm|3 Byte|" + root}));
  EXPECT_EQ(window->StatusText(), QStringLiteral("1 Datei(en)"));
  EXPECT_EQ(CommandStates(*window), "00111");
}

TEST_F(MainWindowTest, ChoosingAFolderInTheTreeListsItUnticked) {
  File("a.htm");
  Folder("x");
  File("x/p.htm", "1234");
  auto window = ShowWindow();
  FileList(*window)->SetTicked(0, true);
  Tree(*window)->SelectPath(Bytes("x"));
  EXPECT_EQ(ListLines(*window), (Lines{"-|p.htm|4 Byte|" + root_.Path() + "/x"}));
  EXPECT_EQ(window->StatusText(), QStringLiteral("1 Datei(en)"));
  EXPECT_EQ(CommandStates(*window), "00111");
}

TEST_F(MainWindowTest, CommandLineFileIsAppendedTickedBehindTheRootListing) {
  File("a.htm");
  Folder("x");
  File("x/page.htm", "12");
  auto window = ShowWindow({At("x/page.htm")});
  const std::string root = root_.Path();
  EXPECT_EQ(ListLines(*window),
            (Lines{"-|a.htm|3 Byte|" + root, "x|page.htm|2 Byte|" + root + "/x"}));
  EXPECT_EQ(Tree(*window)->SelectedPath(), QByteArray::fromStdString(root));
  EXPECT_EQ(CommandStates(*window), "11111");
  EXPECT_TRUE(boxes_.errors.isEmpty());
}

TEST_F(MainWindowTest, CommandLineFolderIsSelectedInTheTreeAndListedTicked) {
  File("a.htm");
  Folder("x/y/z");
  File("x/y/p.htm");
  File("x/y/z/q.htm");
  auto window = ShowWindow({At("x/y")});
  const std::string folder = root_.Path() + "/x/y";
  EXPECT_EQ(Tree(*window)->SelectedPath(), QByteArray::fromStdString(folder));
  EXPECT_EQ(ListLines(*window), (Lines{"x|p.htm|3 Byte|" + folder}));
  EXPECT_EQ(QDir::currentPath(), QString::fromStdString(folder));  // stays the current folder
  EXPECT_EQ(window->StatusText(), QStringLiteral("1 Datei(en)"));
  EXPECT_EQ(CommandStates(*window), "11111");
}

TEST_F(MainWindowTest, CommandLineTextFileIsListedLikeAPage) {
  File("notes.txt", "abcdef");
  auto window = ShowWindow({At("notes.txt")});
  EXPECT_EQ(ListLines(*window), (Lines{"x|notes.txt|6 Byte|" + root_.Path()}));
  EXPECT_TRUE(boxes_.errors.isEmpty());
}

TEST_F(MainWindowTest, CommandLineMissingPathShowsTheMessageAndStartsNormally) {
  File("a.htm");
  // Only the first argument counts; the existing file behind it is ignored.
  auto window = ShowWindow({At("missing"), At("a.htm")});
  EXPECT_EQ(boxes_.errors,
            QStringList{QStringLiteral("Der Parameter ist keine Datei und kein Ordner!")});
  EXPECT_EQ(ListLines(*window), (Lines{"-|a.htm|3 Byte|" + root_.Path()}));
  EXPECT_EQ(CommandStates(*window), "00111");
}

TEST_F(MainWindowTest, OptionsAreWrittenAtCloseAndReadAtTheNextStart) {
  {
    auto window = ShowWindow();
    QAction* bak = Action(*window, "BakBtn");
    QAction* meta = Action(*window, "MetaTagBtn");
    auto* box = window->findChild<QComboBox*>(QStringLiteral("OptCB"));
    EXPECT_FALSE(bak->isChecked());
    EXPECT_FALSE(meta->isChecked());
    EXPECT_EQ(box->currentIndex(), 0);
    bak->trigger();
    box->setCurrentIndex(3);
    window->close();
    EXPECT_EQ(SettingsFile(),
              "[Options]\r\nCreateBak=1\r\nIgnoreMetaTags=0\r\nOptCB.ItemIndex=3\r\n");
  }
  auto again = ShowWindow();
  EXPECT_TRUE(Action(*again, "BakBtn")->isChecked());
  EXPECT_FALSE(Action(*again, "MetaTagBtn")->isChecked());
  EXPECT_EQ(again->findChild<QComboBox*>(QStringLiteral("OptCB"))->currentIndex(), 3);
  for (QAction* entry : Menu(*again, "Bearbeiten1")->actions()) EXPECT_FALSE(entry->isChecked());
}

TEST_F(MainWindowTest, StoredOptionsOutsideTheRangeSelectTheFirstOperation) {
  struct Case {
    std::string stored;
    int index;
    bool bak;
    bool meta;
  };
  const Case cases[] = {
      {"[Options]\r\nCreateBak=0\r\nIgnoreMetaTags=1\r\nOptCB.ItemIndex=6\r\n", 6, false, true},
      {"[Options]\r\nOptCB.ItemIndex=7\r\n", 0, false, false},
      {"[Options]\r\nOptCB.ItemIndex=-5\r\n", 0, false, false},
      {"[Options]\r\nOptCB.ItemIndex=-1\r\n", 0, false, false},
      {"[Options]\r\nCreateBak=1\r\nOptCB.ItemIndex=zwei\r\n", 0, true, false},
      {"", 0, false, false},
  };
  for (const Case& c : cases) {
    WriteSettings(c.stored);
    auto window = MakeWindow();
    EXPECT_EQ(window->findChild<QComboBox*>(QStringLiteral("OptCB"))->currentIndex(), c.index)
        << c.stored;
    EXPECT_EQ(Action(*window, "BakBtn")->isChecked(), c.bak) << c.stored;
    EXPECT_EQ(Action(*window, "MetaTagBtn")->isChecked(), c.meta) << c.stored;
  }
}

TEST_F(MainWindowTest, FileListContextMenuOpensOnlyWithASelectedRow) {
  File("a.htm");
  auto window = ShowWindow();
  ShellListView* list = FileList(*window);
  QMenu* menu = Menu(*window, "ShellLVPopupMenu");
  ASSERT_NE(menu, nullptr);
  list->clearSelection();
  RightClickInto(list);
  EXPECT_FALSE(menu->isVisible());
  list->topLevelItem(0)->setSelected(true);
  RightClickInto(list);
  EXPECT_TRUE(menu->isVisible());
  menu->hide();
  EXPECT_EQ(Captions(*menu), (QStringList{QStringLiteral("Datei im Editor (Notepad) zeigen..."),
                                          QStringLiteral("Datei im Standard-Browser zeigen")}));
}

TEST_F(MainWindowTest, ContextMenuStaysClosedOverAnEmptyList) {
  auto window = ShowWindow();
  EXPECT_FALSE(window->ShellListViewMouseDown(QPoint(10, 10)));
  EXPECT_FALSE(Menu(*window, "ShellLVPopupMenu")->isVisible());
}

TEST_F(MainWindowTest, ClicksInTheTreeAreIgnoredWhileAListingRuns) {
  File("a.htm");
  Folder("one/two");
  Folder("three");
  auto window = ShowWindow();
  TMyShellTreeView* tree = Tree(*window);
  QTreeWidgetItem* other = tree->topLevelItem(0)->child(0);
  ASSERT_NE(other, nullptr);
  ASSERT_NE(tree->currentItem(), other);
  // The click waits in the queue and reaches the tree while the walk lets events through.
  const QPoint where = tree->visualItemRect(other).center();
  QCoreApplication::postEvent(
      tree->viewport(),
      new QMouseEvent(QEvent::MouseButtonPress, where, tree->viewport()->mapToGlobal(where),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
  Action(*window, "UPdirchkbox")->trigger();  // a walk over the subfolders
  EXPECT_EQ(tree->currentItem(), tree->topLevelItem(0));
  EXPECT_EQ(ListLines(*window), (Lines{"-|a.htm|3 Byte|" + root_.Path()}));
}

}  // namespace
}  // namespace vk::test
