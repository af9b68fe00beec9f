// Viewing files from the two lists: which program gets which single argument, and which file
// the default application is asked to open.
#include <gtest/gtest.h>

#include <QAction>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTest>
#include <filesystem>

#include "main_window_support.h"
#include "modal_support.h"
#include "ui/diff_dlg.h"
#include "ui/diff_view.h"
#include "ui/my_shell_tree_view.h"
#include "ui/results_view.h"
#include "ui/shell_list_view.h"
#include "ui/vk_main.h"

namespace vk::test {
namespace {

class ViewTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    // Nothing of this machine's desktop decides which editor is found.
    std::filesystem::create_directories(desktop_.File("bin"));
    std::filesystem::create_directories(desktop_.File("none"));
    std::filesystem::create_directories(desktop_.File("data/applications"));
    env_.emplace_back(std::make_unique<ScopedEnv>("XDG_DATA_HOME", desktop_.File("data")));
    env_.emplace_back(std::make_unique<ScopedEnv>("XDG_DATA_DIRS", desktop_.File("none")));
    env_.emplace_back(std::make_unique<ScopedEnv>("XDG_CONFIG_DIRS", desktop_.File("none")));
    env_.emplace_back(std::make_unique<ScopedEnv>("PATH", desktop_.File("bin")));
    Folder("my web");
    File("my web/a.htm", "<p>a</p>");
    File("my web/it's \"b\".htm", "<p>b</p>");
    File("my web/c.htm", "<p>c</p>");
    window_ = ShowWindow();
    DropFiles(*window_, {At("my web/a.htm"), At("my web/it's \"b\".htm"), At("my web/c.htm")});
    list_ = FileList(*window_);
  }

  void Program(const std::string& name) {
    const std::string path = desktop_.File("bin/" + name);
    WriteFile(path, "#!/bin/sh\n");
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
  }

  void Trigger(const char* name) { window_->findChild<QAction*>(QLatin1String(name))->trigger(); }

  QUrl FileUrl(const std::string& name) const { return QUrl::fromLocalFile(At("my web/" + name)); }

  TempDir desktop_;
  std::vector<std::unique_ptr<ScopedEnv>> env_;
  std::unique_ptr<TVKMain> window_;
  ShellListView* list_ = nullptr;
};

TEST_F(ViewTest, EditorOfTheDesktopGetsTheFirstSelectedRowAsOneArgument) {
  WriteFile(config_.File("mimeapps.list"),
            "[Added Associations]\ntext/plain=other.desktop\n"
            "[Default Applications]\ntext/html=browser.desktop\ntext/plain=vk-editor.desktop;\n");
  WriteFile(desktop_.File("data/applications/vk-editor.desktop"),
            "[Desktop Entry]\nType=Application\nName=Editor\nExec=" +
                desktop_.File("bin/vk-editor") + " %F\n");
  Program("vk-editor");
  Program("gedit");
  list_->topLevelItem(2)->setSelected(true);
  list_->topLevelItem(1)->setSelected(true);
  Trigger("DateiimEditorzeigen1");
  ASSERT_EQ(launcher_.starts.size(), 1u);
  EXPECT_EQ(launcher_.starts[0].first, QString::fromStdString(desktop_.File("bin/vk-editor")));
  EXPECT_EQ(launcher_.starts[0].second, QList<QByteArray>{Bytes("my web/it's \"b\".htm")});
  EXPECT_TRUE(launcher_.urls.empty());
}

TEST_F(ViewTest, WithoutADefaultTheFirstUsualEditorInThePathIsStarted) {
  Program("xed");
  Program("kate");
  list_->topLevelItem(0)->setSelected(true);
  Trigger("DateiimEditorzeigen1");
  ASSERT_EQ(launcher_.starts.size(), 1u);
  EXPECT_EQ(launcher_.starts[0].first, QString::fromStdString(desktop_.File("bin/kate")));
  EXPECT_EQ(launcher_.starts[0].second, QList<QByteArray>{Bytes("my web/a.htm")});
}

TEST_F(ViewTest, WithoutAnyEditorTheFilesOwnApplicationShowsIt) {
  list_->topLevelItem(0)->setSelected(true);
  Trigger("DateiimEditorzeigen1");
  EXPECT_TRUE(launcher_.starts.empty());
  EXPECT_EQ(launcher_.urls, std::vector<QUrl>{FileUrl("a.htm")});
}

