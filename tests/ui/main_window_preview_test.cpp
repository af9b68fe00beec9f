// Cancelling a run from the window and previewing one: which pages were written, the rows and
// sums over the pages done, the completion box's text, and a preview that leaves every byte and
// time stamp and shows the rows the real run then gives.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <filesystem>
#include <map>
#include <set>

#include "main_window_support.h"
#include "modal_support.h"
#include "ui/diff_dlg.h"
#include "ui/diff_view.h"
#include "ui/results_view.h"
#include "ui/shell_list_view.h"
#include "ui/vk_main.h"

namespace vk::test {
namespace {

using Lines = std::vector<std::string>;
namespace fs = std::filesystem;

// What a preview must leave as it was: the bytes, the inode and the modification and change
// times of every file in the folder, and the set of names.
struct FileState {
  std::string bytes;
  ino_t inode = 0;
  timespec modified{};
  timespec changed{};
  bool operator==(const FileState& other) const {
    return bytes == other.bytes && inode == other.inode &&
           modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec &&
           changed.tv_sec == other.changed.tv_sec && changed.tv_nsec == other.changed.tv_nsec;
  }
};

std::map<std::string, FileState> FolderState(const std::string& folder) {
  std::map<std::string, FileState> state;
  for (const auto& entry : fs::directory_iterator(folder)) {
    struct stat info {};
    EXPECT_EQ(::stat(entry.path().c_str(), &info), 0);
    state[entry.path().filename().string()] =
        FileState{ReadFile(entry.path().string()), info.st_ino, info.st_mtim, info.st_ctim};
  }
  return state;
}

class CancelPreviewTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    Folder("web");
    WriteSettings("[Find HTML Code]\r\n0=zz\r\n[Replace HTML Code]\r\n0=(leer)\r\n");
  }

  std::string Web(const std::string& name) const { return root_.Path() + "/web/" + name; }
  QAction* Action(const char* name) { return window_->findChild<QAction*>(QLatin1String(name)); }
  QPushButton* CancelButton() {
    return window_->findChild<QPushButton*>(QStringLiteral("CancelBtn"));
  }

  std::unique_ptr<TVKMain> window_;
};

// Pages of 20 bytes, each losing its "zz" to the replacement: more than two groups of pages
// committed together (one syncing while the next fills) and the pages in hand, so that the
// first rows are reported while others are not reached yet.
constexpr int kPages = 220;
const std::string kPage = std::string(18, 'a') + "zz";

std::string PageName(int i) { return "p" + std::to_string(i) + ".htm"; }

TEST_F(CancelPreviewTest, CancelStopsAfterThePagesInHandAndSumsOverThemOnly) {
  struct Case {
    int cancelAtRow;  // "Abbrechen" pressed when this many rows are in the results list
    bool preview;
  };
  const Case cases[] = {{1, false}, {3, false}, {2, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.cancelAtRow);
    QStringList paths;
    for (int i = 0; i < kPages; ++i) {
      File("web/" + PageName(i), kPage);
      paths << At("web/" + PageName(i));
    }
    window_ = ShowWindow();
    DropFiles(*window_, paths);
    boxes_.informations.clear();
    bool visibleDuringRun = false;
    ResultsView* results = Results(*window_);
    QObject::connect(results->model(), &QAbstractItemModel::rowsInserted, window_.get(), [&] {
      if (results->RowCount() != c.cancelAtRow) return;
      visibleDuringRun = CancelButton()->isVisible() && CancelButton()->isEnabled();
      CancelButton()->click();
    });
    window_->RunOperation(0, c.preview);

    EXPECT_TRUE(visibleDuringRun);
    EXPECT_FALSE(CancelButton()->isVisible());
    const Lines lines = ResultLines(*window_);
    ASSERT_GE(lines.size(), 2u);
    const int done = static_cast<int>(lines.size()) - 2;
    EXPECT_GE(done, c.cancelAtRow);
    EXPECT_LT(done, kPages);
    Lines expected;
    for (int i = 0; i < done; ++i) expected.push_back(PageName(i) + "|20 Byte|18 Byte|10|0|1");
    expected.push_back("**Summen**|||||");
    // Sizes from 1,000 bytes on are written with the thousands separator.
    const auto size = [](int bytes) {
      const std::string digits = std::to_string(bytes);
      return bytes < 1000
                 ? digits
                 : digits.substr(0, digits.size() - 3) + "." + digits.substr(digits.size() - 3);
    };
    expected.push_back(std::to_string(done) + " Datei(en)|" + size(20 * done) + " Byte|" +
                       size(18 * done) + " Byte|10|0|" + std::to_string(done));
    EXPECT_EQ(lines, expected);
    // Every page is either written whole or untouched, the rows name exactly the written ones.
    for (int i = 0; i < kPages; ++i) {
      const bool written = i < done && !c.preview;
      EXPECT_EQ(ReadFile(Web(PageName(i))), written ? kPage.substr(0, 18) : kPage) << i;
    }
    const QString box =
        c.preview
            ? QStringLiteral(
                  "Vorschau nach %1 von %2 Dateien abgebrochen! Es wurde nichts verändert.")
                  .arg(done)
                  .arg(kPages)
            : QStringLiteral("Aktion nach %1 von %2 Dateien abgebrochen!").arg(done).arg(kPages);
    EXPECT_EQ(boxes_.informations, QStringList{box});
    window_.reset();
  }
}

