// "Letzten Lauf rückgängig machen" from the Edit menu: enabled only while a run is left to undo,
// asks first naming the run, restores its pages with a row each and leaves a page edited since
// with its message; a run whose pages may not all be kept asks before it starts.
#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QAction>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <string>
#include <vector>

#include "main_window_support.h"
#include "ui/results_view.h"
#include "ui/vk_main.h"

namespace vk::test {
namespace {

using Lines = std::vector<std::string>;

class UndoTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    Folder("web");
    // Replacing "zz" by nothing shrinks a.htm and b.htm; c.htm stays as it is.
    WriteSettings("[Find HTML Code]\r\n0=zz\r\n[Replace HTML Code]\r\n0=(leer)\r\n");
    File("web/a.htm", std::string(900, 'a') + std::string(100, 'z'));
    File("web/b.htm", std::string(1800, 'b') + std::string(200, 'z'));
    File("web/c.htm", "c");
  }

  void OpenWindow() {
    window_ = ShowWindow();
    DropFiles(*window_, {At("web/a.htm"), At("web/b.htm"), At("web/c.htm")});
  }

  std::string Web(const char* name) const { return root_.Path() + "/web/" + name; }
  // `count` pages of "xzz" (web/q1000.htm on), dropped on a new window and run through the
  // replacement, which leaves "x"; their paths.
  std::vector<std::string> RunOverPages(int count) {
    std::vector<std::string> pages;
    QStringList dropped;
    for (int i = 0; i < count; ++i) {
      const std::string name = "web/q" + std::to_string(1000 + i) + ".htm";
      File(name, "xzz");
      pages.push_back(root_.File(name));
      dropped << At(name);
    }
    window_ = ShowWindow();
    DropFiles(*window_, dropped);
    window_->RunOperation(0);
    return pages;
  }
  QAction* Undo() {
    return window_->findChild<QAction*>(QStringLiteral("LetztenLaufRueckgaengig1"));
  }

  std::unique_ptr<TVKMain> window_;
};

TEST_F(UndoTest, RestoresTheRunsPagesAndLeavesAPageEditedSince) {
  OpenWindow();
  ASSERT_NE(Undo(), nullptr);
  EXPECT_FALSE(Undo()->isEnabled());  // nothing run yet
  window_->RunOperation(0);
  ASSERT_EQ(ReadFile(Web("a.htm")), std::string(900, 'a'));
  EXPECT_TRUE(Undo()->isEnabled());
  WriteFile(Web("b.htm"), "von Hand ge\xC3\xA4ndert");

  boxes_.answers = {false};  // Nein: nothing happens
  Undo()->trigger();
  EXPECT_EQ(ReadFile(Web("a.htm")), std::string(900, 'a'));
  ASSERT_EQ(boxes_.questions.size(), 1);
  // The question names the run: its time, its operation and the pages it changed.
  EXPECT_TRUE(boxes_.questions[0].contains(QRegularExpression(
      "^Den Lauf vom \\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d:\\d\\d, HTML-Code in Dateien "
      "ersetzen, 2 Datei\\(en\\) rückgängig machen\\?$")))
      << boxes_.questions[0].toStdString();

  boxes_.answers = {true};
  boxes_.informations.clear();
  Undo()->trigger();
  EXPECT_EQ(ReadFile(Web("a.htm")), std::string(900, 'a') + std::string(100, 'z'));
  EXPECT_EQ(ReadFile(Web("b.htm")), "von Hand ge\xC3\xA4ndert");
  EXPECT_EQ(ReadFile(Web("c.htm")), "c");
  EXPECT_EQ(boxes_.errors, QStringList{QString::fromStdString(
                               "Die Datei " + Web("b.htm") +
                               " wurde nach dem Lauf geändert und wird nicht wiederhergestellt!")});
  // Backwards through the run: b.htm (left, its size as it is now), then a.htm (restored).
  EXPECT_EQ(ResultLines(*window_),
            (Lines{"b.htm|18 Byte|18 Byte|0||", "a.htm|900 Byte|1.000 Byte|-11||",
                   "**Summen**|||||", "2 Datei(en)|918 Byte|1.018 Byte|-10||"}));
  EXPECT_EQ(boxes_.informations, QStringList{QStringLiteral("Aktion abgeschlossen!")});
  // The run counts as undone: nothing older is left.
  EXPECT_FALSE(Undo()->isEnabled());
}

