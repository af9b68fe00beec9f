// The folder tree's commands over a throwaway folder tree: the context menu on a right-click,
// renaming in place (command, F2, refused names), pasting folders with reloading the subtree,
// moving a folder to a trash of the test's own, new folders, opening and the hooks.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>
#include <filesystem>

#include "main_window_support.h"
#include "ui/shell_tree_menu.h"
#include "ui/shell_tree_view.h"
#include "ui/vk_main.h"

// Readable QString values in failure messages.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace vk::test {
namespace {

namespace fs = std::filesystem;

// Delivers what the last step posted and what that posted in turn: Enter commits an edit
// through a queued call, and a refused name is raised by one more.
void Settle() {
  for (int round = 0; round < 3; ++round) QCoreApplication::processEvents();
}

class TreeCommandsTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    trashHome_ = std::make_unique<ScopedEnvironment>("XDG_DATA_HOME", data_.Path());
    for (const char* folder : {"A/a1/a11", "A/a2", "B/b1", "C"}) Folder(folder);
    QGuiApplication::clipboard()->clear();
    tree_ = std::make_unique<TMyShellTreeView>();
    tree_->resize(300, 400);
    tree_->SetRoot(Root());
  }

  void TearDown() override {
    tree_.reset();
    QGuiApplication::clipboard()->clear();
    MainWindowTest::TearDown();
  }

  QString Root() const { return QString::fromStdString(root_.Path()); }

  // The node of a folder below the root, given as "A/a1"; its ancestors are expanded.
  static QTreeWidgetItem* NodeIn(TMyCustomShellTreeView& tree, const QString& relative) {
    QTreeWidgetItem* node = tree.topLevelItem(0);
    for (const QString& part : relative.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
      tree.expandItem(node);
      QTreeWidgetItem* next = nullptr;
      for (int i = 0; i < node->childCount() && next == nullptr; ++i) {
        if (node->child(i)->text(0) == part) next = node->child(i);
      }
      if (next == nullptr) {
        ADD_FAILURE() << "no node " << relative.toStdString();
        return nullptr;
      }
      node = next;
    }
    return node;
  }
  QTreeWidgetItem* Node(const QString& relative) { return NodeIn(*tree_, relative); }

  static QStringList ChildTexts(QTreeWidgetItem* node) {
    QStringList texts;
    for (int i = 0; node != nullptr && i < node->childCount(); ++i) texts << node->child(i)->text(0);
    return texts;
  }

  static void SetClipboardFiles(const QStringList& paths) {
    QList<QUrl> urls;
    for (const QString& path : paths) urls << QUrl::fromLocalFile(path);
    auto* data = new QMimeData;
    data->setUrls(urls);
    QGuiApplication::clipboard()->setMimeData(data);
  }

  // The open label editor of a shown tree.
  static QLineEdit* Editor(TMyCustomShellTreeView& tree) {
    for (QLineEdit* line : tree.viewport()->findChildren<QLineEdit*>()) {
      if (line->isVisible()) return line;
    }
    return nullptr;
  }

  static void Commit(TMyCustomShellTreeView& tree, const QString& text) {
    QLineEdit* editor = Editor(tree);
    ASSERT_NE(editor, nullptr);
    editor->setText(text);
    QTest::keyClick(editor, Qt::Key_Return);
    Settle();
  }

  // As the window system delivers it: the press and release of the right button, then the
  // request for a context menu.
  static void RightClick(TMyCustomShellTreeView& tree, const QPoint& at) {
    QTest::mousePress(tree.viewport(), Qt::RightButton, {}, at);
    QTest::mouseRelease(tree.viewport(), Qt::RightButton, {}, at);
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, tree.viewport()->mapToGlobal(at));
    QApplication::sendEvent(tree.viewport(), &event);
  }

  // "text=1" per entry (1 enabled, 0 not), "-" for the separator.
  static QStringList Entries(const QMenu& menu) {
    QStringList entries;
    for (const QAction* action : menu.actions()) {
      entries << (action->isSeparator() ? QStringLiteral("-")
                                        : action->text() + (action->isEnabled() ? "=1" : "=0"));
    }
    return entries;
  }

  static QAction* Verb(QMenu& menu, const char* verb) {
    for (QAction* action : menu.actions()) {
      if (action->data().toString() == QLatin1String(verb)) return action;
    }
    ADD_FAILURE() << "no entry for " << verb;
    return nullptr;
  }

  TempDir data_;     // XDG_DATA_HOME: the trash lives in its "Trash"
  TempDir outside_;  // folders to copy from
  std::unique_ptr<ScopedEnvironment> trashHome_;
  std::unique_ptr<TMyShellTreeView> tree_;
};

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
      {"", false, {"Öffnen=1", "Umbenennen=0", "Kopieren=1", "Einfügen=0", "Löschen=0", "-",
                   "Neuer Ordner=1"}},
      {"B", false, {"Öffnen=1", "Umbenennen=1", "Kopieren=1", "Einfügen=0", "Löschen=1", "-",
                    "Neuer Ordner=1"}},
      {"A/a1", true, {"Öffnen=1", "Umbenennen=1", "Kopieren=1", "Einfügen=1", "Löschen=1", "-",
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
  EXPECT_EQ(tree_->SelectedPath(), At("C"));
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
  EXPECT_EQ(TMyCustomShellTreeView::PathOf(b), At("Bilder"));
  EXPECT_EQ(TMyCustomShellTreeView::IdOf(b), QStringList{At("Bilder")});
  EXPECT_EQ(tree_->SelectedPath(), Root());
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
  EXPECT_EQ(tree_->SelectedPath(), At("neuer_Name"));
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
    EXPECT_EQ(TMyCustomShellTreeView::PathOf(b), At("B"));
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
  EXPECT_EQ(TMyCustomShellTreeView::PathOf(a1), At("Z/a1"));
  EXPECT_EQ(TMyCustomShellTreeView::IdOf(a11), (QStringList{At("Z"), At("Z/a1"), At("Z/a1/a11")}));
  EXPECT_EQ(a11->toolTip(0), At("Z/a1/a11"));
  EXPECT_EQ(tree_->SelectedPath(), At("Z/a1/a11"));
  Settle();
  EXPECT_EQ(changes.count(), 1);
  // The tree finds the renamed nodes under their new paths, without building new ones.
  tree_->SelectPath(At("Z/a1"));
  EXPECT_EQ(tree_->currentItem(), a1);
  EXPECT_EQ(ChildTexts(tree_->topLevelItem(0)), (QStringList{"Z", "B", "C"}));  // not re-sorted
}

TEST_F(TreeCommandsTest, PasteOfTwoFoldersShowsThemKeepingExpandedNodesAndSelection) {
  fs::create_directories(outside_.File("P1/sub"));
  fs::create_directories(outside_.File("P2"));
  WriteFile(outside_.File("P1/p.htm"), "<p>eins");
  Node(QStringLiteral("A/a1"));
  tree_->setCurrentItem(Node(QStringLiteral("A/a1/a11")));
  QSignalSpy changes(tree_.get(), &TMyCustomShellTreeView::OnChange);
  SetClipboardFiles({QString::fromStdString(outside_.File("P1")),
                     QString::fromStdString(outside_.File("P2"))});
  EXPECT_TRUE(tree_->RunShellCommand(Node(QStringLiteral("A")), QString::fromLatin1(verbs::kPaste)));
  QTreeWidgetItem* a = Node(QStringLiteral("A"));
  EXPECT_EQ(ChildTexts(a), (QStringList{"a1", "a2", "P1", "P2"}));
  EXPECT_TRUE(a->isExpanded());
  EXPECT_TRUE(Node(QStringLiteral("A/a1"))->isExpanded());
  EXPECT_FALSE(Node(QStringLiteral("A/P1"))->isExpanded());
  EXPECT_EQ(tree_->SelectedPath(), At("A/a1/a11"));
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
              (QStringList{QStringLiteral("Den Ordner \"%1/a2\" gibt es schon. Zusammenführen und "
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
  EXPECT_TRUE(tree_->RunShellCommand(Node(QStringLiteral("A/a1")), QString::fromLatin1(verbs::kPaste)));
  EXPECT_EQ(boxes_.errors, QStringList{QStringLiteral("Der Ordner \"%1\" kann nicht in sich selbst "
                                                      "eingefügt werden.")
                                           .arg(At("A"))});
  EXPECT_EQ(ChildTexts(Node(QStringLiteral("A/a1"))), QStringList{"a11"});
  for (int round = 0; round < 2; ++round) {
    EXPECT_TRUE(tree_->RunShellCommand(tree_->topLevelItem(0), QString::fromLatin1(verbs::kPaste)));
  }
  EXPECT_TRUE(fs::is_directory(root_.File("A (Kopie)/a1/a11")));
  EXPECT_TRUE(fs::is_directory(root_.File("A (Kopie 2)/a2")));
  EXPECT_EQ(ChildTexts(tree_->topLevelItem(0)), (QStringList{"A", "A (Kopie 2)", "A (Kopie)", "B", "C"}));
  EXPECT_TRUE(boxes_.questions.isEmpty());
  // Without files on the clipboard the command does nothing and reports no success.
  QGuiApplication::clipboard()->clear();
  EXPECT_FALSE(tree_->RunShellCommand(Node(QStringLiteral("B")), QString::fromLatin1(verbs::kPaste)));
}

TEST_F(TreeCommandsTest, DeleteAsksAndMovesTheFolderToTheTrash) {
  File("B/b1/page.htm", "<p>bleibt");
  QTreeWidgetItem* b = Node(QStringLiteral("B"));
  tree_->setCurrentItem(b);
  QSignalSpy changes(tree_.get(), &TMyCustomShellTreeView::OnChange);
  const QString question = QStringLiteral("Den Ordner \"%1\" in den Papierkorb verschieben?").arg(At("B"));

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
  EXPECT_EQ(tree_->SelectedPath(), At("C"));
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
    EXPECT_FALSE(tree_->RunShellCommand(Node(QStringLiteral("C")), QString::fromLatin1(verbs::kDelete)));
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
  const ScopedEnvironment dataHome("XDG_DATA_HOME", data_.File("not/yet"));
  boxes_.answers = {true};
  EXPECT_TRUE(tree_->RunShellCommand(Node(QStringLiteral("A")), QString::fromLatin1(verbs::kDelete)));
  EXPECT_TRUE(fs::is_directory(data_.File("not/yet/Trash/files/A/a1/a11")));
  EXPECT_TRUE(fs::exists(data_.File("not/yet/Trash/info/A.trashinfo")));
  EXPECT_TRUE(fs::is_empty(current.Path()));
  EXPECT_EQ(ChildTexts(tree_->topLevelItem(0)), (QStringList{"B", "C"}));
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
  EXPECT_TRUE(tree_->RunShellCommand(Node(QStringLiteral("B")), QString::fromLatin1(verbs::kNewFolder)));
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
  EXPECT_TRUE(tree_->RunShellCommand(Node(QStringLiteral("A/a1")), QString::fromLatin1(verbs::kOpen)));
  ASSERT_EQ(launcher.urls.size(), 1u);
  EXPECT_EQ(launcher.urls[0], QUrl::fromLocalFile(At("A/a1")));
  EXPECT_EQ(launcher.currentAtOpen, At("A"));
  EXPECT_EQ(QDir::currentPath(), before);
  // A failed command gets no hook action after it.
  launcher.openResult = false;
  EXPECT_FALSE(tree_->RunShellCommand(Node(QStringLiteral("B")), QString::fromLatin1(verbs::kOpen)));
  EXPECT_EQ(boxes_.errors, QStringList{QStringLiteral("Der Ordner \"%1\" konnte nicht geöffnet werden.")
                                           .arg(At("B"))});
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
  EXPECT_EQ(tree_->SelectedPath(), Root());
}

}  // namespace
}  // namespace vk::test
