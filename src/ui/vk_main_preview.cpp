// Cancelling a run from the window, the preview, the completion box's texts and a page's
// changes shown from the results list.
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include "batch/batch_run.h"
#include "selection/file_names.h"
#include "ui/diff_dlg.h"
#include "ui/results_view.h"
#include "ui/user_dialogs.h"
#include "ui/vk_main.h"

namespace vk {

void TVKMain::CancelBtnClick() {
  if (!running_) return;
  cancelRun_ = true;
  cancelBtn_->setEnabled(false);  // seen; the pages in hand are finished first
}

void TVKMain::PreviewBtnClick() { RunOperation(optCB_->currentIndex(), true); }

QString TVKMain::CompletionText(const RunEnd& end) const {
  if (previewing_) {
    if (end.cancelled) {
      return tr("Vorschau nach %1 von %2 Dateien abgebrochen! Es wurde nichts verändert.")
          .arg(end.filesDone)
          .arg(end.filesTicked);
    }
    return tr("Vorschau abgeschlossen! Es wurde nichts verändert.");
  }
  if (end.cancelled) {
    return tr("Aktion nach %1 von %2 Dateien abgebrochen!").arg(end.filesDone).arg(end.filesTicked);
  }
  return tr("Aktion abgeschlossen!");
}

void TVKMain::ShowRunKind() {
  QLabel* panel = statusPanels_[1];
  panel->setText(previewing_ ? tr("Nur Vorschau") : QString());
  panel->setToolTip(previewing_
                        ? tr("Die Ergebnisliste ist eine Vorschau: es wurde nichts verändert.")
                        : QString());
}

void TVKMain::AenderungenAnzeigen1Click() {
  const int row = lv_->SelectedRow();
  if (row < 0 || lv_->PathOf(row).empty()) return;  // the sums rows have no page
  switch (pageChanges_.StateOf(row)) {
    case PageChanges::State::kNoLongerKept:
      Dialogs().Information(
          this, tr("Der alte Text dieser Datei wird nicht mehr vorgehalten: von einer Aktion "
                   "werden die Texte der zuletzt bearbeiteten Dateien bis 256 MB behalten."));
      return;
    case PageChanges::State::kUnchanged:
      Dialogs().Information(this, previewing_ ? tr("Die Vorschau ändert diese Datei nicht.")
                                              : tr("Die Aktion hat diese Datei nicht geändert."));
      return;
    case PageChanges::State::kKept:
      break;
  }
  const std::optional<PageChanges::Change> change = pageChanges_.Get(row);
  if (!change) {
    // A preview's page that changed since and would no longer be changed.
    Dialogs().Information(this, tr("Die Vorschau ändert diese Datei nicht."));
    return;
  }
  const QString name = QString::fromStdString(lv_->Cells(row)[0]);
  TDiffDlg dialog(name, change->oldBytes, change->newBytes, change->encoding, this);
  dialog.exec();
}

}  // namespace vk
