#include "ui/shell_tree_view.h"

#include <QFileInfo>
#include <QHeaderView>
#include <algorithm>

#include "selection/file_names.h"
#include "ui/busy_cursor.h"
#include "ui/icons.h"
#include "ui/label_edit_delegate.h"

namespace vk {
namespace {

QString PathError(const QString& path) {
  return TMyCustomShellTreeView::tr("Fehler beim Festlegen des Pfades: \"%1\"").arg(path);
}
QString PathError(const QByteArray& path) { return PathError(NameText(path)); }

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

}  // namespace

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

ShellItem TMyCustomShellTreeView::ItemOf(const QTreeWidgetItem* node) {
  ShellItem item;
  item.kind = static_cast<ShellItem::Kind>(node->data(0, kKindRole).toInt());
  item.path = node->data(0, kPathRole).toByteArray();
  item.name = node->text(0);
  return item;
}

ShellId TMyCustomShellTreeView::IdOf(const QTreeWidgetItem* node) {
  return node->data(0, kIdRole).value<ShellId>();
}

QByteArray TMyCustomShellTreeView::PathOf(const QTreeWidgetItem* node) {
  return node->data(0, kPathRole).toByteArray();
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
  node->setToolTip(0, NameText(item.path));
  node->setData(0, kPathRole, item.path);
  node->setData(0, kIdRole, QVariant::fromValue(id));
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

QByteArray TMyCustomShellTreeView::SelectedPath() const {
  const QTreeWidgetItem* node = currentItem();
  return node ? PathOf(node) : QByteArray();
}

void TMyCustomShellTreeView::SelectPath(const QByteArray& path) {
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

}  // namespace vk
