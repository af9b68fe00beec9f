#include "ui/shell_tree_view.h"

#include <QFileInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QStyledItemDelegate>
#include <algorithm>
#include <vector>

#include "ui/busy_cursor.h"
#include "ui/folder_commands.h"
#include "ui/icons.h"

namespace vk {
namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kIdRole = Qt::UserRole + 1;
constexpr int kLoadedRole = Qt::UserRole + 2;
constexpr int kKindRole = Qt::UserRole + 3;
constexpr int kRootRole = Qt::UserRole + 4;

QString PathError(const QString& path) {
  return QStringLiteral("Fehler beim Festlegen des Pfades: \"%1\"").arg(path);
}

QIcon NodeIcon(ShellItem::Kind kind, bool desktopRoot, bool selected) {
  switch (kind) {
    case ShellItem::Kind::kRoot:
      if (desktopRoot) return Icon(IconKind::kDesktop);
      break;
    case ShellItem::Kind::kHome:
      return Icon(IconKind::kHome);
    case ShellItem::Kind::kFileSystem:
    case ShellItem::Kind::kVolume:
      return Icon(IconKind::kDrive);
    case ShellItem::Kind::kFolder:
      break;
  }
  return Icon(selected ? IconKind::kFolderOpen : IconKind::kFolder);
}

ShellItem ItemOf(const QTreeWidgetItem* node) {
  ShellItem item;
  item.kind = static_cast<ShellItem::Kind>(node->data(0, kKindRole).toInt());
  item.path = node->data(0, kPathRole).toString();
  item.name = node->text(0);
  return item;
}

bool IsAtOrBelow(const QTreeWidgetItem* node, const QTreeWidgetItem* ancestor) {
  for (; node != nullptr; node = node->parent()) {
    if (node == ancestor) return true;
  }
  return false;
}

// `path` with the folder `from` at its start replaced by `to`; other paths unchanged.
QString Moved(const QString& path, const QString& from, const QString& to) {
  if (path == from) return to;
  if (path.startsWith(from + QLatin1Char('/'))) return to + path.mid(from.size());
  return path;
}

}  // namespace

// Ends an edit of a node's label through the tree's rename instead of writing the text into
// the node: the text changes only when the folder on disk got the new name.
class LabelEditDelegate : public QStyledItemDelegate {
 public:
  explicit LabelEditDelegate(TMyCustomShellTreeView* tree)
      : QStyledItemDelegate(tree), tree_(tree) {}

  void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override {
    auto* line = qobject_cast<QLineEdit*>(editor);
    QTreeWidgetItem* node = tree_->itemFromIndex(index);
    if (line != nullptr && node != nullptr) tree_->LabelEdited(node, line->text());
  }

 private:
  TMyCustomShellTreeView* tree_;
};

TMyCustomShellTreeView::TMyCustomShellTreeView(QWidget* parent)
    : QTreeWidget(parent), namespace_(std::make_unique<ShellNamespace>()) {
  setColumnCount(1);
  setHeaderHidden(true);
  setRootIsDecorated(false);  // no line or button at the root level
  setIndentation(19);
  setSelectionMode(QAbstractItemView::SingleSelection);
  // A click on the selected node's label or F2 renames it in place.
  setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
  setItemDelegate(new LabelEditDelegate(this));
  setUniformRowHeights(true);
  setExpandsOnDoubleClick(true);
  header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  header()->setStretchLastSection(false);
  connect(this, &QTreeWidget::itemExpanded, this, &TMyCustomShellTreeView::LoadChildren);
  connect(this, &QTreeWidget::currentItemChanged, this, &TMyCustomShellTreeView::CurrentChanged);
}

TMyCustomShellTreeView::~TMyCustomShellTreeView() {
  // The base class deletes the nodes after this object's own parts are gone.
  disconnect(this, &QTreeWidget::currentItemChanged, this, nullptr);
  disconnect(this, &QTreeWidget::itemExpanded, this, nullptr);
}

ShellId TMyCustomShellTreeView::IdOf(const QTreeWidgetItem* node) {
  return node->data(0, kIdRole).toStringList();
}

QString TMyCustomShellTreeView::PathOf(const QTreeWidgetItem* node) {
  return node->data(0, kPathRole).toString();
}

void TMyCustomShellTreeView::SetRoot(const QString& root) {
  const bool desktop = root.isEmpty() || root == QLatin1String("rfDesktop");
  if (!desktop && !QFileInfo(root).isDir()) throw std::runtime_error(PathError(root).toStdString());
  namespace_ = std::make_unique<ShellNamespace>(desktop ? QString() : root);
  root_ = desktop ? QStringLiteral("rfDesktop") : root;
  BuildRoot();
}

void TMyCustomShellTreeView::BuildRoot() {
  if (busy_) return;
  UpdateBracket bracket(this);
  QTreeWidgetItem* root = nullptr;
  {
    busy_ = true;
    building_ = true;
    struct Release {
      bool& busy;
      bool& building;
      ~Release() { busy = building = false; }
    } release{busy_, building_};
    clear();
    root = MakeNode(namespace_->Root(), ShellId(), nullptr);
    root->setData(0, kRootRole, true);
    ExpandNode(root);
  }
  setCurrentItem(root);
}

