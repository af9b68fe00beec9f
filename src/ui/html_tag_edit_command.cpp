#include "ui/html_tag_edit_command.h"

#include <QString>
#include <string>

#include "engine/cp1252.h"
#include "engine/feedback.h"
#include "engine/html_code_list.h"
#include "settings/html_code_list_store.h"
#include "settings/ini_file.h"
#include "ui/html_tag_dlg.h"
#include "ui/html_tag_entry_edit.h"
#include "ui/user_dialogs.h"

namespace vk {
namespace {

// The store's messages as error boxes over `parent`.
class DialogFeedback : public Feedback {
 public:
  explicit DialogFeedback(QWidget* parent) : parent_(parent) {}
  void Error(const std::string& text) override {
    Dialogs().Error(parent_, QString::fromStdString(text));
  }

 private:
  QWidget* parent_;
};

QString ToDisplay(const std::string& bytes) { return QString::fromStdString(Cp1252ToUtf8(bytes)); }

}  // namespace

void EditHtmlCodeList(QWidget* parent, TTheIniFile& ini) {
  HtmlCodeList list;
  DialogFeedback feedback(parent);
  LoadHtmlCodeList(ini, list, feedback);

  THTMLTagDlg dialog(parent);
  for (std::size_t i = 0; i < list.find.size() && i < list.replace.size(); ++i) {
    dialog.AddRow(ToDisplay(list.find[i]), ToDisplay(list.replace[i]));
  }
  if (dialog.exec() != QDialog::Accepted) return;

  HtmlCodeList edited;
  for (const auto& [find, replace] : dialog.Rows()) {
    std::string findBytes, replaceBytes, bad;
    // The entry dialog and the in-place edit refuse such characters already; this is the
    // last guard against storing anything but what the user sees.
    if (!Utf8ToCp1252(find.toStdString(), &findBytes, &bad) ||
        !Utf8ToCp1252(replace.toStdString(), &replaceBytes, &bad)) {
      Dialogs().Error(parent, NotStorableMessage(QString::fromStdString(bad)));
      return;
    }
    edited.find.push_back(std::move(findBytes));
    edited.replace.push_back(std::move(replaceBytes));
  }
  SaveHtmlCodeList(ini, edited);
}

}  // namespace vk
