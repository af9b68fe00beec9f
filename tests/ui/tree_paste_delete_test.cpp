// Pasting folders into the tree (expanded nodes and selection kept, questions before replacing,
// never into itself), moving folders to a trash of the test's own, and ReloadSubtree.
#include "tree_commands_support.h"

namespace vk::test {
namespace {

TEST_F(TreeCommandsTest, PasteOfTwoFoldersShowsThemKeepingExpandedNodesAndSelection) {
  fs::create_directories(outside_.File("P1/sub"));
  fs::create_directories(outside_.File("P2"));
  WriteFile(outside_.File("P1/p.htm"), "<p>eins");
  Node(QStringLiteral("A/a1"));
  tree_->setCurrentItem(Node(QStringLiteral("A/a1/a11")));
  QSignalSpy changes(tree_.get(), &TMyCustomShellTreeView::OnChange);
  SetClipboardFiles(
      {QString::fromStdString(outside_.File("P1")), QString::fromStdString(outside_.File("P2"))});
  EXPECT_TRUE(
      tree_->RunShellCommand(Node(QStringLiteral("A")), QString::fromLatin1(verbs::kPaste)));
  QTreeWidgetItem* a = Node(QStringLiteral("A"));
  EXPECT_EQ(ChildTexts(a), (QStringList{"a1", "a2", "P1", "P2"}));
  EXPECT_TRUE(a->isExpanded());
  EXPECT_TRUE(Node(QStringLiteral("A/a1"))->isExpanded());
  EXPECT_FALSE(Node(QStringLiteral("A/P1"))->isExpanded());
  EXPECT_EQ(tree_->SelectedPath(), Bytes("A/a1/a11"));
  EXPECT_EQ(tree_->currentItem(), Node(QStringLiteral("A/a1/a11")));
  EXPECT_EQ(changes.count(), 1);  // the selected node is a new one, for the same folder
  EXPECT_EQ(ReadFile(root_.File("A/P1/p.htm")), "<p>eins");
  EXPECT_TRUE(fs::is_directory(root_.File("A/P1/sub")));
  EXPECT_TRUE(boxes_.questions.isEmpty());
  EXPECT_TRUE(boxes_.errors.isEmpty());
}

TEST_F(TreeCommandsTest, PasteAsksBeforeReplacingAndNoKeepsTheExistingContent) {
  fs::create_directories(outside_.File("a2"));
  WriteFile(outside_.File("a2/keep.htm"), "neu");
  WriteFile(outside_.File("a2/extra.htm"), "dazu");
  WriteFile(outside_.File("f.htm"), "neue Datei");
  struct Case {
    bool answer;
    std::string keep, file;
    bool extra;
  };
  const Case cases[] = {{false, "alt", "alte Datei", false}, {true, "neu", "neue Datei", true}};
  for (const Case& c : cases) {
    const std::string target = c.answer ? "Ja" : "Nein";
    Folder(target + "/a2");
    File(target + "/a2/keep.htm", "alt");
    File(target + "/f.htm", "alte Datei");
    tree_->ReloadSubtree(tree_->topLevelItem(0));  // the tree does not watch the disk
    SetClipboardFiles({QString::fromStdString(outside_.File("a2")),
                       QString::fromStdString(outside_.File("f.htm"))});
    boxes_.questions.clear();
    boxes_.answers = {c.answer, c.answer};
    EXPECT_TRUE(tree_->RunShellCommand(Node(QString::fromStdString(target)),
                                       QString::fromLatin1(verbs::kPaste)));
    const QString folder = At(target);
    EXPECT_EQ(boxes_.questions,
              (QStringList{
                  QStringLiteral("Den Ordner \"%1/a2\" gibt es schon. Zusammenführen und "
                                 "gleichnamige Dateien ersetzen?")
                      .arg(folder),
                  QStringLiteral("Die Datei \"%1/f.htm\" gibt es schon. Ersetzen?").arg(folder)}));
    EXPECT_EQ(ReadFile(root_.File(target + "/a2/keep.htm")), c.keep);
    EXPECT_EQ(ReadFile(root_.File(target + "/f.htm")), c.file);
    EXPECT_EQ(fs::exists(root_.File(target + "/a2/extra.htm")), c.extra);
  }
  EXPECT_TRUE(boxes_.errors.isEmpty());
}

TEST_F(TreeCommandsTest, AFolderIsNeverPastedIntoItselfAndGetsACopyNameWhereItIs) {
  SetClipboardFiles({At("A")});
  EXPECT_TRUE(
      tree_->RunShellCommand(Node(QStringLiteral("A/a1")), QString::fromLatin1(verbs::kPaste)));
  EXPECT_EQ(boxes_.errors, QStringList{QStringLiteral("Der Ordner \"%1\" kann nicht in sich selbst "
                                                      "eingefügt werden.")
                                           .arg(At("A"))});
  EXPECT_EQ(ChildTexts(Node(QStringLiteral("A/a1"))), QStringList{"a11"});
  for (int round = 0; round < 2; ++round) {
    EXPECT_TRUE(tree_->RunShellCommand(tree_->topLevelItem(0), QString::fromLatin1(verbs::kPaste)));
  }
  EXPECT_TRUE(fs::is_directory(root_.File("A (Kopie)/a1/a11")));
  EXPECT_TRUE(fs::is_directory(root_.File("A (Kopie 2)/a2")));
  EXPECT_EQ(ChildTexts(tree_->topLevelItem(0)),
            (QStringList{"A", "A (Kopie 2)", "A (Kopie)", "B", "C"}));
  EXPECT_TRUE(boxes_.questions.isEmpty());
  // Without files on the clipboard the command does nothing and reports no success.
  QGuiApplication::clipboard()->clear();
  EXPECT_FALSE(
      tree_->RunShellCommand(Node(QStringLiteral("B")), QString::fromLatin1(verbs::kPaste)));
}

TEST_F(TreeCommandsTest, DeleteAsksAndMovesTheFolderToTheTrash) {
  File("B/b1/page.htm", "<p>bleibt");
  QTreeWidgetItem* b = Node(QStringLiteral("B"));
  tree_->setCurrentItem(b);
  QSignalSpy changes(tree_.get(), &TMyCustomShellTreeView::OnChange);
  const QString question =
      QStringLiteral("Den Ordner \"%1\" in den Papierkorb verschieben?").arg(At("B"));

  boxes_.answers = {false};
  EXPECT_FALSE(tree_->RunShellCommand(b, QString::fromLatin1(verbs::kDelete)));
  EXPECT_EQ(boxes_.questions, QStringList{question});
  EXPECT_TRUE(fs::is_directory(root_.File("B/b1")));
  EXPECT_EQ(ChildTexts(tree_->topLevelItem(0)), (QStringList{"A", "B", "C"}));
  EXPECT_EQ(changes.count(), 0);

  boxes_.answers = {true};
  EXPECT_TRUE(tree_->RunShellCommand(b, QString::fromLatin1(verbs::kDelete)));
  EXPECT_EQ(boxes_.questions, (QStringList{question, question}));
  EXPECT_FALSE(fs::exists(root_.File("B")));
  EXPECT_EQ(ReadFile(data_.File("Trash/files/B/b1/page.htm")), "<p>bleibt");
  const std::string info = ReadFile(data_.File("Trash/info/B.trashinfo"));
  EXPECT_EQ(info.rfind("[Trash Info]\nPath=" + root_.File("B") + "\nDeletionDate=", 0), 0u) << info;
  EXPECT_EQ(ChildTexts(tree_->topLevelItem(0)), (QStringList{"A", "C"}));
  EXPECT_EQ(tree_->SelectedPath(), Bytes("C"));
  EXPECT_EQ(changes.count(), 1);
  EXPECT_TRUE(boxes_.errors.isEmpty());
}

TEST_F(TreeCommandsTest, AFailedTrashShowsTheErrorAndKeepsFolderAndNode) {
  // Qt would put the folder below the current directory when it cannot make the trash.
  TempDir current;
  QDir::setCurrent(QString::fromStdString(current.Path()));
  struct Case {
    std::string blocker;  // a file where the trash needs a folder
  };
  for (const Case& c : {Case{"Trash/files"}, Case{"Trash"}}) {
    fs::remove_all(data_.File("Trash"));
    fs::create_directories(fs::path(data_.File(c.blocker)).parent_path());
    WriteFile(data_.File(c.blocker), "no folder");
    boxes_.errors.clear();
    boxes_.answers = {true};
    EXPECT_FALSE(
        tree_->RunShellCommand(Node(QStringLiteral("C")), QString::fromLatin1(verbs::kDelete)));
    EXPECT_EQ(boxes_.errors, QStringList{QStringLiteral("Der Ordner \"%1\" konnte nicht in den "
                                                        "Papierkorb verschoben werden.")
                                             .arg(At("C"))})
        << c.blocker;
    EXPECT_TRUE(fs::is_directory(root_.File("C"))) << c.blocker;
    EXPECT_EQ(ChildTexts(tree_->topLevelItem(0)), (QStringList{"A", "B", "C"}));
  }
  EXPECT_TRUE(fs::is_empty(current.Path()));
}

TEST_F(TreeCommandsTest, TheTrashIsMadeWhereTheDesktopLooksForIt) {
  TempDir current;
  QDir::setCurrent(QString::fromStdString(current.Path()));
  const ScopedEnv dataHome("XDG_DATA_HOME", data_.File("not/yet"));
  boxes_.answers = {true};
  EXPECT_TRUE(
      tree_->RunShellCommand(Node(QStringLiteral("A")), QString::fromLatin1(verbs::kDelete)));
  EXPECT_TRUE(fs::is_directory(data_.File("not/yet/Trash/files/A/a1/a11")));
  EXPECT_TRUE(fs::exists(data_.File("not/yet/Trash/info/A.trashinfo")));
  EXPECT_TRUE(fs::is_empty(current.Path()));
  EXPECT_EQ(ChildTexts(tree_->topLevelItem(0)), (QStringList{"B", "C"}));
}

TEST_F(TreeCommandsTest, ReloadSubtreeKeepsTheTopmostVisibleNode) {
  for (int i = 0; i < 40; ++i) Folder("B/f" + std::to_string(100 + i));
  tree_->resize(200, 150);
  tree_->show();
  QTreeWidgetItem* b = Node(QStringLiteral("B"));
  tree_->expandItem(b);
  tree_->scrollToItem(Node(QStringLiteral("B/f120")), QAbstractItemView::PositionAtTop);
  ASSERT_EQ(tree_->itemAt(QPoint(0, 0))->text(0), QStringLiteral("f120"));
  Folder("B/f119a");
  QTreeWidgetItem* fresh = tree_->ReloadSubtree(b);
  EXPECT_EQ(fresh, Node(QStringLiteral("B")));
  EXPECT_EQ(fresh->childCount(), 42);
  EXPECT_TRUE(fresh->isExpanded());
  EXPECT_EQ(tree_->itemAt(QPoint(0, 0))->text(0), QStringLiteral("f120"));
  EXPECT_EQ(tree_->SelectedPath(), Root().toUtf8());
}

}  // namespace
}  // namespace vk::test
