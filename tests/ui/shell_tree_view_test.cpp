// The folder tree rooted at a throwaway folder: the root built and selected, lazy loading,
// hidden folders, the order of children, SelectPath and the OnChange notifications.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <filesystem>

#include "main_window_support.h"
#include "ui/my_shell_tree_view.h"

namespace vk::test {
namespace {

class ShellTreeViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StartVelkaroApplication();
    for (const char* folder : {"beta", "Alpha/x/y/z", "gamma/.git", ".hidden/inner", "Delta"}) {
      std::filesystem::create_directories(root_.File(folder));
    }
    tree_.resize(300, 400);
  }

  QString At(const std::string& name) const { return QString::fromStdString(root_.File(name)); }
  QByteArray Bytes(const std::string& name) const {
    return QByteArray::fromStdString(root_.File(name));
  }

  QStringList ChildTexts(QTreeWidgetItem* node) const {
    QStringList texts;
    for (int i = 0; i < node->childCount(); ++i) texts << node->child(i)->text(0);
    return texts;
  }

  QTreeWidgetItem* Child(QTreeWidgetItem* node, const QString& text) const {
    for (int i = 0; i < node->childCount(); ++i) {
      if (node->child(i)->text(0) == text) return node->child(i);
    }
    return nullptr;
  }

  TempDir root_;
  ApplicationStarter starter_;
  TMyShellTreeView tree_;
};

TEST_F(ShellTreeViewTest, RootIsBuiltExpandedAndSelectedWithOneChange) {
  QSignalSpy changes(&tree_, &TMyCustomShellTreeView::OnChange);
  tree_.SetRoot(QString::fromStdString(root_.Path()));
  ASSERT_EQ(tree_.topLevelItemCount(), 1);
  QTreeWidgetItem* root = tree_.topLevelItem(0);
  EXPECT_EQ(root->text(0), QString::fromStdString(std::filesystem::path(root_.Path()).filename()));
  EXPECT_TRUE(root->isExpanded());
  EXPECT_EQ(tree_.currentItem(), root);
  EXPECT_EQ(changes.count(), 1);
  EXPECT_EQ(tree_.SelectedPath(), QByteArray::fromStdString(root_.Path()));
  // Hidden folders are left out; the others follow the locale's order, ignoring case.
  EXPECT_EQ(ChildTexts(root), (QStringList{QStringLiteral("Alpha"), QStringLiteral("beta"),
                                           QStringLiteral("Delta"), QStringLiteral("gamma")}));
}

