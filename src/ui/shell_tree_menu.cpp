// The folder tree's right-click (the node under the pointer counts as selected, the real
// selection stays), its menu, the hooks around each command and the commands themselves.
#include "ui/shell_tree_menu.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QAction>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <memory>

#include "selection/file_names.h"
#include "ui/folder_commands.h"
#include "ui/shell_tree_view.h"

namespace vk {
namespace {

bool Is(const QString& verb, const char* name) {
  return verb.compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
}

QAction* AddEntry(QMenu& menu, const QString& text, const char* verb, const char* themeIcon,
                  bool enabled) {
  QAction* action = menu.addAction(QIcon::fromTheme(QLatin1String(themeIcon)), text);
  action->setData(QString::fromLatin1(verb));
  action->setObjectName(QStringLiteral("ShellMenu_") + QLatin1String(verb));
  action->setEnabled(enabled);
  return action;
}

// Clears the right-clicked node on every way out.
class CountingScope {
 public:
  CountingScope(QTreeWidgetItem*& slot, QTreeWidgetItem* node, QWidget* view)
      : slot_(slot), view_(view) {
    slot_ = node;
    view_->update();
  }
  ~CountingScope() {
    slot_ = nullptr;
    view_->update();
  }
  CountingScope(const CountingScope&) = delete;
  CountingScope& operator=(const CountingScope&) = delete;

 private:
  QTreeWidgetItem*& slot_;
  QWidget* view_;
};

}  // namespace

void TMyCustomShellTreeView::contextMenuEvent(QContextMenuEvent* event) {
  QTreeWidgetItem* node = nullptr;
  QPoint at = event->pos();
  if (event->reason() == QContextMenuEvent::Mouse) node = itemAt(at);
  if (node == nullptr) {
    // Beside the nodes, and from the keyboard, the selected node counts.
    node = currentItem();
    if (node != nullptr && event->reason() != QContextMenuEvent::Mouse) {
      at = visualItemRect(node).center();
    }
  }
  event->accept();
  if (node != nullptr) ShowShellMenu(node, at.x(), at.y());
}

// The right button only opens the menu: the node under the pointer counts as selected for the
// menu, but the real selection stays (the view would move it on a press of any button).
void TMyCustomShellTreeView::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::RightButton) return event->accept();
  QTreeWidget::mousePressEvent(event);
}

void TMyCustomShellTreeView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::RightButton) return event->accept();
  QTreeWidget::mouseReleaseEvent(event);
}

void TMyCustomShellTreeView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::RightButton) return event->accept();
  QTreeWidget::mouseDoubleClickEvent(event);
}

void TMyCustomShellTreeView::drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                                     const QModelIndex& index) const {
  QTreeWidget::drawRow(painter, option, index);
  // The node whose menu is open is framed, while the real selection stays where it is.
  if (rightClickNode_ != nullptr && itemFromIndex(index) == rightClickNode_) {
    QRect label = visualRect(index).adjusted(0, 0, -1, -1);
    painter->save();
    painter->setPen(palette().color(QPalette::Highlight));
    painter->drawRect(label);
    painter->restore();
  }
}

QTreeWidgetItem* TMyCustomShellTreeView::CountingNode() const {
  return rightClickNode_ != nullptr ? rightClickNode_ : currentItem();
}

QMenu* TMyCustomShellTreeView::BuildShellMenu(QTreeWidgetItem* node) {
  auto* menu = new QMenu(this);
  menu->setObjectName(QStringLiteral("ShellMenu"));
  const bool own = CanRename(node);  // a folder of its own, not the root or a place
  QAction* open = AddEntry(*menu, tr("Öffnen"), verbs::kOpen, "document-open", true);
  AddEntry(*menu, tr("Umbenennen"), verbs::kRename, "edit-rename", own);
  AddEntry(*menu, tr("Kopieren"), verbs::kCopy, "edit-copy", true);
  AddEntry(*menu, tr("Einfügen"), verbs::kPaste, "edit-paste", !ClipboardFiles().isEmpty());
  AddEntry(*menu, tr("Löschen"), verbs::kDelete, "edit-delete", own);
  menu->addSeparator();
  AddEntry(*menu, tr("Neuer Ordner"), verbs::kNewFolder, "folder-new", true);
  menu->setDefaultAction(open);
  return menu;
}

