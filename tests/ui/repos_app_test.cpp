#include "ui/repos_app.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include "support/test_support.h"

namespace vk {
namespace {

void EnsureApp() {
  if (QApplication::instance()) return;
  static int argc = 1;
  static char name[] = "repos_app_test";
  static char* argv[] = {name, nullptr};
  new QApplication(argc, argv);
}

class RePosAppTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureApp();
    window_.resize(200, 100);
    repos_.SetSectionName("VelkaroWindowPosition");
    repos_.SetAllowMaximized(true);
    repos_.SetInifileName(path_);
  }

  bool app_ = (EnsureApp(), true);  // before the widget, when the test runs alone
  test::TempDir dir_;
  std::string path_ = dir_.File("Velkaro.ini");
  QWidget window_;
  TRePosApp repos_{&window_};
};

TEST(RePosAppDefaults, AreThoseOfTheComponent) {
  EnsureApp();
  QWidget window;
  TRePosApp repos(&window);
  EXPECT_EQ(repos.LeftName(), "Left");
  EXPECT_EQ(repos.TopName(), "Top");
  EXPECT_EQ(repos.WidthName(), "Width");
  EXPECT_EQ(repos.HeightName(), "Height");
  EXPECT_EQ(repos.WindowStateName(), "ShowCmd");
  EXPECT_EQ(repos.SectionName(), "WindowPosition");
  EXPECT_EQ(repos.InifileName(), "");
  EXPECT_FALSE(repos.AllowMaximized());
  EXPECT_EQ(repos.Monitor(), TReposMonitor::rposPrimary);
  EXPECT_EQ(repos.parent(), &window);
}

TEST(RePosAppDefaults, TheMainWindowsComponentUsesItsSectionAndAllowsMaximized) {
  EnsureApp();
  QWidget window;
  TRePosApp* repos = MainWindowRePosApp(&window);
  EXPECT_EQ(repos->SectionName(), "VelkaroWindowPosition");
  EXPECT_TRUE(repos->AllowMaximized());
  EXPECT_EQ(repos->LeftName(), "Left");
  EXPECT_EQ(repos->parent(), &window);
  EXPECT_EQ(MainWindowRePosApp(&window), repos);
}

TEST_F(RePosAppTest, RestoresEdgesSizeAndMaximizedFromTheFile) {
  test::WriteFile(path_,
                  "[VelkaroWindowPosition]\r\nShowCmd=1\r\nTop=40\r\nLeft=30\r\nWidth=300\r\n"
                  "Height=250\r\nMonitor=0\r\n");
  repos_.RestorePlacement(true);
  EXPECT_EQ(window_.pos(), QPoint(30, 40));
  EXPECT_EQ(window_.size(), QSize(300, 250));
  EXPECT_TRUE(window_.windowState() & Qt::WindowMaximized);
  EXPECT_EQ(repos_.Monitor(), TReposMonitor::rposPrimary);
}

TEST_F(RePosAppTest, MaximizedOnlyWhenAllowed) {
  test::WriteFile(path_,
                  "[VelkaroWindowPosition]\r\nShowCmd=1\r\nTop=40\r\nLeft=30\r\nWidth=300\r\n"
                  "Height=250\r\n");
  repos_.SetAllowMaximized(false);
  repos_.RestorePlacement(true);
  EXPECT_FALSE(window_.windowState() & Qt::WindowMaximized);
  EXPECT_EQ(window_.size(), QSize(300, 250));
}

TEST_F(RePosAppTest, CentresOnThePrimaryScreenWhenNothingIsStored) {
  window_.move(3, 4);
  repos_.RestorePlacement(true);
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  EXPECT_EQ(window_.pos(), QPoint(screen.x() + (screen.width() - 200) / 2,
                                  screen.y() + (screen.height() - 100) / 2));
  EXPECT_EQ(window_.size(), QSize(200, 100));
  EXPECT_FALSE(window_.windowState() & Qt::WindowMaximized);
}

TEST_F(RePosAppTest, AFixedSizeWindowKeepsItsSize) {
  window_.setFixedSize(200, 100);
  test::WriteFile(path_,
                  "[VelkaroWindowPosition]\r\nTop=10\r\nLeft=20\r\nWidth=300\r\nHeight=250\r\n");
  repos_.RestorePlacement(true);
  EXPECT_EQ(window_.pos(), QPoint(20, 10));
  EXPECT_EQ(window_.size(), QSize(200, 100));
}

TEST_F(RePosAppTest, SavesTheWindowAndOnlyTheStateWhenMaximized) {
  window_.move(12, 34);
  window_.resize(640, 480);
  repos_.SavePlacement(true);
  const std::string normal =
      "[VelkaroWindowPosition]\r\nShowCmd=0\r\nTop=34\r\nLeft=12\r\nWidth=640\r\n"
      "Height=480\r\nMonitor=0\r\n";
  EXPECT_EQ(test::ReadFile(path_), normal);

  window_.setWindowState(Qt::WindowMaximized);
  repos_.SavePlacement(true);
  EXPECT_EQ(test::ReadFile(path_),
            "[VelkaroWindowPosition]\r\nShowCmd=1\r\nTop=34\r\nLeft=12\r\nWidth=640\r\n"
            "Height=480\r\nMonitor=0\r\n");

  repos_.SetAllowMaximized(false);
  test::WriteFile(path_, normal);
  repos_.SavePlacement(true);
  EXPECT_EQ(test::ReadFile(path_), normal);

  window_.setWindowState(Qt::WindowMinimized);
  repos_.SetAllowMaximized(true);
  repos_.SavePlacement(true);
  EXPECT_EQ(test::ReadFile(path_), normal);
}

TEST_F(RePosAppTest, UsesItsKeyNames) {
  repos_.SetSectionName("Pos");
  repos_.SetLeftName("X");
  repos_.SetTopName("Y");
  repos_.SetWidthName("W");
  repos_.SetHeightName("H");
  repos_.SetWindowStateName("State");
  window_.move(1, 2);
  window_.resize(300, 200);
  repos_.SavePlacement(true);
  EXPECT_EQ(test::ReadFile(path_),
            "[Pos]\r\nState=0\r\nY=2\r\nX=1\r\nW=300\r\nH=200\r\nMonitor=0\r\n");
  window_.resize(10, 10);
  repos_.RestorePlacement(true);
  EXPECT_EQ(window_.size(), QSize(300, 200));
}

TEST_F(RePosAppTest, AnEmptyFileNameBecomesTheProgramsIni) {
  repos_.SetInifileName("");
  repos_.RestorePlacement(true);
  EXPECT_EQ(QString::fromStdString(repos_.InifileName()),
            QCoreApplication::applicationDirPath() + "/ui_tests.ini");
}

TEST_F(RePosAppTest, CentringKeepsTheSize) {
  window_.move(0, 0);
  window_.resize(300, 200);
  CentreOnPrimaryScreen(&window_);
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  EXPECT_EQ(window_.pos(), QPoint(std::max(screen.x() + (screen.width() - 300) / 2, 0),
                                  std::max(screen.y() + (screen.height() - 200) / 2, 0)));
  EXPECT_EQ(window_.size(), QSize(300, 200));
}

}  // namespace
}  // namespace vk