TEST_F(ViewTest, BrowserItemOpensTheFirstSelectedRowAndNothingWithoutSelection) {
  Trigger("DateiimStandardBrowserzeigen1");
  Trigger("DateiimEditorzeigen1");
  EXPECT_TRUE(launcher_.urls.empty());
  EXPECT_TRUE(launcher_.starts.empty());
  list_->topLevelItem(2)->setSelected(true);
  list_->topLevelItem(0)->setSelected(true);
  list_->topLevelItem(1)->setSelected(true);
  Trigger("DateiimStandardBrowserzeigen1");
  EXPECT_EQ(launcher_.urls, std::vector<QUrl>{FileUrl("a.htm")});
}

TEST_F(ViewTest, ResultRowsOpenTheirFileAndSumsRowsOpenNothing) {
  window_->RunOperation(2);
  ResultsView* results = Results(*window_);
  ASSERT_EQ(results->RowCount(), 5);
  // The list shows another folder now; the rows still know their files.
  window_->findChild<TMyShellTreeView*>(QStringLiteral("ShellTreeView"))
      ->SelectPath(Bytes("my web"));
  results->setCurrentItem(results->topLevelItem(1));
  Trigger("MenuItem1");  // by the file's type, not the editor
  Trigger("BrowserBtn");
  EXPECT_EQ(launcher_.urls,
            (std::vector<QUrl>{FileUrl("it's \"b\".htm"), FileUrl("it's \"b\".htm")}));
  EXPECT_TRUE(launcher_.starts.empty());

  launcher_.urls.clear();
  for (int sums : {3, 4}) {
    results->setCurrentItem(results->topLevelItem(sums));
    Trigger("MenuItem1");
    Trigger("BrowserBtn");
    window_->LVDblClick();
  }
  EXPECT_TRUE(launcher_.urls.empty());
}

TEST_F(ViewTest, DoubleClickOnAResultRowOpensItsFile) {
  window_->RunOperation(2);
  ResultsView* results = Results(*window_);
  QCoreApplication::processEvents();  // the list lays out its new rows
  const QPoint where = results->visualItemRect(results->topLevelItem(2)).center();
  ASSERT_GT(where.y(), 0);
  // What the window system delivers: press, release, double-click, release.
  QTest::mouseClick(results->viewport(), Qt::LeftButton, Qt::NoModifier, where);
  QTest::mouseEvent(QTest::MouseDClick, results->viewport(), Qt::LeftButton, Qt::NoModifier, where);
  EXPECT_EQ(launcher_.urls, std::vector<QUrl>{FileUrl("c.htm")});
}

TEST_F(ViewTest, ChangesEntryShowsTheRowsOldAndNewText) {
  File("my web/c.htm", "<p>c</p>\r\n\r\n   <p>d</p>");
  window_->RunOperation(2);
  ResultsView* results = Results(*window_);
  results->setCurrentItem(results->topLevelItem(2));
  std::string shownOld, shownNew;
  QString title;
  WhenModal<TDiffDlg>([&](TDiffDlg* dialog) {
    title = dialog->windowTitle();
    shownOld = dialog->View()->Text(TDiffView::kOld);
    shownNew = dialog->View()->Text(TDiffView::kNew);
    dialog->reject();
  });
  Trigger("AenderungenAnzeigen1");
  EXPECT_EQ(title, QStringLiteral("Änderungen: c.htm"));
  EXPECT_EQ(shownOld, "<p>c</p>\r\n\r\n   <p>d</p>");
  EXPECT_EQ(shownNew, ReadFile(root_.Path() + "/my web/c.htm"));
  EXPECT_NE(shownNew, shownOld);
  EXPECT_TRUE(launcher_.urls.empty());
}

TEST_F(ViewTest, ResultsContextMenuOpensOnlyWithASelectedRow) {
  ResultsView* results = Results(*window_);
  QMenu* menu = window_->findChild<QMenu*>(QStringLiteral("LVPopupMenu"));
  ASSERT_NE(menu, nullptr);
  RightClickInto(results);  // no rows yet
  EXPECT_FALSE(menu->isVisible());
  window_->RunOperation(2);
  results->clearSelection();
  RightClickInto(results);
  EXPECT_FALSE(menu->isVisible());
  results->topLevelItem(3)->setSelected(
      true);  // the sums row: the menu opens, its items do nothing
  RightClickInto(results);
  EXPECT_TRUE(menu->isVisible());
  menu->hide();
  EXPECT_EQ(Captions(*menu), (QStringList{QStringLiteral("Datei im Editor (Notepad) zeigen..."),
                                          QStringLiteral("Datei im Standard-Browser zeigen"),
                                          QString(), QStringLiteral("Änderungen anzeigen")}));
}

}  // namespace
}  // namespace vk::test
