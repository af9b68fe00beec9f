// TLinkLabel: a text that opens a web address when clicked, shows the address as its hint and
// looks different while the pointer is over it. Opening goes through the Launcher seam; a link
// that cannot be opened is not reported.
#pragma once

#include <QLabel>
#include <QString>

namespace vk {

class TLinkLabel : public QLabel {
  Q_OBJECT

 public:
  TLinkLabel(const QString& text, const QString& address, QWidget* parent = nullptr);

  const QString& Address() const { return address_; }
  bool Hovered() const { return hovered_; }

 protected:
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void ShowHover(bool hovered);

  QString address_;
  bool hovered_ = false;
};

}  // namespace vk
