// The main window's use of the list editor, the about dialog and the window placement.
#include <gtest/gtest.h>

#include <QAction>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>

#include "main_window_support.h"
#include "modal_support.h"
#include "ui/about_dlg.h"
#include "ui/html_tag_dlg.h"
#include "ui/vk_main.h"

namespace vk {
namespace {

using test::WhenModal;

class MainWindowDialogsTest : public test::MainWindowTest {};

TEST_F(MainWindowDialogsTest, PlacementIsSavedWhenDestroyedAndRestoredWhenCreated) {
  {
    auto window = MakeWindow();
    window->move(40, 30);
    window->resize(700, 500);
  }
  EXPECT_NE(SettingsFile().find("[VelkaroWindowPosition]\r\nShowCmd=0\r\nTop=30\r\nLeft=40\r\n"
                                "Width=700\r\nHeight=500\r\nMonitor=0\r\n"),
            std::string::npos)
      << SettingsFile();
  {
    auto window = MakeWindow();
    EXPECT_EQ(window->size(), QSize(700, 500));
    EXPECT_EQ(window->pos(), QPoint(40, 30));
    EXPECT_FALSE(window->isMaximized());
    window->setWindowState(Qt::WindowMaximized);
  }
  EXPECT_NE(SettingsFile().find("[VelkaroWindowPosition]\r\nShowCmd=1\r\nTop=30\r\nLeft=40\r\n"
                                "Width=700\r\nHeight=500\r\nMonitor=0\r\n"),
            std::string::npos)
      << SettingsFile();
  auto window = MakeWindow();
  EXPECT_TRUE(window->windowState() & Qt::WindowMaximized);
  EXPECT_EQ(window->size(), QSize(700, 500));
}

TEST_F(MainWindowDialogsTest, TheMenuEntryEditsTheListInTheWindowsSettingsFile) {
  WriteSettings(
      "[Find HTML Code]\r\n4=<u>\r\n2=<b>\r\n[Replace HTML Code]\r\n4=(leer)\r\n"
      "2=<strong>\r\n");
  auto window = MakeWindow();
  bool shown = false;
  WhenModal<THTMLTagDlg>([&](THTMLTagDlg* dlg) {
    shown = true;
    EXPECT_EQ(dlg->parentWidget(), window.get());
    EXPECT_EQ(dlg->Rows(),
              (std::vector<std::pair<QString, QString>>{{"<b>", "<strong>"}, {"<u>", ""}}));
    QTest::mouseClick(dlg->OKBtn(), Qt::LeftButton);
  });
  window->findChild<QAction*>("HTMLTagsbearbeiten1")->trigger();
  EXPECT_TRUE(shown);
  EXPECT_NE(SettingsFile().find("[Find HTML Code]\r\n0=<b>\r\n1=<u>\r\n[Replace HTML Code]\r\n"
                                "0=<strong>\r\n1=(leer)\r\n"),
            std::string::npos)
      << SettingsFile();
  EXPECT_TRUE(boxes_.errors.isEmpty());
}

TEST_F(MainWindowDialogsTest, InfoShowsTheAboutDialogOnItsVersionPage) {
  auto window = MakeWindow();
  bool shown = false;
  WhenModal<TAboutDlg>([&](TAboutDlg* dlg) {
    shown = true;
    EXPECT_EQ(dlg->parentWidget(), window.get());
    EXPECT_EQ(dlg->windowTitle(), "Über Velkaro");
    EXPECT_EQ(dlg->Pages()->currentIndex(), 0);
    QTest::mouseClick(dlg->CloseBtn(), Qt::LeftButton);
  });
  window->findChild<QAction*>("Info1")->trigger();
  EXPECT_TRUE(shown);
  EXPECT_EQ(window->findChild<TAboutDlg*>(), nullptr);  // destroyed when closed
}

}  // namespace
}  // namespace vk
