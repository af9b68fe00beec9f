// The folder tree of the main window's left pane over our folder namespace: lazily loaded
// (a folder's subfolders are read on its first expansion), OnChange on every selection change
// (keyboard included), SelectedPath and SelectPath; a folder's context menu with its commands,
// renaming in place and reloading a subtree that keeps expanded nodes, selection and scroll.
#pragma once

#include <QString>
#include <QTreeWidget>
#include <functional>
#include <memory>
#include <stdexcept>

#include "selection/shell_namespace.h"

class QAction;
class QMenu;

namespace vk {

// Raised by SelectPath for a path the namespace cannot resolve.
class EInvalidPath : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class LabelEditDelegate;

class TMyCustomShellTreeView : public QTreeWidget {
  Q_OBJECT
  friend class LabelEditDelegate;

 public:
  explicit TMyCustomShellTreeView(QWidget* parent = nullptr);
  ~TMyCustomShellTreeView() override;

  // "rfDesktop" (the desktop) or a folder path. Setting it builds the tree anew and selects
  // the root (raising OnChange). A value that names no folder raises
  // "Fehler beim Festlegen des Pfades: \"<root>\"" and leaves root and tree as they were.
  void SetRoot(const QString& root);
  const QString& Root() const { return root_; }

  // The selected folder's path, the file system's bytes (the desktop root gives the desktop
  // folder); empty without a selected node.
  QByteArray SelectedPath() const;

  // Expands every ancestor of the folder and selects it. Does nothing while the tree is busy
  // with another update or when the folder is already selected. A folder the tree does not
  // show (a hidden one) clears the selection. Raises EInvalidPath
  // ("Fehler beim Festlegen des Pfades: \"<path>\"") when the path names no folder.
  void SelectPath(const QByteArray& path);

  // Deletes every node, adds the root, expands and selects it.
  void BuildRoot();
  // Reads a node's subfolders once; afterwards its expand button shows only with children.
  void LoadChildren(QTreeWidgetItem* node);
  // The node with identifier `id` at or below `start` among the loaded nodes; null if none.
  QTreeWidgetItem* FindNodeInSubtree(const ShellId& id, QTreeWidgetItem* start) const;

  static ShellId IdOf(const QTreeWidgetItem* node);
  // A node's folder, as bytes; its text is what file_names.h shows of the name.
  static QByteArray PathOf(const QTreeWidgetItem* node);
  const ShellNamespace& Namespace() const { return *namespace_; }

  // --- Commands (shell_tree_menu.cpp) ---
  // The node the commands act on: the right-clicked one while its menu is open and its command
  // runs, else the selected one.
  QTreeWidgetItem* CountingNode() const;
  // Builds the menu of `node`'s folder (actions carry their verb as data), shows it at (x, y)
  // in viewport coordinates and runs the chosen command with RunShellCommand.
  void ShowShellMenu(QTreeWidgetItem* node, int x, int y);
  // The menu for `node`: "Öffnen", "Umbenennen", "Kopieren", "Einfügen", "Löschen", a separator
  // and "Neuer Ordner", each disabled where it cannot run. The caller owns it.
  QMenu* BuildShellMenu(QTreeWidgetItem* node);
  // While `node` counts as selected: BeforeShellCommand, the command unless handled, then
  // AfterShellCommand. Returns whether it succeeded.
  bool RunShellCommand(QTreeWidgetItem* node, const QString& verb);
  // "rename" opens the counting node's label for editing (handled); "open" remembers the
  // current directory and makes the node's parent folder current.
  virtual void BeforeShellCommand(const QString& verb, bool& handled);
  // Only after success: "delete" removes the node once its folder is gone, "paste" reloads its
  // subtree, "open" restores the remembered current directory.
  virtual void AfterShellCommand(const QString& verb, bool succeeded);
  // Replaces how a shown menu is run (tests choose an action without a modal loop); the
  // default shows it at `globalPos` and returns the chosen action or null.
  using MenuRunner = std::function<QAction*(QMenu& menu, const QPoint& globalPos)>;
  void SetMenuRunner(MenuRunner runner) { menuRunner_ = std::move(runner); }

  // --- Renaming and reloading (shell_tree_edit.cpp) ---
  // Whether the node's folder may get a new name (not the root or a top-level place).
  bool CanRename(const QTreeWidgetItem* node) const;
  // Opens the node's label for editing in place.
  void EditLabel(QTreeWidgetItem* node);
  // Renames the node's folder on disk to the UTF-8 bytes of `newName` (a name typed by the user
  // is UTF-8, as the desktop gives it); on success the node's text, path and identifier, and
  // those of every loaded node below it, follow the new name, and OnChange tells of the new
  // selected path when the selected node is at or below it. Returns "" or the message
  // "Rename to <newName> failed" (the node then keeps its text).
  QString RenameNode(QTreeWidgetItem* node, const QString& newName);
  // Rebuilds `node`'s subtree from disk keeping expanded nodes expanded, the selected node
  // selected and the topmost visible node at the top. Returns the node that replaced `node`.
  QTreeWidgetItem* ReloadSubtree(QTreeWidgetItem* node);
  // Removes a node and its subtree; a selection inside it moves first to the next sibling,
  // else the previous one, else the parent (raising OnChange).
  void RemoveNode(QTreeWidgetItem* node);

  // May change the edited text before the rename (the node, the text).
  std::function<void(QTreeWidgetItem*, QString&)> OnEdited;

 signals:
  // After every change of the selection; null when it was cleared.
  void OnChange(QTreeWidgetItem* node);

 protected:
  // The right button (shell_tree_menu.cpp): the menu of the node under the pointer, or of the
  // selected node beside the nodes and from the keyboard; the press selects nothing.
  void contextMenuEvent(QContextMenuEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void drawRow(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

 private:
  // What a node carries besides its text.
  static constexpr int kPathRole = Qt::UserRole;
  static constexpr int kIdRole = Qt::UserRole + 1;
  static constexpr int kLoadedRole = Qt::UserRole + 2;
  static constexpr int kKindRole = Qt::UserRole + 3;
  static constexpr int kRootRole = Qt::UserRole + 4;

  static ShellItem ItemOf(const QTreeWidgetItem* node);
  QTreeWidgetItem* MakeNode(const ShellItem& item, const ShellId& id, QTreeWidgetItem* parent);
  void ExpandNode(QTreeWidgetItem* node);
  void CurrentChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous);
  void SetNodeIcon(QTreeWidgetItem* node, bool selected);
  // The end of an edit with `text`: OnEdited, then the rename; a refusal is raised as an error
  // once the editor has closed.
  void LabelEdited(QTreeWidgetItem* node, const QString& text);
  bool InvokeShellCommand(QTreeWidgetItem* node, const QString& verb);

  std::unique_ptr<ShellNamespace> namespace_;
  QString root_ = QStringLiteral("rfDesktop");
  bool busy_ = false;      // a root build or a SelectPath is running
  bool building_ = false;  // no OnChange while the nodes are deleted
  QTreeWidgetItem* rightClickNode_ = nullptr;
  QByteArray savedDirectory_;  // the current directory "open" changed
  MenuRunner menuRunner_;
};

}  // namespace vk