// Many pages changed since the run: their messages come in one box, the first ten of them and
// how many more, not in a box each.
TEST_F(UndoTest, ThePagesLeftAreNamedInOneBox) {
  const std::vector<std::string> pages = RunOverPages(13);
  for (const std::string& page : pages) WriteFile(page, "y");
  boxes_.answers = {true};
  boxes_.errors.clear();
  Undo()->trigger();
  ASSERT_EQ(boxes_.errors.size(), 1);
  const QStringList lines = boxes_.errors[0].split(QLatin1Char('\n'));
  ASSERT_EQ(lines.size(), 11);
  // Backwards through the run: the last page first.
  EXPECT_EQ(lines[0].toStdString(), "Die Datei " + pages.back() +
                                        " wurde nach dem Lauf geändert und wird nicht "
                                        "wiederhergestellt!");
  EXPECT_EQ(lines[10], QStringLiteral("… und 3 weitere Meldung(en)."));
}

// "Abbrechen" stops an undo before its next page: the pages not reached keep what the run
// wrote, the run is still there to undo, and the next undo finishes it.
TEST_F(UndoTest, AbbrechenStopsTheUndoAndTheNextOneFinishesIt) {
  const std::vector<std::string> pages = RunOverPages(300);
  ResultsView* results = Results(*window_);
  QPushButton* cancel = window_->findChild<QPushButton*>(QStringLiteral("CancelBtn"));
  bool offered = false;
  const QMetaObject::Connection clicking =
      QObject::connect(results->model(), &QAbstractItemModel::rowsInserted, window_.get(), [&] {
        if (results->RowCount() != 1) return;
        offered = cancel->isVisible() && cancel->isEnabled();
        cancel->click();
      });
  boxes_.answers = {true};
  boxes_.informations.clear();
  Undo()->trigger();
  QObject::disconnect(clicking);
  EXPECT_TRUE(offered);
  ASSERT_EQ(boxes_.informations.size(), 1);
  EXPECT_TRUE(boxes_.informations[0].startsWith(QStringLiteral("Aktion nach ")))
      << boxes_.informations[0].toStdString();
  EXPECT_TRUE(boxes_.informations[0].endsWith(QStringLiteral(" von 300 Dateien abgebrochen!")));
  int stillNew = 0;
  for (const std::string& page : pages) stillNew += ReadFile(page) == "x";
  EXPECT_GT(stillNew, 0);
  EXPECT_LT(stillNew, 300);
  EXPECT_TRUE(Undo()->isEnabled());

  boxes_.answers = {true};
  Undo()->trigger();
  for (const std::string& page : pages) EXPECT_EQ(ReadFile(page), "xzz") << page;
  EXPECT_FALSE(Undo()->isEnabled());
}

TEST_F(UndoTest, TheEditMenuStaysOpenForUndoWithNoRowTicked) {
  OpenWindow();
  window_->RunOperation(0);
  window_->SelNoneBtnClick();
  QMenu* edit = window_->findChild<QMenu*>(QStringLiteral("Bearbeiten1"));
  EXPECT_TRUE(edit->menuAction()->isEnabled());
  EXPECT_FALSE(edit->actions()[0]->isEnabled());  // no operation without a ticked row
  EXPECT_TRUE(Undo()->isEnabled());
}

TEST_F(UndoTest, ARunWhosePagesMayNotAllBeKeptAsksFirst) {
  WriteSettings(
      "[Options]\r\nUndoKeepMB=1\r\n[Find HTML Code]\r\n0=zz\r\n[Replace HTML "
      "Code]\r\n0=(leer)\r\n");
  File("web/a.htm", std::string(2 << 20, 'a') + "zz");
  OpenWindow();
  boxes_.answers = {false};
  window_->RunOperation(0);
  ASSERT_EQ(boxes_.questions.size(), 1);
  EXPECT_TRUE(boxes_.questions[0].startsWith(
      "Dieser Lauf kann eventuell nicht vollständig rückgängig gemacht werden"))
      << boxes_.questions[0].toStdString();
  EXPECT_TRUE(boxes_.questions[0].endsWith(" Trotzdem starten?"));
  EXPECT_EQ(ReadFile(Web("a.htm")).size(), std::size_t{(2 << 20) + 2});  // Nein: no run
  EXPECT_TRUE(boxes_.informations.isEmpty());

  boxes_.answers = {true};
  window_->RunOperation(0);
  EXPECT_EQ(ReadFile(Web("a.htm")), std::string(2 << 20, 'a'));
  EXPECT_EQ(ReadFile(Web("b.htm")), std::string(1800, 'b'));
}

}  // namespace
}  // namespace vk::test
