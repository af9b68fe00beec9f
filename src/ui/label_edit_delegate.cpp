#include "ui/label_edit_delegate.h"

#include <QLineEdit>

#include "ui/shell_tree_view.h"

namespace vk {

LabelEditDelegate::LabelEditDelegate(TMyCustomShellTreeView* tree)
    : QStyledItemDelegate(tree), tree_(tree) {}

void LabelEditDelegate::setModelData(QWidget* editor, QAbstractItemModel*,
                                     const QModelIndex& index) const {
  auto* line = qobject_cast<QLineEdit*>(editor);
  QTreeWidgetItem* node = tree_->itemFromIndex(index);
  if (line != nullptr && node != nullptr) tree_->LabelEdited(node, line->text());
}

}  // namespace vk