TEST_F(CancelPreviewTest, ARunNotCancelledEndsAsBeforeAndTheButtonIsGone) {
  File("web/a.htm", kPage);
  window_ = ShowWindow();
  DropFiles(*window_, {At("web/a.htm")});
  EXPECT_FALSE(CancelButton()->isVisible());
  window_->RunOperation(0);
  EXPECT_EQ(boxes_.informations, QStringList{QStringLiteral("Aktion abgeschlossen!")});
  EXPECT_FALSE(CancelButton()->isVisible());
  // A press after the run has no effect on the next one.
  CancelButton()->click();
  File("web/a.htm", kPage);
  window_->RunOperation(0);
  EXPECT_EQ(boxes_.informations.last(), QStringLiteral("Aktion abgeschlossen!"));
  EXPECT_EQ(ReadFile(Web("a.htm")), kPage.substr(0, 18));
}

TEST_F(CancelPreviewTest, PreviewIsEnabledExactlyWhenStartIs) {
  File("web/a.htm", kPage);
  File("web/b.htm", kPage);
  window_ = ShowWindow();
  QAction* preview = Action("VorschauBtn");
  ASSERT_NE(preview, nullptr);
  auto states = [&] {
    return std::string(Action("StartBtn")->isEnabled() ? "1" : "0") +
           (preview->isEnabled() ? "1" : "0");
  };
  EXPECT_EQ(states(), "00");  // nothing listed
  DropFiles(*window_, {At("web/a.htm"), At("web/b.htm")});
  EXPECT_EQ(states(), "11");
  window_->SelNoneBtnClick();
  EXPECT_EQ(states(), "00");
  window_->SelAllBtnClick();
  EXPECT_EQ(states(), "11");
  std::string during;
  QTimer::singleShot(0, window_.get(), [&] { during = states(); });
  preview->trigger();
  EXPECT_EQ(during, "00");
  EXPECT_EQ(states(), "11");
  // The preview sits in the Edit menu below the operations and on the toolbar beside Start.
  const QList<QAction*> entries =
      window_->findChild<QMenu*>(QStringLiteral("Bearbeiten1"))->actions();
  ASSERT_GE(entries.size(), 9);  // the undo command follows
  EXPECT_TRUE(entries[7]->isSeparator());
  EXPECT_EQ(entries[8], preview);
  EXPECT_NE(window_->findChild<QWidget*>(QStringLiteral("VorschauBtnButton")), nullptr);
}

// Pages that each step changes: code to replace, Windows-1252 and UTF-8 special characters,
// blanks and line breaks to compress; and one page no step changes.
const std::pair<const char*, std::string> kMixedPages[] = {
    {"a.htm", "<p>Gr\xE4n  zz</p>\r\n   <b>x</b>\r\n"},
    {"b.htm", "<p>Gr\xC3\xBCn zz</p>\n\n<i>  y </i>"},
    {"c.htm", "<p>plain</p>"},
    {"d.htm", ""},
};

