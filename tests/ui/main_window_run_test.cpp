// Runs from the main window: the results list against the bytes on disk, the controls while a
// run lasts and after it, the Edit menu's marks, Start following the operation box, ticks
// changed during a run, backups, and closing the window during a run.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QMenu>
#include <QProgressBar>
#include <QTimer>
#include <QToolBar>
#include <filesystem>
#include <stdexcept>

#include "main_window_support.h"
#include "ui/results_view.h"
#include "ui/shell_list_view.h"
#include "ui/shell_tree_view.h"
#include "ui/vk_main.h"

namespace vk::test {
namespace {

using Lines = std::vector<std::string>;

// Every control a run switches off or leaves on, as one readable line.
std::string ControlStates(TVKMain& window) {
  auto on = [](bool enabled) { return enabled ? "1" : "0"; };
  auto action = [&](const char* name) {
    return window.findChild<QAction*>(QLatin1String(name))->isEnabled();
  };
  auto menu = [&](const char* name) {
    return window.findChild<QMenu*>(QLatin1String(name))->menuAction()->isEnabled();
  };
  std::string s;
  s += std::string("tree=") +
       on(window.findChild<QWidget*>(QStringLiteral("ShellTreeView"))->isEnabled());
  s += std::string(" list=") + on(FileList(window)->isEnabled());
  s += std::string(" toggle=") + on(action("UPdirchkbox"));
  s += std::string(" upper=") +
       on(window.findChild<QToolBar*>(QStringLiteral("ToolBar"))->isEnabled());
  s += std::string(" lower=") +
       on(window.findChild<QToolBar*>(QStringLiteral("ToolBar1"))->isEnabled());
  s += std::string(" sel=") + on(action("SelAllBtn")) + on(action("SelNoneBtn")) +
       on(action("SelReverseBtn"));
  s += std::string(" menus=") + on(menu("Datei1")) + on(menu("Bearbeiten1")) +
       on(menu("Einstellungen1")) + on(menu("Hilfe1"));
  s += std::string(" start=") + on(action("StartBtn"));
  s += std::string(" drops=") + on(window.acceptDrops());
  const QCursor* cursor = QApplication::overrideCursor();
  s += std::string(" busy=") + on(cursor != nullptr && cursor->shape() == Qt::WaitCursor);
  s += std::string(" progress=") +
       on(window.findChild<QProgressBar*>(QStringLiteral("RunProgress"))->isVisible());
  return s;
}

const char kRunning[] =
    "tree=0 list=0 toggle=0 upper=0 lower=1 sel=111 menus=0000 start=0 drops=0 busy=1 progress=1";
const char kIdle[] =
    "tree=1 list=1 toggle=1 upper=1 lower=1 sel=111 menus=1111 start=1 drops=1 busy=0 progress=0";

class RunTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    Folder("web");
    // Replacing "zz" by nothing shrinks the pages of the three-file example by a tenth.
    WriteSettings("[Find HTML Code]\r\n0=zz\r\n[Replace HTML Code]\r\n0=(leer)\r\n");
    File("web/a.htm", std::string(900, 'a') + std::string(100, 'z'));
    File("web/b.htm", std::string(1800, 'b') + std::string(200, 'z'));
    File("web/c.htm", "");
    window_ = ShowWindow();
    DropFiles(*window_, {At("web/a.htm"), At("web/b.htm"), At("web/c.htm")});
  }

  // Runs `check` at the run's first yield, with the run going on around it.
  void AtFirstYield(std::function<void()> check) {
    QTimer::singleShot(0, window_.get(), [this, check] {
      ASSERT_TRUE(window_->Running());
      check();
      ++yieldChecks_;
    });
  }

  std::string Web(const char* name) const { return root_.Path() + "/web/" + name; }
  QAction* Action(const char* name) { return window_->findChild<QAction*>(QLatin1String(name)); }
  QComboBox* Box() { return window_->findChild<QComboBox*>(QStringLiteral("OptCB")); }
  std::string Marks() {
    std::string marks;
    // The seven operations; the preview and the undo below them are no choice.
    for (QAction* entry :
         window_->findChild<QMenu*>(QStringLiteral("Bearbeiten1"))->actions().first(7)) {
      marks += entry->isChecked() ? '1' : '0';
    }
    return marks;
  }

  std::unique_ptr<TVKMain> window_;
  int yieldChecks_ = 0;
};

