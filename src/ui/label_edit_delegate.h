// The editor of a folder tree node's label: the edit ends through the tree's rename instead of
// writing the text into the node, so the text changes only when the folder on disk got the new
// name. The editor is at least as wide as its text needs, so it opens showing the whole name.
#pragma once

#include <QStyledItemDelegate>

class QLineEdit;

namespace vk {

class TMyCustomShellTreeView;

class LabelEditDelegate : public QStyledItemDelegate {
 public:
  explicit LabelEditDelegate(TMyCustomShellTreeView* tree);

  void setModelData(QWidget* editor, QAbstractItemModel* model,
                    const QModelIndex& index) const override;
  void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const override;

  // The width a line edit needs to show `text` whole, cursor included.
  static int WidthToShow(const QLineEdit& line, const QString& text);

 private:
  TMyCustomShellTreeView* tree_;
};

}  // namespace vk
