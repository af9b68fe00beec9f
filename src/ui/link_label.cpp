#include "ui/link_label.h"

#include <QMouseEvent>
#include <QUrl>

#include "ui/launcher.h"

namespace vk {

TLinkLabel::TLinkLabel(const QString& text, const QString& address, QWidget* parent)
    : QLabel(text, parent), address_(address) {
  setToolTip(address);
  setCursor(Qt::PointingHandCursor);
  ShowHover(false);
}

void TLinkLabel::ShowHover(bool hovered) {
  hovered_ = hovered;
  QFont f = font();
  f.setUnderline(hovered);
  setFont(f);
  // Light colours: the label sits on the dark feedback panel.
  setStyleSheet(hovered ? QStringLiteral("color: #ffffff;") : QStringLiteral("color: #a8d4ff;"));
}

void TLinkLabel::enterEvent(QEnterEvent* event) {
  QLabel::enterEvent(event);
  ShowHover(true);
}

void TLinkLabel::leaveEvent(QEvent* event) {
  QLabel::leaveEvent(event);
  ShowHover(false);
}

void TLinkLabel::mouseReleaseEvent(QMouseEvent* event) {
  QLabel::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
    Launch().OpenUrl(QUrl(address_));
  }
}

}  // namespace vk