TEST_F(RunTest, ResultsListShowsEveryFileAndTheSumsAgainstTheBytesOnDisk) {
  ASSERT_EQ(ListLines(*window_), (Lines{"x|a.htm|1.000 Byte|" + root_.Path() + "/web",
                                        "x|b.htm|2.000 Byte|" + root_.Path() + "/web",
                                        "x|c.htm|0 Byte|" + root_.Path() + "/web"}));
  window_->RunOperation(0);
  EXPECT_EQ(ReadFile(Web("a.htm")), std::string(900, 'a'));
  EXPECT_EQ(ReadFile(Web("b.htm")), std::string(1800, 'b'));
  EXPECT_EQ(ReadFile(Web("c.htm")), "");
  EXPECT_EQ(ResultLines(*window_), (Lines{
                                       "a.htm|1.000 Byte|900 Byte|10|0|50",
                                       "b.htm|2.000 Byte|1.800 Byte|10|0|100",
                                       "c.htm|0 Byte|0 Byte|0|0|0",
                                       "**Summen**|||||",
                                       "3 Datei(en)|3.000 Byte|2.700 Byte|10|0|150",
                                   }));
  ResultsView* results = Results(*window_);
  EXPECT_EQ(results->PathOf(0), Web("a.htm"));
  EXPECT_EQ(results->PathOf(2), Web("c.htm"));
  EXPECT_EQ(results->PathOf(3), "");
  EXPECT_EQ(results->PathOf(4), "");
  EXPECT_EQ(boxes_.informations, QStringList{QStringLiteral("Aktion abgeschlossen!")});
  EXPECT_TRUE(boxes_.errors.isEmpty());
  EXPECT_EQ(window_->StatusText(), QStringLiteral("3 Datei(en)"));
  // The file list keeps what it showed before the run.
  EXPECT_EQ(ListLines(*window_)[0], "x|a.htm|1.000 Byte|" + root_.Path() + "/web");
}

TEST_F(RunTest, ControlsAreOffDuringTheRunAndBackAfterIt) {
  std::string during;
  QString status;
  int progressMaximum = -1;
  AtFirstYield([&] {
    during = ControlStates(*window_);
    status = window_->StatusText();
    progressMaximum = window_->findChild<QProgressBar*>(QStringLiteral("RunProgress"))->maximum();
  });
  window_->RunOperation(1);
  ASSERT_EQ(yieldChecks_, 1);
  EXPECT_EQ(during, kRunning);
  EXPECT_EQ(status, QStringLiteral("Datei: a.htm"));
  EXPECT_EQ(progressMaximum, 3);
  // The toggle the drop switched off is back on after the run.
  EXPECT_EQ(ControlStates(*window_), kIdle);
  EXPECT_EQ(window_->StatusText(), QStringLiteral("3 Datei(en)"));
  EXPECT_FALSE(window_->Running());
}

TEST_F(RunTest, ControlsComeBackWhenAFileFails) {
  std::filesystem::remove(Web("b.htm"));
  std::string duringError;
  boxes_.onError = [&] { duringError = ControlStates(*window_); };
  window_->RunOperation(1);
  EXPECT_FALSE(boxes_.errors.isEmpty());
  EXPECT_EQ(duringError, kRunning);
  EXPECT_EQ(ResultLines(*window_)[1], "b.htm|0 Byte|0 Byte|0|0|0");
  EXPECT_EQ(ResultLines(*window_)[4], "3 Datei(en)|999 Byte|999 Byte|0|0|0");
  EXPECT_EQ(ControlStates(*window_), kIdle);
  EXPECT_EQ(boxes_.informations, QStringList{QStringLiteral("Aktion abgeschlossen!")});
}

TEST_F(RunTest, ControlsComeBackWhenAnErrorEscapesTheRun) {
  std::filesystem::remove(Web("b.htm"));
  boxes_.onError = [] { throw std::runtime_error("abgebrochen"); };
  EXPECT_THROW(window_->RunOperation(1), std::runtime_error);
  EXPECT_EQ(ControlStates(*window_), kIdle);
  EXPECT_FALSE(window_->Running());
  EXPECT_TRUE(boxes_.informations.isEmpty());  // no completion box after a failure
  EXPECT_EQ(window_->StatusText(), QStringLiteral("3 Datei(en)"));
  // The run ended in the second file: no row for it, no sums rows.
  EXPECT_EQ(ResultLines(*window_), Lines{"a.htm|1.000 Byte|1.000 Byte|0|0|0"});
}

TEST_F(RunTest, EditMenuMarksFlipAndTheBoxStaysAsItIs) {
  Box()->setCurrentIndex(5);
  QList<QAction*> entries = window_->findChild<QMenu*>(QStringLiteral("Bearbeiten1"))->actions();
  struct Step {
    int entry;
    const char* marks;
  };
  const Step steps[] = {{2, "0010000"}, {2, "0000000"}, {2, "0010000"}, {4, "0000100"}};
  int runs = 0;
  for (const Step& step : steps) {
    entries[step.entry]->trigger();
    ++runs;
    EXPECT_EQ(Marks(), step.marks) << step.entry;
    EXPECT_EQ(boxes_.informations.size(), runs);  // every choice ran
    EXPECT_EQ(Box()->currentIndex(), 5);
  }
}

