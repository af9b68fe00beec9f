// A page and a folder named in Windows-1252, as old sites still are, through the window: listed
// under their Windows-1252 text, run, shown in the results, opened, and renamed, copied, pasted,
// made a new folder in and moved to the trash from the tree, always by their own bytes.
#include <QDir>

#include "selection/file_names.h"
#include "tree_commands_support.h"
#include "ui/results_view.h"
#include "ui/shell_list_view.h"

namespace vk::test {
namespace {

const std::string kFolder = "\xC4rger";    // "Ärger"
const std::string kPage = "sch\xF6n.htm";  // "schön.htm"

std::string LocalPath(const QUrl& url) { return LocalPathOf(url); }

class ForeignNamesTest : public TreeCommandsTest {
 protected:
  void SetUp() override {
    TreeCommandsTest::SetUp();
    Folder(kFolder + "/inner");
    File(kFolder + "/" + kPage, "<p>\xE4</p>");  // a Windows-1252 page with an "ä"
  }

  std::string PagePath() const { return root_.File(kFolder + "/" + kPage); }
};

TEST_F(ForeignNamesTest, ListRunResultsAndViewingUseTheBytes) {
  // A plain-text editor in PATH, and nothing of this machine's desktop.
  TempDir desktop;
  fs::create_directories(desktop.File("bin"));
  WriteFile(desktop.File("bin/gedit"), "#!/bin/sh\n");
  fs::permissions(desktop.File("bin/gedit"), fs::perms::owner_all);
  ScopedEnv path("PATH", desktop.File("bin"));
  ScopedEnv dataDirs("XDG_DATA_DIRS", desktop.File("none"));
  ScopedEnv configDirs("XDG_CONFIG_DIRS", desktop.File("none"));

  auto window = ShowWindow();
  window->findChild<TMyShellTreeView*>(QStringLiteral("ShellTreeView"))->SelectPath(Bytes(kFolder));
  ShellListView* list = FileList(*window);
  ASSERT_EQ(list->RowCount(), 1);
  EXPECT_EQ(list->topLevelItem(0)->text(0), QStringLiteral("schön.htm"));
  EXPECT_EQ(list->topLevelItem(0)->text(3), Root() + QStringLiteral("/Ärger"));
  EXPECT_EQ(list->Name(0), kPage);
  EXPECT_EQ(list->Folder(0), root_.File(kFolder));
  EXPECT_EQ(list->RowPath(0), PagePath());

  list->topLevelItem(0)->setSelected(true);
  window->DateiimEditorzeigen1Click();
  ASSERT_EQ(launcher_.starts.size(), 1u);
  EXPECT_EQ(launcher_.starts[0].second, QList<QByteArray>{QByteArray::fromStdString(PagePath())});
  window->DateiimStandardBrowserzeigen1Click();
  ASSERT_EQ(launcher_.urls.size(), 1u);
  EXPECT_EQ(LocalPath(launcher_.urls[0]), PagePath());
  EXPECT_TRUE(launcher_.urls[0].toEncoded().endsWith("/%C4rger/sch%F6n.htm"));

  window->SelAllBtnClick();
  window->RunOperation(1);  // "Sonderzeichen in Dateien umwandeln"
  EXPECT_TRUE(boxes_.errors.isEmpty()) << boxes_.errors.join('\n').toStdString();
  EXPECT_EQ(boxes_.informations, QStringList{QStringLiteral("Aktion abgeschlossen!")});
  EXPECT_EQ(ReadFile(PagePath()), "<p>&auml;</p>");
  EXPECT_EQ(ResultLines(*window),
            (std::vector<std::string>{"schön.htm|8 Byte|13 Byte|-62|1|0", "**Summen**|||||",
                                      "1 Datei(en)|8 Byte|13 Byte|-62|1|0"}));
  ResultsView* results = Results(*window);
  EXPECT_EQ(results->PathOf(0), PagePath());
  results->topLevelItem(0)->setSelected(true);
  window->BrowserBtnClick();
  ASSERT_EQ(launcher_.urls.size(), 2u);
  EXPECT_EQ(LocalPath(launcher_.urls[1]), PagePath());
  EXPECT_EQ(window->StatusText(), QStringLiteral("1 Datei(en)"));
}

TEST_F(ForeignNamesTest, AMessageShowsTheNameInWindowsText) {
  auto window = ShowWindow();
  window->findChild<TMyShellTreeView*>(QStringLiteral("ShellTreeView"))->SelectPath(Bytes(kFolder));
  window->SelAllBtnClick();
  fs::remove(PagePath());  // gone before the run: each step reports it
  window->RunOperation(1);
  ASSERT_FALSE(boxes_.errors.isEmpty());
  EXPECT_TRUE(boxes_.errors[0].contains(QStringLiteral("/Ärger/schön.htm")))
      << boxes_.errors[0].toStdString();
}

TEST_F(ForeignNamesTest, TreeShowsRenamesAndMakesFoldersByTheBytes) {
  tree_->ReloadSubtree(tree_->topLevelItem(0));
  QTreeWidgetItem* folder = Node(QStringLiteral("Ärger"));
  ASSERT_NE(folder, nullptr);
  EXPECT_EQ(TMyCustomShellTreeView::PathOf(folder), Bytes(kFolder));
  QTreeWidgetItem* inner = Node(QStringLiteral("Ärger/inner"));
  EXPECT_EQ(TMyCustomShellTreeView::PathOf(inner), Bytes(kFolder + "/inner"));

  // A folder inside it, renamed in place: the new name is typed, so it is UTF-8.
  tree_->show();
  tree_->EditLabel(inner);
  Commit(*tree_, QStringLiteral("drinnen ä"));
  EXPECT_TRUE(fs::is_directory(root_.File(kFolder + "/drinnen \xC3\xA4")));
  EXPECT_EQ(TMyCustomShellTreeView::PathOf(Node(QStringLiteral("Ärger/drinnen ä"))),
            Bytes(kFolder + "/drinnen \xC3\xA4"));

  // A new folder in it, then the folder itself renamed.
  ASSERT_TRUE(tree_->RunShellCommand(Node(QStringLiteral("Ärger")),
                                     QString::fromLatin1(verbs::kNewFolder)));
  Settle();
  EXPECT_TRUE(fs::is_directory(root_.File(kFolder + "/Neuer Ordner")));
  folder = Node(QStringLiteral("Ärger"));
  EXPECT_EQ(tree_->RenameNode(folder, QStringLiteral("Ärger neu")), QString());
  EXPECT_FALSE(fs::exists(root_.File(kFolder)));
  EXPECT_EQ(ReadFile(root_.File("\xC3\x84rger neu/" + kPage)), "<p>\xE4</p>");
  EXPECT_EQ(TMyCustomShellTreeView::PathOf(Node(QStringLiteral("Ärger neu/drinnen ä"))),
            Bytes("\xC3\x84rger neu/drinnen \xC3\xA4"));
  EXPECT_TRUE(boxes_.errors.isEmpty()) << boxes_.errors.join('\n').toStdString();
}

TEST_F(ForeignNamesTest, CopyPasteAndTrashKeepTheBytes) {
  tree_->ReloadSubtree(tree_->topLevelItem(0));
  ASSERT_TRUE(
      tree_->RunShellCommand(Node(QStringLiteral("Ärger")), QString::fromLatin1(verbs::kCopy)));
  ASSERT_TRUE(
      tree_->RunShellCommand(Node(QStringLiteral("B")), QString::fromLatin1(verbs::kPaste)));
  EXPECT_EQ(ReadFile(root_.File("B/" + kFolder + "/" + kPage)), "<p>\xE4</p>");
  EXPECT_TRUE(fs::is_directory(root_.File("B/" + kFolder + "/inner")));
  EXPECT_EQ(ChildTexts(Node(QStringLiteral("B"))), (QStringList{"b1", "Ärger"}));

  // Pasted where it already is: a copy with " (Kopie)" after the name's own bytes.
  ASSERT_TRUE(tree_->RunShellCommand(tree_->topLevelItem(0), QString::fromLatin1(verbs::kPaste)));
  EXPECT_EQ(ReadFile(root_.File(kFolder + " (Kopie)/" + kPage)), "<p>\xE4</p>");

  boxes_.answers = {true};
  ASSERT_TRUE(
      tree_->RunShellCommand(Node(QStringLiteral("Ärger")), QString::fromLatin1(verbs::kDelete)));
  EXPECT_FALSE(fs::exists(root_.File(kFolder)));
  EXPECT_EQ(ReadFile(data_.File("Trash/files/" + kFolder + "/" + kPage)), "<p>\xE4</p>");
  const std::string info = ReadFile(data_.File("Trash/info/" + kFolder + ".trashinfo"));
  EXPECT_TRUE(info.starts_with(
      "[Trash Info]\nPath=" +
      QByteArray::fromStdString(root_.File(kFolder)).toPercentEncoding("/").toStdString() +
      "\nDeletionDate="))
      << info;
  EXPECT_EQ(
      boxes_.questions,
      QStringList{
          QStringLiteral("Den Ordner \"%1/Ärger\" in den Papierkorb verschieben?").arg(Root())});
  const QStringList left = ChildTexts(tree_->topLevelItem(0));
  EXPECT_TRUE(left.contains(QStringLiteral("Ärger (Kopie)"))) << left.join('|').toStdString();
  EXPECT_FALSE(left.contains(QStringLiteral("Ärger"))) << left.join('|').toStdString();
  EXPECT_TRUE(boxes_.errors.isEmpty()) << boxes_.errors.join('\n').toStdString();
}

}  // namespace
}  // namespace vk::test
