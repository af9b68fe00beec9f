#include "ui/label_edit_delegate.h"

#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionFrame>
#include <algorithm>

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

namespace vk {

int LabelEditDelegate::WidthToShow(const QLineEdit& line, const QString& text) {
  // As QLineEdit sizes itself: the text, its margins, two pixels each side and the cursor,
  // then the style's frame around that; one average character more keeps the cursor off the
  // edge while typing.
  const QFontMetrics metrics = line.fontMetrics();
  const QMargins margins = line.textMargins();
  const int content = metrics.horizontalAdvance(text) + metrics.averageCharWidth() +
                      margins.left() + margins.right() + 2 * 2 + 1;
  QStyleOptionFrame frame;
  frame.initFrom(&line);
  frame.rect = line.rect();
  frame.lineWidth =
      line.hasFrame() ? line.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &frame, &line) : 0;
  frame.midLineWidth = 0;
  frame.state |= QStyle::State_Sunken;
  return line.style()
      ->sizeFromContents(QStyle::CT_LineEdit, &frame, QSize(content, line.height()), &line)
      .width();
}

void LabelEditDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                             const QModelIndex& index) const {
  QStyledItemDelegate::updateEditorGeometry(editor, option, index);
  auto* line = qobject_cast<QLineEdit*>(editor);
  if (line == nullptr) return;
  QRect rect = line->geometry();
  rect.setWidth(std::max(rect.width(), WidthToShow(*line, index.data(Qt::EditRole).toString())));
  line->setGeometry(rect);
}

}  // namespace vk
