// The fixture of the folder tree's command tests: a tree rooted at a throwaway folder with
// "A/a1/a11", "A/a2", "B/b1" and "C", recorded boxes and launches, a trash of the test's own
// (XDG_DATA_HOME), and helpers to find nodes, right-click, edit labels and fill the clipboard.
#pragma once

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
#include "ui/my_shell_tree_view.h"
#include "ui/shell_tree_menu.h"
#include "ui/vk_main.h"

// Readable QString values in failure messages.
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}

namespace vk::test {

namespace fs = std::filesystem;

// Delivers what the last step posted and what that posted in turn: Enter commits an edit
// through a queued call, and a refused name is raised by one more.
inline void Settle() {
  for (int round = 0; round < 3; ++round) QCoreApplication::processEvents();
}

class TreeCommandsTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    trashHome_ = std::make_unique<ScopedEnv>("XDG_DATA_HOME", data_.Path());
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
    for (int i = 0; node != nullptr && i < node->childCount(); ++i)
      texts << node->child(i)->text(0);
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
  std::unique_ptr<ScopedEnv> trashHome_;
  std::unique_ptr<TMyShellTreeView> tree_;
};

}  // namespace vk::test