TEST_F(RunTest, StartRunsTheBoxsOperationWithoutTouchingTheMarks) {
  File("web/a.htm", "Gr\xE4n");
  window_->findChild<QMenu*>(QStringLiteral("Bearbeiten1"))->actions()[2]->trigger();
  ASSERT_EQ(Marks(), "0010000");
  Box()->setCurrentIndex(1);  // special characters
  Action("StartBtn")->trigger();
  EXPECT_EQ(ReadFile(Web("a.htm")), "Gr&auml;n");
  EXPECT_EQ(ResultLines(*window_)[0], "a.htm|4 Byte|9 Byte|-125|1|0");
  EXPECT_EQ(Marks(), "0010000");
  Box()->setCurrentIndex(0);  // replacement: "zz" removed, nothing else
  Action("StartBtn")->trigger();
  EXPECT_EQ(ResultLines(*window_)[0], "a.htm|9 Byte|9 Byte|0|0|0");
  EXPECT_EQ(ResultLines(*window_)[1], "b.htm|2.000 Byte|1.800 Byte|10|0|100");
  EXPECT_EQ(Marks(), "0010000");
}

TEST_F(RunTest, ATickChangedDuringTheRunCountsForTheRowsNotYetReached) {
  AtFirstYield([&] { Action("SelNoneBtn")->trigger(); });
  window_->RunOperation(0);
  ASSERT_EQ(yieldChecks_, 1);
  EXPECT_EQ(ResultLines(*window_), (Lines{
                                       "a.htm|1.000 Byte|900 Byte|10|0|50",
                                       "**Summen**|||||",
                                       "1 Datei(en)|1.000 Byte|900 Byte|10|0|50",
                                   }));
  EXPECT_EQ(ReadFile(Web("b.htm")).size(), 2000u);
  EXPECT_EQ(window_->StatusText(), QStringLiteral("3 Datei(en)"));
  // Nothing is ticked any more: nothing to run.
  EXPECT_FALSE(Action("StartBtn")->isEnabled());
}

TEST_F(RunTest, BackupsHoldTheFileFromBeforeTheLatestRun) {
  window_->RunOperation(0);
  EXPECT_FALSE(std::filesystem::exists(Web("a.htm.bak")));
  Action("BakBtn")->trigger();
  File("web/a.htm", "first zz");
  window_->RunOperation(0);
  EXPECT_EQ(ReadFile(Web("a.htm.bak")), "first zz");
  EXPECT_EQ(ReadFile(Web("a.htm")), "first ");
  File("web/a.htm", "second zz");
  window_->RunOperation(0);
  EXPECT_EQ(ReadFile(Web("a.htm.bak")), "second zz");
  EXPECT_EQ(ReadFile(Web("a.htm")), "second ");
}

TEST_F(RunTest, ClosingDuringARunFinishesTheFilesThenCloses) {
  AtFirstYield([&] {
    window_->close();
    EXPECT_TRUE(window_->isVisible());
  });
  window_->RunOperation(0);
  ASSERT_EQ(yieldChecks_, 1);
  EXPECT_EQ(ResultLines(*window_).size(), 5u);  // every file was done
  EXPECT_EQ(ReadFile(Web("c.htm")), "");
  EXPECT_EQ(ReadFile(Web("b.htm")), std::string(1800, 'b'));
  EXPECT_TRUE(boxes_.informations.isEmpty());  // the completion box closed by itself
  QCoreApplication::processEvents();
  EXPECT_FALSE(window_->isVisible());
  EXPECT_NE(
      SettingsFile().find("[Options]\r\nCreateBak=0\r\nIgnoreMetaTags=0\r\nOptCB.ItemIndex=0\r\n"),
      std::string::npos);
}

TEST_F(RunTest, NoSecondRunStartsInsideARun) {
  AtFirstYield([&] {
    window_->RunOperation(0);  // as a click that slipped through would
    FileList(*window_)->SetTicked(0, false);
    FileList(*window_)->SetTicked(0, true);  // a changed tick does not offer Start again
    EXPECT_FALSE(Action("StartBtn")->isEnabled());
    EXPECT_FALSE(
        window_->findChild<QMenu*>(QStringLiteral("Bearbeiten1"))->menuAction()->isEnabled());
  });
  window_->RunOperation(0);
  ASSERT_EQ(yieldChecks_, 1);
  EXPECT_EQ(boxes_.informations.size(), 1);
  EXPECT_EQ(ResultLines(*window_).size(), 5u);
}

}  // namespace
}  // namespace vk::test
