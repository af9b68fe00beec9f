// The folder tree of the main window's left pane over our folder namespace: lazily loaded
// (a folder's subfolders are read on its first expansion), OnChange on every selection change
// (keyboard included), SelectedPath and SelectPath.
#pragma once

#include <QString>
#include <QTreeWidget>
#include <memory>
#include <stdexcept>

#include "selection/shell_namespace.h"

namespace vk {

// Raised by SelectPath for a path the namespace cannot resolve.
class EInvalidPath : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TMyCustomShellTreeView : public QTreeWidget {
  Q_OBJECT

 public:
  explicit TMyCustomShellTreeView(QWidget* parent = nullptr);
  ~TMyCustomShellTreeView() override;

  // "rfDesktop" (the desktop) or a folder path. Setting it builds the tree anew and selects
  // the root (raising OnChange). A value that names no folder raises
  // "Fehler beim Festlegen des Pfades: \"<root>\"" and leaves root and tree as they were.
  void SetRoot(const QString& root);
  const QString& Root() const { return root_; }

  // The selected folder's path (the desktop root gives the desktop folder); empty without a
  // selected node.
  QString SelectedPath() const;

  // Expands every ancestor of the folder and selects it. Does nothing while the tree is busy
  // with another update or when the folder is already selected. A folder the tree does not
  // show (a hidden one) clears the selection. Raises EInvalidPath
  // ("Fehler beim Festlegen des Pfades: \"<path>\"") when the path names no folder.
  void SelectPath(const QString& path);

  // Deletes every node, adds the root, expands and selects it.
  void BuildRoot();
  // Reads a node's subfolders once; afterwards its expand button shows only with children.
  void LoadChildren(QTreeWidgetItem* node);
  // The node with identifier `id` at or below `start` among the loaded nodes; null if none.
  QTreeWidgetItem* FindNodeInSubtree(const ShellId& id, QTreeWidgetItem* start) const;

  static ShellId IdOf(const QTreeWidgetItem* node);
  static QString PathOf(const QTreeWidgetItem* node);
  const ShellNamespace& Namespace() const { return *namespace_; }

 signals:
  // After every change of the selection; null when it was cleared.
  void OnChange(QTreeWidgetItem* node);

 private:
  QTreeWidgetItem* MakeNode(const ShellItem& item, const ShellId& id, QTreeWidgetItem* parent);
  void ExpandNode(QTreeWidgetItem* node);
  void CurrentChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous);

  std::unique_ptr<ShellNamespace> namespace_;
  QString root_ = QStringLiteral("rfDesktop");
  bool busy_ = false;      // a root build or a SelectPath is running
  bool building_ = false;  // no OnChange while the nodes are deleted
};

// The class the main window places; it adds nothing to its base.
class TMyShellTreeView : public TMyCustomShellTreeView {
  Q_OBJECT

 public:
  using TMyCustomShellTreeView::TMyCustomShellTreeView;
};

}  // namespace vk