TEST_F(ShellTreeViewTest, ChildrenAreReadOnFirstExpansionAndButtonsFollowThem) {
  tree_.SetRoot(QString::fromStdString(root_.Path()));
  QTreeWidgetItem* root = tree_.topLevelItem(0);
  QTreeWidgetItem* alpha = Child(root, QStringLiteral("Alpha"));
  QTreeWidgetItem* beta = Child(root, QStringLiteral("beta"));
  QTreeWidgetItem* gamma = Child(root, QStringLiteral("gamma"));
  ASSERT_TRUE(alpha && beta && gamma);
  // Not read before the first expansion; the button comes from a cheap look.
  EXPECT_EQ(alpha->childCount(), 0);
  EXPECT_EQ(alpha->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
  EXPECT_EQ(beta->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicator);
  EXPECT_EQ(gamma->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicator);  // only .git

  // A folder created now shows up, because nothing was read yet ...
  std::filesystem::create_directories(root_.File("Alpha/w"));
  tree_.expandItem(alpha);
  EXPECT_EQ(ChildTexts(alpha), (QStringList{QStringLiteral("w"), QStringLiteral("x")}));
  EXPECT_EQ(Child(alpha, QStringLiteral("w"))->childIndicatorPolicy(),
            QTreeWidgetItem::DontShowIndicator);
  // ... but once read, a folder is not read again.
  std::filesystem::create_directories(root_.File("Alpha/v"));
  tree_.collapseItem(alpha);
  tree_.expandItem(alpha);
  EXPECT_EQ(alpha->childCount(), 2);
}

TEST_F(ShellTreeViewTest, SelectPathExpandsEveryAncestorAndChangesOnce) {
  tree_.SetRoot(QString::fromStdString(root_.Path()));
  QSignalSpy changes(&tree_, &TMyCustomShellTreeView::OnChange);
  tree_.SelectPath(Bytes("Alpha/x/y/z"));
  EXPECT_EQ(tree_.SelectedPath(), Bytes("Alpha/x/y/z"));
  EXPECT_EQ(changes.count(), 1);
  QTreeWidgetItem* node = tree_.currentItem();
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(node->text(0), QStringLiteral("z"));
  QStringList ancestors;
  for (QTreeWidgetItem* up = node->parent(); up != nullptr; up = up->parent()) {
    EXPECT_TRUE(up->isExpanded()) << up->text(0).toStdString();
    ancestors.prepend(up->text(0));
  }
  EXPECT_EQ(ancestors.mid(1),
            (QStringList{QStringLiteral("Alpha"), QStringLiteral("x"), QStringLiteral("y")}));
  // The same folder again, also spelled with a trailing separator: nothing happens.
  tree_.SelectPath(Bytes("Alpha/x/y/z"));
  tree_.SelectPath(Bytes("Alpha/x/y/z/"));
  EXPECT_EQ(changes.count(), 1);
  EXPECT_EQ(tree_.currentItem(), node);
}

TEST_F(ShellTreeViewTest, SelectPathOfTheSelectedRootRaisesNoChange) {
  tree_.SetRoot(QString::fromStdString(root_.Path()));
  QSignalSpy changes(&tree_, &TMyCustomShellTreeView::OnChange);
  tree_.SelectPath(QByteArray::fromStdString(root_.Path()));
  EXPECT_EQ(changes.count(), 0);
}

TEST_F(ShellTreeViewTest, SelectPathOfAnUnknownPathRaisesTheMessage) {
  tree_.SetRoot(QString::fromStdString(root_.Path()));
  QSignalSpy changes(&tree_, &TMyCustomShellTreeView::OnChange);
  struct Case {
    QString path;
  };
  const Case cases[] = {{At("nowhere")}, {QStringLiteral("")}, {QStringLiteral("/")}};
  for (const Case& c : cases) {
    try {
      tree_.SelectPath(c.path.toUtf8());
      ADD_FAILURE() << "no error for " << c.path.toStdString();
    } catch (const EInvalidPath& error) {
      EXPECT_EQ(std::string(error.what()),
                "Fehler beim Festlegen des Pfades: \"" + c.path.toStdString() + "\"");
    }
  }
  EXPECT_EQ(changes.count(), 0);
  EXPECT_EQ(tree_.SelectedPath(), QByteArray::fromStdString(root_.Path()));
}

TEST_F(ShellTreeViewTest, SelectPathOfAHiddenFolderClearsTheSelection) {
  tree_.SetRoot(QString::fromStdString(root_.Path()));
  QSignalSpy changes(&tree_, &TMyCustomShellTreeView::OnChange);
  tree_.SelectPath(Bytes(".hidden/inner"));
  EXPECT_EQ(changes.count(), 1);
  EXPECT_EQ(tree_.currentItem(), nullptr);
  EXPECT_EQ(tree_.SelectedPath(), QByteArray());
}

TEST_F(ShellTreeViewTest, EveryStepOfKeyboardNavigationRaisesAChange) {
  tree_.SetRoot(QString::fromStdString(root_.Path()));
  tree_.show();
  tree_.setFocus();
  QSignalSpy changes(&tree_, &TMyCustomShellTreeView::OnChange);
  QTest::keyClick(&tree_, Qt::Key_Down);
  EXPECT_EQ(tree_.SelectedPath(), Bytes("Alpha"));
  QTest::keyClick(&tree_, Qt::Key_Down);
  EXPECT_EQ(tree_.SelectedPath(), Bytes("beta"));
  EXPECT_EQ(changes.count(), 2);
}

TEST_F(ShellTreeViewTest, AnUnknownRootKeepsTheTreeAsItWas) {
  tree_.SetRoot(QString::fromStdString(root_.Path()));
  const QString missing = At("missing");
  try {
    tree_.SetRoot(missing);
    ADD_FAILURE() << "no error";
  } catch (const std::runtime_error& error) {
    EXPECT_EQ(QString::fromStdString(error.what()),
              QStringLiteral("Fehler beim Festlegen des Pfades: \"%1\"").arg(missing));
  }
  EXPECT_EQ(tree_.Root(), QString::fromStdString(root_.Path()));
  EXPECT_EQ(tree_.SelectedPath(), QByteArray::fromStdString(root_.Path()));
  EXPECT_EQ(tree_.topLevelItem(0)->childCount(), 4);
}

}  // namespace
}  // namespace vk::test