TEST_F(CancelPreviewTest, PreviewWritesNothingAndShowsTheRowsOfTheRealRun) {
  QStringList paths;
  for (const auto& [name, content] : kMixedPages) paths << At(std::string("web/") + name);
  for (int operation = 0; operation < 7; ++operation) {
    SCOPED_TRACE(operation);
    for (const auto& [name, content] : kMixedPages) File(std::string("web/") + name, content);
    window_ = ShowWindow();
    DropFiles(*window_, paths);
    Action("BakBtn")->setChecked(true);  // a backup would be a new file
    window_->findChild<QComboBox*>(QStringLiteral("OptCB"))->setCurrentIndex(operation);
    boxes_.informations.clear();
    boxes_.errors.clear();

    const auto before = FolderState(root_.Path() + "/web");
    Action("VorschauBtn")->trigger();
    EXPECT_TRUE(before == FolderState(root_.Path() + "/web")) << "the preview changed a file";
    const Lines previewed = ResultLines(*window_);
    const QStringList previewErrors = boxes_.errors;
    EXPECT_EQ(boxes_.informations,
              QStringList{QStringLiteral("Vorschau abgeschlossen! Es wurde nichts verändert.")});
    auto* kind = window_->findChild<QLabel*>(QStringLiteral("StatusPanel1"));
    EXPECT_EQ(kind->text(), QStringLiteral("Nur Vorschau"));

    boxes_.errors.clear();
    Action("StartBtn")->trigger();
    EXPECT_EQ(ResultLines(*window_), previewed);
    EXPECT_EQ(boxes_.errors, previewErrors);
    EXPECT_EQ(boxes_.informations.last(), QStringLiteral("Aktion abgeschlossen!"));
    EXPECT_EQ(kind->text(), QString());
    // The real run did write: the preview's rows were not those of an empty run.
    EXPECT_FALSE(before == FolderState(root_.Path() + "/web"));
    window_.reset();
  }
}

TEST_F(CancelPreviewTest, ChangesOfARowShowWhatTheRunWroteOrThePreviewWouldWrite) {
  File("web/a.htm", "<p>Gr\xE4n zz</p>");
  File("web/b.htm", "<p>plain</p>");
  window_ = ShowWindow();
  DropFiles(*window_, {At("web/a.htm"), At("web/b.htm")});
  ResultsView* results = Results(*window_);
  // Chooses "Änderungen anzeigen" in the context menu of `row`.
  auto chooseChanges = [&](int row) {
    results->setCurrentItem(results->topLevelItem(row));
    EXPECT_TRUE(window_->LVMouseDown(QPoint(10, 10)));
    auto* menu = window_->findChild<QMenu*>(QStringLiteral("LVPopupMenu"));
    menu->close();
    menu->findChild<QAction*>(QStringLiteral("AenderungenAnzeigen1"))->trigger();
  };
  // The same where a dialog must open: its title, its two texts and its count of changes.
  auto showChanges = [&](int row) {
    std::string shown = "no dialog";
    WhenModal<TDiffDlg>([&](TDiffDlg* dialog) {
      shown = dialog->windowTitle().toStdString() + "|" + dialog->View()->Text(TDiffView::kOld) +
              "|" + dialog->View()->Text(TDiffView::kNew) + "|" +
              std::to_string(dialog->View()->Diff().blocks.size());
      dialog->reject();
    });
    chooseChanges(row);
    return shown;
  };
  window_->findChild<QComboBox*>(QStringLiteral("OptCB"))->setCurrentIndex(4);
  Action("VorschauBtn")->trigger();
  EXPECT_EQ(showChanges(0), "Änderungen: a.htm|<p>Gr\xE4n zz</p>|<p>Gr&auml;n </p>|1");
  boxes_.informations.clear();
  chooseChanges(1);  // unchanged: a box says so, no dialog
  EXPECT_EQ(boxes_.informations,
            QStringList{QStringLiteral("Die Vorschau ändert diese Datei nicht.")});
  chooseChanges(3);  // the sums rows have no page: nothing
  EXPECT_EQ(boxes_.informations.size(), 1);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  // A preview keeps no texts: they are made from the page as it is when asked for.
  File("web/a.htm", "<p>\xF6</p>");
  EXPECT_EQ(showChanges(0), "Änderungen: a.htm|<p>\xF6</p>|<p>&ouml;</p>|1");
  File("web/a.htm", "<p>plain</p>");
  boxes_.informations.clear();
  chooseChanges(0);
  EXPECT_EQ(boxes_.informations,
            QStringList{QStringLiteral("Die Vorschau ändert diese Datei nicht.")});
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  File("web/a.htm", "<p>Gr\xE4n zz</p>");

  Action("StartBtn")->trigger();
  EXPECT_EQ(ReadFile(Web("a.htm")), "<p>Gr&auml;n </p>");
  EXPECT_EQ(showChanges(0), "Änderungen: a.htm|<p>Gr\xE4n zz</p>|<p>Gr&auml;n </p>|1");
  boxes_.informations.clear();
  chooseChanges(1);
  EXPECT_EQ(boxes_.informations,
            QStringList{QStringLiteral("Die Aktion hat diese Datei nicht geändert.")});
}

}  // namespace
}  // namespace vk::test
