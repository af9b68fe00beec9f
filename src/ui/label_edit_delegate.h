// The editor of a folder tree node's label: the edit ends through the tree's rename instead of
// writing the text into the node, so the text changes only when the folder on disk got the new
// name.
#pragma once

#include <QStyledItemDelegate>

namespace vk {

class TMyCustomShellTreeView;

class LabelEditDelegate : public QStyledItemDelegate {
 public:
  explicit LabelEditDelegate(TMyCustomShellTreeView* tree);

  void setModelData(QWidget* editor, QAbstractItemModel* model,
                    const QModelIndex& index) const override;

 private:
  TMyCustomShellTreeView* tree_;
};

}  // namespace vk
