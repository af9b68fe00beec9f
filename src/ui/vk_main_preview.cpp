// Cancelling a run from the window, the preview, the completion box's texts and a page's
// changes shown from the results list.
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include "batch/batch_run.h"
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

}  // namespace vk
