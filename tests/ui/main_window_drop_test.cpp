// Files and folders dropped onto the main window (delivered as file URLs, as file managers do).
#include <gtest/gtest.h>

#include <QAction>

#include "main_window_support.h"
#include "ui/shell_list_view.h"
#include "ui/vk_main.h"

namespace vk::test {
namespace {

using Lines = std::vector<std::string>;

class DropTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    Folder("web");
    File("root.htm");
    File("web/a.htm", "a");
    File("web/b.htm", "bb");
    Folder("web/site/deeper");
    File("web/site/s.html", "sss");
    File("web/site/deeper/t.htm");
    window_ = ShowWindow();
    root_lines_ = {"-|root.htm|3 Byte|" + root_.Path()};
  }

  std::string Web() const { return root_.Path() + "/web"; }

  std::unique_ptr<TVKMain> window_;
  Lines root_lines_;
};

TEST_F(DropTest, AFolderIsListedTickedAndThePathsAfterItAreIgnored) {
  DropFiles(*window_, {At("web/a.htm"), At("web/site"), At("web/b.htm")});
  Lines expected = root_lines_;
  expected.push_back("x|a.htm|1 Byte|" + Web());
  expected.push_back("x|s.html|3 Byte|" + Web() + "/site");
  EXPECT_EQ(ListLines(*window_), expected);
  EXPECT_TRUE(boxes_.questions.isEmpty());
  EXPECT_EQ(window_->StatusText(), QStringLiteral("3 Datei(en)"));
  EXPECT_TRUE(window_->findChild<QAction*>(QStringLiteral("StartBtn"))->isEnabled());
}

TEST_F(DropTest, HtmlExtensionsInAnyCaseAreTakenWithoutAQuestion) {
  File("web/INDEX.HTML", "1234");
  File("web/Übersicht.html", "12345");
  File("web/mixed.HtM", "123456");
  DropFiles(*window_, {At("web/INDEX.HTML"), At("web/Übersicht.html"), At("web/mixed.HtM")});
  Lines expected = root_lines_;
  expected.push_back("x|INDEX.HTML|4 Byte|" + Web());
  expected.push_back("x|Übersicht.html|5 Byte|" + Web());
  expected.push_back("x|mixed.HtM|6 Byte|" + Web());
  EXPECT_EQ(ListLines(*window_), expected);
  EXPECT_TRUE(boxes_.questions.isEmpty());
}

TEST_F(DropTest, OtherFilesAreListedOnlyWhenTheUserSaysYes) {
  File("web/style.css", "p{}");
  File("web/page.shtml", "x");
  struct Case {
    bool answer;
    Lines added;
  };
  const Case cases[] = {
      {false, {}},
      {true, {"x|style.css|3 Byte|" + Web()}},
  };
  for (const Case& c : cases) {
    boxes_.questions.clear();
    boxes_.answers = {c.answer};
    const Lines before = ListLines(*window_);
    DropFiles(*window_, {At("web/style.css")});
    Lines expected = before;
    expected.insert(expected.end(), c.added.begin(), c.added.end());
    EXPECT_EQ(ListLines(*window_), expected) << c.answer;
    EXPECT_EQ(boxes_.questions,
              QStringList{At("web/style.css") +
                          QStringLiteral(" ist keine HTML-Datei. Trotzdem verwenden?")});
  }
  // ".shtml" is no HTML extension for a drop either.
  boxes_.questions.clear();
  DropFiles(*window_, {At("web/page.shtml")});
  EXPECT_EQ(boxes_.questions.size(), 1);
}

TEST_F(DropTest, AFolderNamedLikeAPageIsAppendedAsOneRow) {
  Folder("web/old.htm");
  File("web/old.htm/inner.htm");
  DropFiles(*window_, {At("web/old.htm")});
  ShellListView* list = FileList(*window_);
  ASSERT_EQ(list->RowCount(), 2);
  const FileListRow row = list->Row(1);
  EXPECT_TRUE(row.ticked);
  EXPECT_EQ(row.name, "old.htm");
  EXPECT_EQ(row.folder, Web());
  EXPECT_TRUE(boxes_.questions.isEmpty());
}

TEST_F(DropTest, TheToggleIsReleasedAndDisabledWithoutAListing) {
  QAction* toggle = window_->findChild<QAction*>(QStringLiteral("UPdirchkbox"));
  toggle->trigger();  // down: the whole tree is listed
  ASSERT_TRUE(toggle->isChecked());
  const Lines before = ListLines(*window_);
  DropFiles(*window_, {At("web/site")});
  EXPECT_FALSE(toggle->isChecked());
  EXPECT_FALSE(toggle->isEnabled());
  // Appended without the subfolder "deeper", because the toggle was released first.
  Lines expected = before;
  expected.push_back("x|s.html|3 Byte|" + Web() + "/site");
  EXPECT_EQ(ListLines(*window_), expected);
}

TEST_F(DropTest, TheSameFolderDroppedTwiceIsListedTwice) {
  DropFiles(*window_, {At("web/site")});
  DropFiles(*window_, {At("web/site")});
  Lines expected = root_lines_;
  expected.push_back("x|s.html|3 Byte|" + Web() + "/site");
  expected.push_back("x|s.html|3 Byte|" + Web() + "/site");
  EXPECT_EQ(ListLines(*window_), expected);
}

}  // namespace
}  // namespace vk::test
