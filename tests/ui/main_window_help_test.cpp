// The help page, the maker's program page, closing, and the program's error display.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "main_window_support.h"
#include "ui/shell_list_view.h"
#include "ui/vk_main.h"

namespace vk::test {
namespace {

class HelpTest : public MainWindowTest {
 protected:
  std::unique_ptr<TVKMain> WindowWithFolders() {
    TVKMainSetup setup;
    setup.treeRoot = QString::fromStdString(root_.Path());
    setup.programFolder = QString::fromStdString(program_.Path());
    setup.dataFolder = QString::fromStdString(data_.Path());
    auto window = std::make_unique<TVKMain>(setup);
    window->show();
    return window;
  }

  void Help(TVKMain& window) {
    window.findChild<QAction*>(QStringLiteral("WienutzeichdasProgramm1"))->trigger();
  }

  TempDir program_;
  TempDir data_;
};

TEST_F(HelpTest, HelpPageBesideTheProgramIsOpened) {
  WriteFile(program_.File("vkreadme.htm"), "<html></html>");
  WriteFile(data_.File("vkreadme.htm"), "<html></html>");
  auto window = WindowWithFolders();
  Help(*window);
  ASSERT_EQ(launcher_.urls.size(), 1u);
  EXPECT_EQ(launcher_.urls[0],
            QUrl::fromLocalFile(QString::fromStdString(program_.File("vkreadme.htm"))));
  EXPECT_TRUE(boxes_.errors.isEmpty());
}

TEST_F(HelpTest, HelpPageOfTheInstalledDataFolderIsTheFallback) {
  WriteFile(data_.File("vkreadme.htm"), "<html></html>");
  auto window = WindowWithFolders();
  Help(*window);
  ASSERT_EQ(launcher_.urls.size(), 1u);
  EXPECT_EQ(launcher_.urls[0],
            QUrl::fromLocalFile(QString::fromStdString(data_.File("vkreadme.htm"))));
  EXPECT_TRUE(boxes_.errors.isEmpty());
}

TEST_F(HelpTest, MissingHelpPageGivesTheMessageWithThePlatformText) {
  auto window = WindowWithFolders();
  Help(*window);
  EXPECT_TRUE(launcher_.urls.empty());
  EXPECT_EQ(boxes_.errors,
            QStringList{QStringLiteral("Konnte ") + QString::fromStdString(program_.Path()) +
                        QStringLiteral("/vkreadme.htm nicht öffnen ") +
                        QString::fromLocal8Bit(std::strerror(ENOENT))});
}

TEST_F(HelpTest, HelpPageWithoutAnApplicationToShowIt) {
  WriteFile(program_.File("vkreadme.htm"), "<html></html>");
  launcher_.openResult = false;
  auto window = WindowWithFolders();
  Help(*window);
  EXPECT_EQ(launcher_.urls.size(), 1u);
  EXPECT_EQ(boxes_.errors,
            QStringList{QStringLiteral("Konnte ") + QString::fromStdString(program_.Path()) +
                        QStringLiteral(
                            "/vkreadme.htm nicht öffnen Keine Anwendung zum Anzeigen gefunden")});
}

TEST_F(MainWindowTest, MoreProgramsOpensTheMakersPageAndReportsNothing) {
  launcher_.openResult = false;
  auto window = ShowWindow();
  window->findChild<QAction*>(QStringLiteral("MoreProgramsBtn"))->trigger();
  ASSERT_EQ(launcher_.urls.size(), 1u);
  EXPECT_EQ(launcher_.urls[0], QUrl(QStringLiteral("https://velkaro.example/programme.html")));
  EXPECT_TRUE(boxes_.errors.isEmpty());
}

TEST_F(MainWindowTest, BothCloseCommandsCloseTheWindow) {
  for (const char* name : {"ExitBtn", "Beenden1"}) {
    auto window = ShowWindow();
    ASSERT_TRUE(window->isVisible());
    window->findChild<QAction*>(QLatin1String(name))->trigger();
    EXPECT_FALSE(window->isVisible()) << name;
    EXPECT_NE(SettingsFile().find("[Options]\r\n"), std::string::npos) << name;
  }
}

// Raises whatever it is sent, as a handler with a failure would.
class FailingReceiver : public QObject {
 public:
  bool event(QEvent* event) override {
    if (event->type() == QEvent::User)
      throw std::runtime_error("In /x/Velkaro.ini kann nicht geschrieben werden");
    return QObject::event(event);
  }
};

TEST_F(MainWindowTest, AnEscapedErrorIsShownAndTheWindowStaysUsable) {
  File("a.htm");
  auto window = ShowWindow();
  EXPECT_EQ(QApplication::applicationName(), QStringLiteral("Velkaro"));
  FailingReceiver receiver;
  QEvent failing(QEvent::User);
  QApplication::sendEvent(&receiver, &failing);
  EXPECT_EQ(boxes_.errors,
            QStringList{QStringLiteral("In /x/Velkaro.ini kann nicht geschrieben werden")});
  // The window goes on working.
  window->findChild<QAction*>(QStringLiteral("SelAllBtn"))->trigger();
  EXPECT_TRUE(FileList(*window)->Ticked(0));
  EXPECT_TRUE(window->findChild<QAction*>(QStringLiteral("StartBtn"))->isEnabled());
}

}  // namespace
}  // namespace vk::test
