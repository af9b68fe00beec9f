// The folder tree's own edits: renaming a folder in place, reloading a subtree and removing a
// node, keeping the paths, expansion and selection of the nodes around them right.
#include <algorithm>
#include <vector>

#include "selection/file_names.h"
#include "ui/busy_cursor.h"
#include "ui/folder_commands.h"
#include "ui/shell_tree_view.h"

namespace vk {
namespace {

bool IsAtOrBelow(const QTreeWidgetItem* node, const QTreeWidgetItem* ancestor) {
  for (; node != nullptr; node = node->parent()) {
    if (node == ancestor) return true;
  }
  return false;
}

// `path` with the folder `from` at its start replaced by `to`; other paths unchanged.
QByteArray Moved(const QByteArray& path, const QByteArray& from, const QByteArray& to) {
  if (path == from) return to;
  if (path.startsWith(from + '/')) return to + path.mid(from.size());
  return path;
}

}  // namespace

bool TMyCustomShellTreeView::CanRename(const QTreeWidgetItem* node) const {
  return node != nullptr && (node->flags() & Qt::ItemIsEditable);
}

void TMyCustomShellTreeView::EditLabel(QTreeWidgetItem* node) {
  if (!CanRename(node)) return;
  scrollToItem(node);
  editItem(node, 0);
}

void TMyCustomShellTreeView::LabelEdited(QTreeWidgetItem* node, const QString& text) {
  QString newName = text;
  if (OnEdited) OnEdited(node, newName);
  if (!CanRename(node)) return;  // the label reverts
  const QString error = RenameNode(node, newName);
  if (error.isEmpty()) return;
  // Raised once the editor is gone, so the program's error display meets a settled tree.
  const std::string message = error.toStdString();
  QMetaObject::invokeMethod(
      this, [message] { throw std::runtime_error(message); }, Qt::QueuedConnection);
}

QString TMyCustomShellTreeView::RenameNode(QTreeWidgetItem* node, const QString& newName) {
  const QString failed = tr("Rename to %1 failed").arg(newName);
  if (!CanRename(node)) return failed;
  const QByteArray oldPath = PathOf(node);
  const std::optional<QByteArray> newPath = RenameFolder(oldPath, TypedName(newName));
  if (!newPath) return failed;
  if (*newPath == oldPath) return QString();
  // Every loaded node below carries the old path in its own path and identifier.
  std::vector<QTreeWidgetItem*> pending{node};
  while (!pending.empty()) {
    QTreeWidgetItem* each = pending.back();
    pending.pop_back();
    const QByteArray path = Moved(PathOf(each), oldPath, *newPath);
    each->setData(0, kPathRole, path);
    each->setToolTip(0, NameText(path));
    ShellId id = IdOf(each);
    for (QByteArray& step : id) step = Moved(step, oldPath, *newPath);
    each->setData(0, kIdRole, QVariant::fromValue(id));
    for (int i = 0; i < each->childCount(); ++i) pending.push_back(each->child(i));
  }
  node->setText(0, newName);
  if (IsAtOrBelow(currentItem(), node)) {
    // The selected folder has a new path: the file list is read again from there.
    QMetaObject::invokeMethod(
        this, [this] { emit OnChange(currentItem()); }, Qt::QueuedConnection);
  }
  return QString();
}

QTreeWidgetItem* TMyCustomShellTreeView::ReloadSubtree(QTreeWidgetItem* old) {
  if (old == nullptr) return nullptr;
  QTreeWidgetItem* top = itemAt(QPoint(0, 0));
  const std::optional<ShellId> topId = top ? std::optional<ShellId>(IdOf(top)) : std::nullopt;
  QTreeWidgetItem* selected = currentItem();
  const bool selectionInside = IsAtOrBelow(selected, old);
  const ShellId selectedId = selected ? IdOf(selected) : ShellId();
  const bool rightClickInside = IsAtOrBelow(rightClickNode_, old);
  const ShellId rightClickId = rightClickNode_ ? IdOf(rightClickNode_) : ShellId();

  UpdateBracket bracket(this);
  BusyCursor busy;
  QTreeWidgetItem* fresh = new QTreeWidgetItem;
  {
    building_ = true;
    struct Release {
      bool& flag;
      ~Release() { flag = false; }
    } release{building_};
    for (int role : {kPathRole, kIdRole, kKindRole, kRootRole}) {
      fresh->setData(0, role, old->data(0, role));
    }
    fresh->setData(0, kLoadedRole, false);
    fresh->setText(0, old->text(0));
    fresh->setToolTip(0, old->toolTip(0));
    fresh->setFlags(old->flags());
    SetNodeIcon(fresh, false);
    if (QTreeWidgetItem* parent = old->parent()) {
      parent->insertChild(parent->indexOfChild(old), fresh);
    } else {
      insertTopLevelItem(indexOfTopLevelItem(old), fresh);
    }
    LoadChildren(fresh);
    // Parents come before their children, so each counterpart's parent is loaded already.
    std::vector<QTreeWidgetItem*> pending{old};
    while (!pending.empty()) {
      QTreeWidgetItem* each = pending.back();
      pending.pop_back();
      if (each->isExpanded()) {
        if (QTreeWidgetItem* counterpart = FindNodeInSubtree(IdOf(each), fresh)) {
          ExpandNode(counterpart);
        }
      }
      for (int i = each->childCount() - 1; i >= 0; --i) pending.push_back(each->child(i));
    }
    delete old;
    if (rightClickInside) rightClickNode_ = FindNodeInSubtree(rightClickId, fresh);
    if (selectionInside) setCurrentItem(FindNodeInSubtree(selectedId, topLevelItem(0)));
    if (topId) {
      if (QTreeWidgetItem* again = FindNodeInSubtree(*topId, topLevelItem(0))) {
        scrollToItem(again, QAbstractItemView::PositionAtTop);
      }
    }
  }
  if (selectionInside) {
    if (currentItem() != nullptr) SetNodeIcon(currentItem(), true);
    emit OnChange(currentItem());
  }
  return fresh;
}

void TMyCustomShellTreeView::RemoveNode(QTreeWidgetItem* node) {
  if (node == nullptr) return;
  if (IsAtOrBelow(currentItem(), node)) {
    QTreeWidgetItem* parent = node->parent();
    const int index = parent ? parent->indexOfChild(node) : indexOfTopLevelItem(node);
    const int count = parent ? parent->childCount() : topLevelItemCount();
    auto sibling = [&](int i) { return parent ? parent->child(i) : topLevelItem(i); };
    QTreeWidgetItem* next = index + 1 < count ? sibling(index + 1)
                            : index > 0       ? sibling(index - 1)
                                              : parent;
    setCurrentItem(next);
  }
  if (IsAtOrBelow(rightClickNode_, node)) rightClickNode_ = nullptr;
  delete node;
}

}  // namespace vk