void TMyCustomShellTreeView::ShowShellMenu(QTreeWidgetItem* node, int x, int y) {
  if (node == nullptr) return;
  CountingScope counting(rightClickNode_, node, viewport());
  const std::unique_ptr<QMenu> menu(BuildShellMenu(node));
  const QPoint globalPos = viewport()->mapToGlobal(QPoint(x, y));
  QAction* chosen = menuRunner_ ? menuRunner_(*menu, globalPos) : menu->exec(globalPos);
  if (chosen == nullptr || !chosen->isEnabled()) return;
  // The node may be gone when the command ends; the scope only clears the slot.
  RunShellCommand(rightClickNode_, chosen->data().toString());
}

bool TMyCustomShellTreeView::RunShellCommand(QTreeWidgetItem* node, const QString& verb) {
  if (node == nullptr) return false;
  CountingScope counting(rightClickNode_, node, viewport());
  bool handled = false;
  BeforeShellCommand(verb, handled);
  const bool succeeded = handled || InvokeShellCommand(CountingNode(), verb);
  AfterShellCommand(verb, succeeded);
  return succeeded;
}

void TMyCustomShellTreeView::BeforeShellCommand(const QString& verb, bool& handled) {
  QTreeWidgetItem* node = CountingNode();
  if (Is(verb, verbs::kRename)) {
    if (node != nullptr) {
      EditLabel(node);
      handled = true;
    }
  } else if (Is(verb, verbs::kOpen)) {
    savedDirectory_ = Bytes(CleanPath("."));
    // The file manager starts in the folder's parent, as the shell's "open" does.
    if (node != nullptr) {
      const QByteArray path = PathOf(node);
      const qsizetype slash = path.lastIndexOf('/');
      const QByteArray parent = slash <= 0 ? QByteArray("/") : path.left(slash);
      if (chdir(parent.constData()) != 0) {
        // The folder's parent is gone: the current folder stays, the command reports.
      }
    }
  }
}

void TMyCustomShellTreeView::AfterShellCommand(const QString& verb, bool succeeded) {
  QTreeWidgetItem* node = CountingNode();
  if (!succeeded || node == nullptr) return;
  if (Is(verb, verbs::kDelete)) {
    struct stat info {};
    if (lstat(PathOf(node).constData(), &info) != 0) RemoveNode(node);
  } else if (Is(verb, verbs::kPaste)) {
    ReloadSubtree(node);
  } else if (Is(verb, verbs::kOpen)) {
    if (chdir(savedDirectory_.constData()) != 0) {
      // The remembered folder is gone meanwhile: nothing to go back to.
    }
  }
}

bool TMyCustomShellTreeView::InvokeShellCommand(QTreeWidgetItem* node, const QString& verb) {
  if (node == nullptr) return false;
  const QByteArray path = PathOf(node);
  if (Is(verb, verbs::kOpen)) return OpenFolder(path, this);
  if (Is(verb, verbs::kCopy)) {
    CopyFolderToClipboard(path);
    return true;
  }
  if (Is(verb, verbs::kPaste)) return PasteClipboardInto(path, this);
  if (Is(verb, verbs::kDelete)) return CanRename(node) && MoveFolderToTrash(path, this);
  if (Is(verb, verbs::kNewFolder)) {
    const QByteArray created = CreateNewFolder(path, this);
    if (created.isEmpty()) return false;
    // The tree does not watch the disk: the folder's node is read again, then the new one named.
    QTreeWidgetItem* folder = ReloadSubtree(node);
    expandItem(folder);
    ShellId id = IdOf(folder);
    id << created;
    if (QTreeWidgetItem* fresh = FindNodeInSubtree(id, folder)) EditLabel(fresh);
    return true;
  }
  return false;  // "rename" without a node
}

}  // namespace vk
