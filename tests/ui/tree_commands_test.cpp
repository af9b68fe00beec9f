// The folder tree's menu and commands over a throwaway folder tree: the right-click, the
// menu's entries, renaming in place (command, F2, refused names, loaded nodes below), new
// folders, opening in the file manager and the hooks around each command.
#include "tree_commands_support.h"

namespace vk::test {
namespace {

TEST_F(TreeCommandsTest, RightClickOnAnotherNodeLeavesSelectionAndFileListAlone) {
  File("index.htm", "<p>x");
  auto window = ShowWindow();
  auto* tree = window->findChild<TMyShellTreeView*>(QStringLiteral("ShellTreeView"));
  ASSERT_NE(tree, nullptr);
  const std::vector<std::string> listBefore = ListLines(*window);
  ASSERT_EQ(listBefore.size(), 1u);
  QTreeWidgetItem* root = tree->currentItem();
  QTreeWidgetItem* b = NodeIn(*tree, QStringLiteral("B"));
  QSignalSpy changes(tree, &TMyCustomShellTreeView::OnChange);
  QString countingDuringMenu;
  int menus = 0;
  tree->SetMenuRunner([&](QMenu& menu, const QPoint&) {
    ++menus;
    countingDuringMenu = tree->CountingNode()->text(0);
    return Verb(menu, verbs::kCopy);
  });
  RightClick(*tree, tree->visualItemRect(b).center());
  EXPECT_EQ(menus, 1);
  EXPECT_EQ(countingDuringMenu, QStringLiteral("B"));
  EXPECT_EQ(tree->currentItem(), root);
  EXPECT_EQ(tree->CountingNode(), root);
  EXPECT_EQ(changes.count(), 0);
  EXPECT_EQ(ListLines(*window), listBefore);
  // "Kopieren" put the right-clicked folder on the clipboard as file managers do.
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  const QByteArray url = QUrl::fromLocalFile(At("B")).toEncoded();
  EXPECT_EQ(data->data(QStringLiteral("text/uri-list")), url + "\r\n");
  EXPECT_EQ(data->data(QStringLiteral("x-special/gnome-copied-files")), "copy\n" + url);
  EXPECT_EQ(data->text(), At("B"));
}

TEST_F(TreeCommandsTest, MenuEntriesAreEnabledWhereTheyCanRun) {
  struct Case {
    const char* node;
    bool filesOnClipboard;
    QStringList entries;
  };
  const Case cases[] = {
      {"",
       false,
       {"Öffnen=1", "Umbenennen=0", "Kopieren=1", "Einfügen=0", "Löschen=0", "-",
        "Neuer Ordner=1"}},
      {"B",
       false,
       {"Öffnen=1", "Umbenennen=1", "Kopieren=1", "Einfügen=0", "Löschen=1", "-",
        "Neuer Ordner=1"}},
      {"A/a1",
       true,
       {"Öffnen=1", "Umbenennen=1", "Kopieren=1", "Einfügen=1", "Löschen=1", "-",
        "Neuer Ordner=1"}},
  };
  for (const Case& c : cases) {
    if (c.filesOnClipboard) SetClipboardFiles({At("C")});
    std::unique_ptr<QMenu> menu(tree_->BuildShellMenu(Node(QString::fromUtf8(c.node))));
    EXPECT_EQ(Entries(*menu), c.entries) << c.node;
    EXPECT_EQ(menu->defaultAction(), Verb(*menu, verbs::kOpen));
  }
}

TEST_F(TreeCommandsTest, RightClickBesideTheNodesActsOnTheSelectedNode) {
  tree_->show();
  tree_->setCurrentItem(Node(QStringLiteral("C")));
  QString counting = QStringLiteral("none");
  tree_->SetMenuRunner([&](QMenu&, const QPoint&) -> QAction* {
    counting = tree_->CountingNode()->text(0);
    return nullptr;  // closed without a choice
  });
  RightClick(*tree_, QPoint(5, tree_->viewport()->height() - 3));
  EXPECT_EQ(counting, QStringLiteral("C"));
  EXPECT_EQ(tree_->SelectedPath(), Bytes("C"));
}

TEST_F(TreeCommandsTest, RenameFromTheMenuOpensTheLabelAndRenamesOnCommit) {
  tree_->show();
  QTreeWidgetItem* b = Node(QStringLiteral("B"));
  QSignalSpy changes(tree_.get(), &TMyCustomShellTreeView::OnChange);
  tree_->SetMenuRunner([](QMenu& menu, const QPoint&) { return Verb(menu, verbs::kRename); });
  RightClick(*tree_, tree_->visualItemRect(b).center());
  // The command did not run: the label is open for a new name, the folder unchanged.
  QLineEdit* editor = Editor(*tree_);
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(editor->text(), QStringLiteral("B"));
  EXPECT_TRUE(fs::is_directory(root_.File("B")));
  Commit(*tree_, QStringLiteral("Bilder"));
  EXPECT_FALSE(fs::exists(root_.File("B")));
  EXPECT_TRUE(fs::is_directory(root_.File("Bilder/b1")));
  EXPECT_EQ(b->text(0), QStringLiteral("Bilder"));
  EXPECT_EQ(TMyCustomShellTreeView::PathOf(b), Bytes("Bilder"));
  EXPECT_EQ(TMyCustomShellTreeView::IdOf(b), ShellId{Bytes("Bilder")});
  EXPECT_EQ(tree_->SelectedPath(), Root().toUtf8());
  EXPECT_EQ(changes.count(), 0);  // the selected root is not below the renamed folder
  EXPECT_TRUE(boxes_.errors.isEmpty());
}

TEST_F(TreeCommandsTest, F2RenamesTheSelectedNodeAfterOnEditedAndTheListFollows) {
  tree_->show();
  tree_->setFocus();
  QTreeWidgetItem* c = Node(QStringLiteral("C"));
  tree_->setCurrentItem(c);
  tree_->OnEdited = [](QTreeWidgetItem*, QString& text) { text.replace(' ', '_'); };
  QSignalSpy changes(tree_.get(), &TMyCustomShellTreeView::OnChange);
  QTest::keyClick(tree_.get(), Qt::Key_F2);
  Commit(*tree_, QStringLiteral("neuer Name"));
  EXPECT_TRUE(fs::is_directory(root_.File("neuer_Name")));
  EXPECT_EQ(c->text(0), QStringLiteral("neuer_Name"));
  EXPECT_EQ(tree_->SelectedPath(), Bytes("neuer_Name"));
  // The file list is told that the selected folder has a new path.
  ASSERT_EQ(changes.count(), 1);
  EXPECT_EQ(changes.at(0).at(0).value<QTreeWidgetItem*>(), c);
}

TEST_F(TreeCommandsTest, RefusedNamesRaiseTheMessageAndTheNodeKeepsItsText) {
  tree_->show();
  const QString cases[] = {QStringLiteral("a/b"), QStringLiteral("C"), QStringLiteral(""),
                           QStringLiteral("..")};
  QTreeWidgetItem* b = Node(QStringLiteral("B"));
  for (const QString& name : cases) {
    boxes_.errors.clear();
    tree_->EditLabel(b);
    Commit(*tree_, name);
    EXPECT_EQ(boxes_.errors, QStringList{QStringLiteral("Rename to %1 failed").arg(name)});
    EXPECT_EQ(b->text(0), QStringLiteral("B"));
    EXPECT_EQ(TMyCustomShellTreeView::PathOf(b), Bytes("B"));
    EXPECT_EQ(tree_->RenameNode(b, name), QStringLiteral("Rename to %1 failed").arg(name));
  }
  EXPECT_TRUE(fs::is_directory(root_.File("B/b1")));
  EXPECT_TRUE(fs::is_directory(root_.File("C")));
  EXPECT_FALSE(fs::exists(root_.File("a")));
  EXPECT_EQ(ChildTexts(tree_->topLevelItem(0)), (QStringList{"A", "B", "C"}));
  // The root and the top-level places get no new name.
  EXPECT_EQ(tree_->RenameNode(tree_->topLevelItem(0), QStringLiteral("X")),
            QStringLiteral("Rename to X failed"));
}

TEST_F(TreeCommandsTest, RenamingKeepsThePathsOfLoadedNodesBelowRight) {
  QTreeWidgetItem* a = Node(QStringLiteral("A"));
  QTreeWidgetItem* a1 = Node(QStringLiteral("A/a1"));
  QTreeWidgetItem* a11 = Node(QStringLiteral("A/a1/a11"));
  tree_->setCurrentItem(a11);
  QSignalSpy changes(tree_.get(), &TMyCustomShellTreeView::OnChange);
  EXPECT_EQ(tree_->RenameNode(a, QStringLiteral("Z")), QString());
  EXPECT_EQ(TMyCustomShellTreeView::PathOf(a1), Bytes("Z/a1"));
  EXPECT_EQ(TMyCustomShellTreeView::IdOf(a11),
            (ShellId{Bytes("Z"), Bytes("Z/a1"), Bytes("Z/a1/a11")}));
  EXPECT_EQ(a11->toolTip(0), At("Z/a1/a11"));
  EXPECT_EQ(tree_->SelectedPath(), Bytes("Z/a1/a11"));
  Settle();
  EXPECT_EQ(changes.count(), 1);
  // The tree finds the renamed nodes under their new paths, without building new ones.
  tree_->SelectPath(Bytes("Z/a1"));
  EXPECT_EQ(tree_->currentItem(), a1);
  EXPECT_EQ(ChildTexts(tree_->topLevelItem(0)), (QStringList{"Z", "B", "C"}));  // not re-sorted
}

TEST_F(TreeCommandsTest, NewFolderCreatesNumberedFoldersAndOpensTheLabel) {
  tree_->show();
  QTreeWidgetItem* b = Node(QStringLiteral("B"));
  EXPECT_TRUE(tree_->RunShellCommand(b, QString::fromLatin1(verbs::kNewFolder)));
  EXPECT_TRUE(fs::is_directory(root_.File("B/Neuer Ordner")));
  ASSERT_NE(Editor(*tree_), nullptr);
  EXPECT_EQ(Editor(*tree_)->text(), QStringLiteral("Neuer Ordner"));
  QTest::keyClick(Editor(*tree_), Qt::Key_Escape);  // keeps the name
  Settle();
  EXPECT_TRUE(
      tree_->RunShellCommand(Node(QStringLiteral("B")), QString::fromLatin1(verbs::kNewFolder)));
  EXPECT_TRUE(fs::is_directory(root_.File("B/Neuer Ordner (2)")));
  Commit(*tree_, QStringLiteral("Bilder"));
  EXPECT_TRUE(fs::is_directory(root_.File("B/Bilder")));
  EXPECT_FALSE(fs::exists(root_.File("B/Neuer Ordner (2)")));
  // A renamed node keeps its place until its parent is read again.
  EXPECT_EQ(ChildTexts(Node(QStringLiteral("B"))), (QStringList{"b1", "Neuer Ordner", "Bilder"}));
  EXPECT_TRUE(boxes_.errors.isEmpty());
}

// Records the current directory at the moment the file manager is started.
class DirectoryRecorder : public LaunchRecorder {
 public:
  bool OpenUrl(const QUrl& url) override {
    currentAtOpen = QDir::currentPath();
    return LaunchRecorder::OpenUrl(url);
  }
  QString currentAtOpen;
};

TEST_F(TreeCommandsTest, OpenStartsTheFileManagerFromTheParentFolder) {
  DirectoryRecorder launcher;
  SetLauncher(&launcher);
  const QString before = QDir::currentPath();
  EXPECT_TRUE(
      tree_->RunShellCommand(Node(QStringLiteral("A/a1")), QString::fromLatin1(verbs::kOpen)));
  ASSERT_EQ(launcher.urls.size(), 1u);
  EXPECT_EQ(launcher.urls[0], QUrl::fromLocalFile(At("A/a1")));
  EXPECT_EQ(launcher.currentAtOpen, At("A"));
  EXPECT_EQ(QDir::currentPath(), before);
  // A failed command gets no hook action after it.
  launcher.openResult = false;
  EXPECT_FALSE(
      tree_->RunShellCommand(Node(QStringLiteral("B")), QString::fromLatin1(verbs::kOpen)));
  EXPECT_EQ(
      boxes_.errors,
      QStringList{QStringLiteral("Der Ordner \"%1\" konnte nicht geöffnet werden.").arg(At("B"))});
  EXPECT_EQ(QDir::currentPath(), Root());
  SetLauncher(&launcher_);
}

// A tree whose hook takes over "delete" and records what AfterShellCommand is told.
class HandlingTree : public TMyShellTreeView {
 public:
  void BeforeShellCommand(const QString& verb, bool& handled) override {
    TMyShellTreeView::BeforeShellCommand(verb, handled);
    if (verb == QLatin1String("DELETE")) handled = true;
  }
  void AfterShellCommand(const QString& verb, bool succeeded) override {
    after << QStringLiteral("%1 %2").arg(verb).arg(succeeded);
    TMyShellTreeView::AfterShellCommand(verb, succeeded);
  }
  QStringList after;
};

TEST_F(TreeCommandsTest, AHandledCommandDoesNotRunAndCountsAsSucceeded) {
  HandlingTree tree;
  tree.SetRoot(Root());
  EXPECT_TRUE(tree.RunShellCommand(NodeIn(tree, QStringLiteral("B")), QStringLiteral("DELETE")));
  EXPECT_TRUE(boxes_.questions.isEmpty());
  EXPECT_TRUE(fs::is_directory(root_.File("B")));
  // The folder is still there, so its node stays.
  EXPECT_EQ(ChildTexts(tree.topLevelItem(0)), (QStringList{"A", "B", "C"}));
  EXPECT_EQ(tree.after, QStringList{QStringLiteral("DELETE 1")});
}

}  // namespace
}  // namespace vk::test