QTreeWidgetItem* TMyCustomShellTreeView::MakeNode(const ShellItem& item, const ShellId& id,
                                                  QTreeWidgetItem* parent) {
  auto* node = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
  node->setText(0, item.name);
  node->setToolTip(0, item.path);
  node->setData(0, kPathRole, item.path);
  node->setData(0, kIdRole, id);
  node->setData(0, kKindRole, static_cast<int>(item.kind));
  node->setData(0, kLoadedRole, false);
  node->setIcon(0, NodeIcon(item.kind, namespace_->IsDesktop(), false));
  const bool isRoot = parent == nullptr;
  if (!isRoot && item.kind == ShellItem::Kind::kFolder) {
    node->setFlags(node->flags() | Qt::ItemIsEditable);
  }
  node->setChildIndicatorPolicy(namespace_->HasChildren(item, isRoot)
                                    ? QTreeWidgetItem::ShowIndicator
                                    : QTreeWidgetItem::DontShowIndicator);
  return node;
}

void TMyCustomShellTreeView::LoadChildren(QTreeWidgetItem* node) {
  if (node == nullptr || node->data(0, kLoadedRole).toBool()) return;
  node->setData(0, kLoadedRole, true);
  BusyCursor busy;
  UpdateBracket bracket(this);
  const bool isRoot = node->data(0, kRootRole).toBool();
  const ShellId parentId = IdOf(node);
  for (const ShellItem& child : namespace_->Children(ItemOf(node), isRoot)) {
    ShellId id = parentId;
    id << child.path;
    MakeNode(child, id, node);
  }
  node->setChildIndicatorPolicy(node->childCount() > 0
                                    ? QTreeWidgetItem::DontShowIndicatorWhenChildless
                                    : QTreeWidgetItem::DontShowIndicator);
}

void TMyCustomShellTreeView::ExpandNode(QTreeWidgetItem* node) {
  LoadChildren(node);
  node->setExpanded(true);
}

QTreeWidgetItem* TMyCustomShellTreeView::FindNodeInSubtree(const ShellId& id,
                                                           QTreeWidgetItem* start) const {
  if (start == nullptr) return nullptr;
  const ShellId startId = IdOf(start);
  if (startId == id) return start;
  // A node's identifier extends its parent's, so only a prefix can lead to the target.
  if (startId.size() >= id.size() || !std::equal(startId.begin(), startId.end(), id.begin())) {
    return nullptr;
  }
  for (int i = 0; i < start->childCount(); ++i) {
    if (QTreeWidgetItem* found = FindNodeInSubtree(id, start->child(i))) return found;
  }
  return nullptr;
}

QString TMyCustomShellTreeView::SelectedPath() const {
  const QTreeWidgetItem* node = currentItem();
  return node ? PathOf(node) : QString();
}

void TMyCustomShellTreeView::SelectPath(const QString& path) {
  const std::optional<ShellId> id = namespace_->Parse(path);
  if (!id) throw EInvalidPath(PathError(path).toStdString());
  if (busy_) return;
  if (currentItem() != nullptr && IdOf(currentItem()) == *id) return;
  busy_ = true;
  struct Release {
    bool& flag;
    ~Release() { flag = false; }
  } release{busy_};
  UpdateBracket bracket(this);
  QTreeWidgetItem* current = topLevelItem(0);
  for (qsizetype length = 0; length < id->size(); ++length) {
    if (QTreeWidgetItem* found = FindNodeInSubtree(id->mid(0, length), current)) {
      ExpandNode(found);
      current = found;
    }
  }
  QTreeWidgetItem* target = FindNodeInSubtree(*id, current);
  if (target != nullptr) {
    setCurrentItem(target);
    scrollToItem(target);
  } else {
    setCurrentItem(nullptr);
    clearSelection();
  }
}

void TMyCustomShellTreeView::SetNodeIcon(QTreeWidgetItem* node, bool selected) {
  node->setIcon(0, NodeIcon(ItemOf(node).kind, namespace_->IsDesktop(), selected));
}

void TMyCustomShellTreeView::CurrentChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous) {
  if (building_) return;
  if (previous != nullptr) SetNodeIcon(previous, false);
  if (current != nullptr) SetNodeIcon(current, true);
  emit OnChange(current);
}

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
  const QString failed = QStringLiteral("Rename to %1 failed").arg(newName);
  if (!CanRename(node)) return failed;
  const QString oldPath = PathOf(node);
  const std::optional<QString> newPath = RenameFolder(oldPath, newName);
  if (!newPath) return failed;
  if (*newPath == oldPath) return QString();
  // Every loaded node below carries the old path in its own path and identifier.
  std::vector<QTreeWidgetItem*> pending{node};
  while (!pending.empty()) {
    QTreeWidgetItem* each = pending.back();
    pending.pop_back();
    const QString path = Moved(PathOf(each), oldPath, *newPath);
    each->setData(0, kPathRole, path);
    each->setToolTip(0, path);
    ShellId id = IdOf(each);
    for (QString& step : id) step = Moved(step, oldPath, *newPath);
    each->setData(0, kIdRole, id);
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
