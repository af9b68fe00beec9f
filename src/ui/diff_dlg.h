// TDiffDlg: "Änderungen: " and a page's name. Shows what a run changed (or would change) in
// one page: the old and the new text side by side (TDiffView), "Vorherige Änderung" and
// "Nächste Änderung" to step through the change blocks, and the counts of changed lines.
// The dialog only shows; it neither reads nor writes the page.
#pragma once

#include <QDialog>
#include <QString>
#include <string>

#include "ui/page_text.h"

class QLabel;
class QPushButton;

namespace vk {

class TDiffView;

class TDiffDlg : public QDialog {
  Q_OBJECT

 public:
  // `oldText` and `newText` are the page's bytes before and after; `encoding` says how both
  // are shown (DecidePageEncoding of the old text, as the batch run decides, is the usual
  // choice).
  TDiffDlg(const QString& fileName, std::string oldText, std::string newText, PageEncoding encoding,
           QWidget* parent = nullptr);

  TDiffView* View() const { return view_; }
  QPushButton* PrevBtn() const { return prevBtn_; }
  QPushButton* NextBtn() const { return nextBtn_; }
  QPushButton* CloseBtn() const { return closeBtn_; }
  QLabel* CountsLabel() const { return countsLabel_; }

 public slots:
  void NextBtnClick();
  void PrevBtnClick();

 private:
  // The buttons' states and the counts line for the current block.
  void UpdateCounts();

  TDiffView* view_;
  QPushButton* prevBtn_;
  QPushButton* nextBtn_;
  QPushButton* closeBtn_;
  QLabel* countsLabel_;
};

}  // namespace vk
