#include "ui/diff_dlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/busy_cursor.h"
#include "ui/diff_view.h"

namespace vk {

TDiffDlg::TDiffDlg(const QString& fileName, std::string oldText, std::string newText,
                   PageEncoding encoding, QWidget* parent)
    : QDialog(parent) {
  setObjectName(QStringLiteral("TDiffDlg"));
  setWindowTitle(tr("Änderungen: %1").arg(fileName));
  setWindowFlag(Qt::WindowMaximizeButtonHint, true);
  setSizeGripEnabled(true);
  {
    BusyCursor busy;  // a page of megabytes takes a moment to compare
    view_ = new TDiffView(std::move(oldText), std::move(newText), encoding);
  }

  prevBtn_ = new QPushButton(tr("Vorherige Änderung"));
  prevBtn_->setObjectName(QStringLiteral("PrevBtn"));
  nextBtn_ = new QPushButton(tr("Nächste Änderung"));
  nextBtn_->setObjectName(QStringLiteral("NextBtn"));
  closeBtn_ = new QPushButton(tr("Schließen"));
  closeBtn_->setObjectName(QStringLiteral("CloseBtn"));
  countsLabel_ = new QLabel;
  countsLabel_->setObjectName(QStringLiteral("CountsLabel"));
  for (QPushButton* button : {prevBtn_, nextBtn_, closeBtn_}) {
    button->setAutoDefault(false);
    button->setMinimumWidth(81);
  }

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(prevBtn_);
  buttons->addWidget(nextBtn_);
  buttons->addSpacing(12);
  buttons->addWidget(countsLabel_, 1);
  buttons->addWidget(closeBtn_);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 8, 8, 8);
  layout->addWidget(view_, 1);
  layout->addLayout(buttons);

  connect(prevBtn_, &QPushButton::clicked, this, &TDiffDlg::PrevBtnClick);
  connect(nextBtn_, &QPushButton::clicked, this, &TDiffDlg::NextBtnClick);
  connect(closeBtn_, &QPushButton::clicked, this, &TDiffDlg::reject);
  connect(view_, &TDiffView::CurrentBlockChanged, this, &TDiffDlg::UpdateCounts);
  resize(1100, 720);
  view_->setFocus();  // the keys scroll the texts at once
  UpdateCounts();
}

void TDiffDlg::NextBtnClick() { view_->SetCurrentBlock(view_->CurrentBlock() + 1); }

void TDiffDlg::PrevBtnClick() { view_->SetCurrentBlock(view_->CurrentBlock() - 1); }

void TDiffDlg::UpdateCounts() {
  const PageDiff& diff = view_->Diff();
  const int blocks = static_cast<int>(diff.blocks.size());
  const int current = view_->CurrentBlock();
  prevBtn_->setEnabled(current > 0);
  nextBtn_->setEnabled(current + 1 < blocks);
  if (blocks == 0) {
    countsLabel_->setText(tr("Keine Änderungen"));
    return;
  }
  const QLocale locale;
  QString text = tr("Änderung %1 von %2 · geänderte Zeilen: %3 vorher, %4 nachher")
                     .arg(locale.toString(current + 1), locale.toString(blocks),
                          locale.toString(static_cast<qulonglong>(diff.changedOldLines)),
                          locale.toString(static_cast<qulonglong>(diff.changedNewLines)));
  // When the comparison had to stop early, some changes are marked as whole lines.
  if (!diff.exact) text += tr(" · nicht alle Zeichen einzeln verglichen");
  countsLabel_->setText(text);
}

}  // namespace vk
