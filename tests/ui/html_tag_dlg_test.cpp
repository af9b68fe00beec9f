#include "ui/html_tag_dlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <algorithm>
#include <functional>

#include "modal_support.h"
#include "settings/html_code_list_store.h"
#include "settings/ini_file.h"
#include "support/test_support.h"
#include "ui/html_tag_edit_command.h"
#include "ui/html_tag_entry_edit.h"
#include "ui/user_dialogs.h"

namespace vk {
namespace {

using Rows = std::vector<std::pair<QString, QString>>;

void EnsureApp() {
  if (QApplication::instance()) return;
  static int argc = 1;
  static char name[] = "html_tag_dlg_test";
  static char* argv[] = {name, nullptr};
  new QApplication(argc, argv);
}

class RecordingDialogs : public UserDialogs {
 public:
  void Error(QWidget*, const QString& text) override { errors.push_back(text); }
  void Information(QWidget*, const QString& text) override { errors.push_back(text); }
  bool Question(QWidget*, const QString& text) override {
    errors.push_back(text);
    return false;
  }
  void Plain(QWidget*, const QString& text) override { errors.push_back(text); }
  std::vector<QString> errors;
};

using test::WhenModal;

// Answers the next entry dialog: checks its caption and preset fields, types, and presses OK.
void AnswerEntry(const QString& caption, const QString& presetFind, const QString& presetReplace,
                 const QString& find, const QString& replace) {
  WhenModal<THTMLTagEntryEdit>([=](THTMLTagEntryEdit* entry) {
    EXPECT_EQ(entry->windowTitle(), caption);
    EXPECT_EQ(entry->FindEdit()->text(), presetFind);
    EXPECT_EQ(entry->ReplaceEdit()->text(), presetReplace);
    entry->FindEdit()->clear();
    entry->ReplaceEdit()->clear();
    QTest::keyClicks(entry->FindEdit(), find);
    QTest::keyClicks(entry->ReplaceEdit(), replace);
    QTest::mouseClick(entry->OKBtn(), Qt::LeftButton);
    if (entry->isVisible()) {
      ADD_FAILURE() << "entry dialog did not close";
      entry->reject();
    }
  });
}

class HtmlTagEditorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureApp();
    SetDialogs(&dialogs_);
    ini_.SetIniLocation(TIniLocation::loDefUser);
    ini_.SetDefFilePath(dir_.Path());
  }
  void TearDown() override { SetDialogs(nullptr); }

  std::string Settings() const { return test::ReadFile(dir_.File("Velkaro.ini")); }
  void WriteSettings(const std::string& bytes) { test::WriteFile(dir_.File("Velkaro.ini"), bytes); }

  test::TempDir dir_;
  RecordingDialogs dialogs_;
  TTheIniFile ini_;
};

TEST_F(HtmlTagEditorTest, AddedRowsAreSortedShowLeerAndAreStoredOnOk) {
  bool shown = false;
  WhenModal<THTMLTagDlg>([&](THTMLTagDlg* dlg) {
    shown = true;
    EXPECT_EQ(dlg->windowTitle(), "HTML-Code-Liste bearbeiten");
    EXPECT_EQ(dlg->LV()->topLevelItemCount(), 0);
    EXPECT_TRUE(dlg->AddBtn()->isEnabled());
    EXPECT_FALSE(dlg->EditBtn()->isEnabled());
    EXPECT_FALSE(dlg->DeleteBtn()->isEnabled());

    AnswerEntry("HTML Code hinzufügen", "", "", "<b>", "<strong>");
    QTest::mouseClick(dlg->AddBtn(), Qt::LeftButton);
    AnswerEntry("HTML Code hinzufügen", "", "", "<a>", "");
    QTest::mouseClick(dlg->AddBtn(), Qt::LeftButton);
    AnswerEntry("HTML Code hinzufügen", "", "", "<b>", "<B>");
    QTest::mouseClick(dlg->AddBtn(), Qt::LeftButton);

    ASSERT_EQ(dlg->LV()->topLevelItemCount(), 3);
    EXPECT_EQ(dlg->LV()->topLevelItem(0)->text(0), "<a>");
    EXPECT_EQ(dlg->LV()->topLevelItem(0)->text(1), "(leer)");
    EXPECT_EQ(dlg->LV()->topLevelItem(1)->text(0), "<b>");
    EXPECT_EQ(dlg->LV()->topLevelItem(1)->text(1), "<strong>");
    EXPECT_EQ(dlg->LV()->topLevelItem(2)->text(1), "<B>");
    EXPECT_TRUE(dlg->LV()->selectedItems().isEmpty());  // adding selects nothing
    QTest::mouseClick(dlg->OKBtn(), Qt::LeftButton);
  });
  EditHtmlCodeList(nullptr, ini_);
  EXPECT_TRUE(shown);
  EXPECT_EQ(Settings(),
            "[Find HTML Code]\r\n0=<a>\r\n1=<b>\r\n2=<b>\r\n"
            "[Replace HTML Code]\r\n0=(leer)\r\n1=<strong>\r\n2=<B>\r\n");
  EXPECT_TRUE(dialogs_.errors.empty());
}

TEST_F(HtmlTagEditorTest, OkRewritesHandWrittenKeysInSortedOrder) {
  WriteSettings(
      "[Options]\r\nCreateBak=1\r\n[Find HTML Code]\r\n7=<u>\r\n3=<i>\r\n5=<p>\x80</p>\r\n"
      "[Replace HTML Code]\r\n7=(leer)\r\n3=<em>\r\n5=x\r\n");
  WhenModal<THTMLTagDlg>([](THTMLTagDlg* dlg) {
    EXPECT_EQ(dlg->Rows(), (Rows{{"<i>", "<em>"}, {"<p>€</p>", "x"}, {"<u>", ""}}));
    QTest::mouseClick(dlg->OKBtn(), Qt::LeftButton);
  });
  EditHtmlCodeList(nullptr, ini_);
  EXPECT_EQ(Settings(),
            "[Options]\r\nCreateBak=1\r\n[Find HTML Code]\r\n0=<i>\r\n1=<p>\x80</p>\r\n2=<u>\r\n"
            "[Replace HTML Code]\r\n0=<em>\r\n1=x\r\n2=(leer)\r\n");
}

TEST_F(HtmlTagEditorTest, CancelLeavesTheFileByteForByte) {
  const std::string before =
      "[Find HTML Code]\n7=<u>\r\n3= <i> \r\n[Replace HTML Code]\r\n7=(leer)\r\n3=\"<em>\"\r\n";
  WriteSettings(before);
  WhenModal<THTMLTagDlg>([](THTMLTagDlg* dlg) {
    AnswerEntry("HTML Code hinzufügen", "", "", "<x>", "<y>");
    QTest::mouseClick(dlg->AddBtn(), Qt::LeftButton);
    dlg->LV()->setCurrentItem(dlg->LV()->topLevelItem(0));
    QTest::mouseClick(dlg->DeleteBtn(), Qt::LeftButton);
    EXPECT_EQ(dlg->Rows(), (Rows{{"<u>", ""}, {"<x>", "<y>"}}));
    QTest::mouseClick(dlg->CancelBtn(), Qt::LeftButton);
  });
  EditHtmlCodeList(nullptr, ini_);
  EXPECT_EQ(Settings(), before);

  WhenModal<THTMLTagDlg>([](THTMLTagDlg* dlg) { QTest::keyClick(dlg, Qt::Key_Escape); });
  EditHtmlCodeList(nullptr, ini_);
  EXPECT_EQ(Settings(), before);
}

TEST_F(HtmlTagEditorTest, TheRepairMessageComesBeforeTheEditor) {
  WriteSettings("[Find HTML Code]\r\n0=<a>\r\n1=<b>\r\n[Replace HTML Code]\r\n0=<x>\r\n");
  WhenModal<THTMLTagDlg>([this](THTMLTagDlg* dlg) {
    EXPECT_EQ(dialogs_.errors, std::vector<QString>{QString::fromUtf8(kUnequalListsMessage)});
    EXPECT_EQ(dlg->Rows(), (Rows{{"<a>", "<x>"}, {"<b>", "<b>"}}));
    QTest::mouseClick(dlg->CancelBtn(), Qt::LeftButton);
  });
  EditHtmlCodeList(nullptr, ini_);
  EXPECT_EQ(dialogs_.errors.size(), 1u);
  EXPECT_EQ(Settings(),
            "[Find HTML Code]\r\n0=<a>\r\n1=<b>\r\n[Replace HTML Code]\r\n0=<x>\r\n1=<b>\r\n");
}

TEST_F(HtmlTagEditorTest, ChangingKeepsLeerEmptyAndBlanksComeBack) {
  WriteSettings(
      "[Find HTML Code]\r\n0=<a>\r\n1=<i>\r\n[Replace HTML Code]\r\n0=(leer)\r\n"
      "1=<em>\r\n");
  WhenModal<THTMLTagDlg>([](THTMLTagDlg* dlg) {
    dlg->LV()->setCurrentItem(dlg->LV()->topLevelItem(0));
    EXPECT_TRUE(dlg->EditBtn()->isEnabled());
    // "(leer)" opens as an empty field; the changed row moves and stays selected.
    AnswerEntry("HTML Code ändern", "<a>", "", " <br>", "(leer)");
    QTest::mouseClick(dlg->EditBtn(), Qt::LeftButton);
    EXPECT_EQ(dlg->Rows(), (Rows{{" <br>", ""}, {"<i>", "<em>"}}));
    ASSERT_EQ(dlg->LV()->selectedItems().size(), 1);
    EXPECT_EQ(dlg->LV()->selectedItems()[0]->text(0), " <br>");

    dlg->LV()->setCurrentItem(dlg->LV()->topLevelItem(1));
    AnswerEntry("HTML Code ändern", "<i>", "<em>", "<z>", "<q>");
    QTest::mouseClick(dlg->EditBtn(), Qt::LeftButton);
    EXPECT_EQ(dlg->Rows(), (Rows{{" <br>", ""}, {"<z>", "<q>"}}));
    QTest::mouseClick(dlg->OKBtn(), Qt::LeftButton);
  });
  EditHtmlCodeList(nullptr, ini_);
  EXPECT_EQ(Settings(),
            "[Find HTML Code]\r\n0=\" <br>\"\r\n1=<z>\r\n[Replace HTML Code]\r\n0=(leer)\r\n"
            "1=<q>\r\n");
  WhenModal<THTMLTagDlg>([](THTMLTagDlg* dlg) {
    EXPECT_EQ(dlg->Rows(), (Rows{{" <br>", ""}, {"<z>", "<q>"}}));
    dlg->reject();
  });
  EditHtmlCodeList(nullptr, ini_);
}

// Whatever is typed comes back from the settings file as it was typed: blanks at the ends,
// quotation marks around, a lone one.
TEST_F(HtmlTagEditorTest, TypedEntriesComeBackAsTyped) {
  const std::vector<QString> typed = {" <br>", "<br> ", "  ",      "\"red\"", "'red'",
                                      "\"",    "\"\"",  " \"x\" ", "(leer)",  "a = \"b\""};
  WhenModal<THTMLTagDlg>([&](THTMLTagDlg* dlg) {
    for (const QString& text : typed) {
      AnswerEntry("HTML Code hinzufügen", "", "", text, text + "!");
      QTest::mouseClick(dlg->AddBtn(), Qt::LeftButton);
    }
    QTest::mouseClick(dlg->OKBtn(), Qt::LeftButton);
  });
  EditHtmlCodeList(nullptr, ini_);
  WhenModal<THTMLTagDlg>([&](THTMLTagDlg* dlg) {
    Rows rows = dlg->Rows();
    Rows expected;
    for (const QString& text : typed) expected.emplace_back(text, text + "!");
    std::sort(rows.begin(), rows.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(rows, expected);
    dlg->reject();
  });
  EditHtmlCodeList(nullptr, ini_);
  EXPECT_TRUE(dialogs_.errors.empty());
}

class HtmlTagDlgTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureApp();
    SetDialogs(&dialogs_);
  }
  void TearDown() override { SetDialogs(nullptr); }
  RecordingDialogs dialogs_;
};

TEST_F(HtmlTagDlgTest, DeleteRemovesTheRowWithoutQuestionAndLeavesNoSelection) {
  THTMLTagDlg dlg;
  dlg.AddRow("<c>", "3");
  dlg.AddRow("<a>", "1");
  dlg.AddRow("<b>", "");
  dlg.show();
  EXPECT_FALSE(dlg.DeleteBtn()->isEnabled());
  QTest::mouseClick(dlg.DeleteBtn(), Qt::LeftButton);
  EXPECT_EQ(dlg.LV()->topLevelItemCount(), 3);

  dlg.LV()->setCurrentItem(dlg.LV()->topLevelItem(1));
  EXPECT_TRUE(dlg.EditBtn()->isEnabled());
  EXPECT_TRUE(dlg.DeleteBtn()->isEnabled());
  QTest::mouseClick(dlg.DeleteBtn(), Qt::LeftButton);
  EXPECT_EQ(dlg.Rows(), (Rows{{"<a>", "1"}, {"<c>", "3"}}));
  EXPECT_TRUE(dlg.LV()->selectedItems().isEmpty());
  EXPECT_FALSE(dlg.EditBtn()->isEnabled());
  EXPECT_FALSE(dlg.DeleteBtn()->isEnabled());
  EXPECT_TRUE(dialogs_.errors.empty());
}

TEST_F(HtmlTagDlgTest, DoubleClickChangesTheSelectedRowAndNothingWithoutOne) {
  THTMLTagDlg dlg;
  dlg.AddRow("<a>", "1");
  dlg.AddRow("<b>", "2");
  dlg.show();
  QTreeWidget* lv = dlg.LV();
  const QPoint empty(20, lv->viewport()->height() - 5);
  ASSERT_EQ(lv->itemAt(empty), nullptr);

  int opened = 0;
  QTimer guard;  // closes any entry dialog that opens, counting it
  QObject::connect(&guard, &QTimer::timeout, [&] {
    if (auto* entry = qobject_cast<THTMLTagEntryEdit*>(QApplication::activeModalWidget())) {
      ++opened;
      entry->reject();
    }
  });
  guard.start(0);
  QTest::mouseDClick(lv->viewport(), Qt::LeftButton, Qt::NoModifier, empty);
  QCoreApplication::processEvents();
  QCoreApplication::processEvents();
  EXPECT_EQ(opened, 0);
  guard.stop();

  const QPoint second = lv->visualItemRect(lv->topLevelItem(1)).center();
  QTest::mouseDClick(lv->viewport(), Qt::LeftButton, Qt::NoModifier, second);
  AnswerEntry("HTML Code ändern", "<b>", "2", "<0>", "");
  QCoreApplication::processEvents();
  EXPECT_EQ(dlg.Rows(), (Rows{{"<0>", ""}, {"<a>", "1"}}));
  for (int row = 0; row < 2; ++row) {  // no in-place editor left open
    EXPECT_EQ(lv->indexWidget(lv->model()->index(row, 0)), nullptr);
  }
}

TEST_F(HtmlTagDlgTest, InPlaceEditingOfTheFindTextResortsAndRefusesForeignCharacters) {
  THTMLTagDlg dlg;
  dlg.AddRow("<a>", "1");
  dlg.AddRow("<b>", "2");
  dlg.show();
  QTreeWidget* lv = dlg.LV();

  auto editFirstRow = [&](const QString& text) {
    lv->setCurrentItem(lv->topLevelItem(0));
    lv->editItem(lv->topLevelItem(0), 0);
    auto* editor = qobject_cast<QLineEdit*>(lv->indexWidget(lv->model()->index(0, 0)));
    ASSERT_NE(editor, nullptr);
    editor->setText(text);
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();  // the list commits the edit queued
  };
  editFirstRow("<z>");
  EXPECT_EQ(dlg.Rows(), (Rows{{"<b>", "2"}, {"<z>", "1"}}));
  EXPECT_TRUE(dialogs_.errors.empty());

  editFirstRow(QString::fromUtf8("<b→>"));
  EXPECT_EQ(dlg.Rows(), (Rows{{"<b>", "2"}, {"<z>", "1"}}));
  EXPECT_EQ(dialogs_.errors,
            std::vector<QString>{QString::fromUtf8(
                "Das Zeichen „→“ kann in der HTML-Code-Liste nicht gespeichert werden "
                "(nur Windows-1252).")});

  // Only the find column is edited in place.
  lv->editItem(lv->topLevelItem(0), 1);
  EXPECT_EQ(lv->indexWidget(lv->model()->index(0, 1)), nullptr);
  EXPECT_EQ(lv->indexWidget(lv->model()->index(0, 0)), nullptr);
}

TEST_F(HtmlTagDlgTest, SortsByTheLocaleNotByBytes) {
  const QLocale previous;
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  {
    THTMLTagDlg dlg;
    for (const char* find : {"<b>", "<Z>", "<ä>", "<a>", "<B>"})
      dlg.AddRow(QString::fromUtf8(find), "");
    std::vector<QString> order;
    for (const auto& row : dlg.Rows()) order.push_back(row.first);
    EXPECT_EQ(order, (std::vector<QString>{"<a>", QString::fromUtf8("<ä>"), "<b>", "<B>", "<Z>"}));
  }
  QLocale::setDefault(previous);
}

TEST_F(HtmlTagDlgTest, ListLooksAsDesigned) {
  THTMLTagDlg dlg;
  QTreeWidget* lv = dlg.LV();
  EXPECT_EQ(lv->headerItem()->text(0), "Zu suchender HTML-Code");
  EXPECT_EQ(lv->headerItem()->text(1), "Ersetzen durch HTML-Code");
  EXPECT_EQ(lv->columnWidth(0), 280);
  EXPECT_FALSE(lv->header()->sectionsClickable());
  EXPECT_EQ(lv->selectionMode(), QAbstractItemView::SingleSelection);
  EXPECT_EQ(dlg.AddBtn()->text(), "Hinzufügen");
  EXPECT_EQ(dlg.AddBtn()->toolTip(), "Hinzufügen");
  EXPECT_EQ(dlg.EditBtn()->text(), "Ändern");
  EXPECT_EQ(dlg.DeleteBtn()->text(), "Löschen");
  EXPECT_EQ(dlg.DeleteBtn()->toolTip(), "Löschen");
  EXPECT_EQ(dlg.DeleteBtn()->focusPolicy(), Qt::NoFocus);
  EXPECT_FALSE(dlg.AddBtn()->icon().isNull());
  EXPECT_FALSE(dlg.OKBtn()->isDefault());
  EXPECT_FALSE(dlg.OKBtn()->autoDefault());
  EXPECT_GE(dlg.width(), 626);
  EXPECT_EQ(dlg.minimumSize(), dlg.maximumSize());
}

class EntryEditTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureApp();
    SetDialogs(&dialogs_);
    entry_.show();
    QApplication::setActiveWindow(&entry_);
  }
  void TearDown() override { SetDialogs(nullptr); }
  RecordingDialogs dialogs_;
  bool app_ = (EnsureApp(), true);  // before the dialog, when the test runs alone
  THTMLTagEntryEdit entry_{nullptr, QStringLiteral("hinzufügen")};
};

TEST_F(EntryEditTest, OkNeedsAFindTextABlankCounts) {
  EXPECT_EQ(entry_.windowTitle(), "HTML Code hinzufügen");
  EXPECT_FALSE(entry_.OKBtn()->isEnabled());
  QTest::keyClicks(entry_.ReplaceEdit(), "x");
  EXPECT_FALSE(entry_.OKBtn()->isEnabled());
  QTest::keyClicks(entry_.FindEdit(), " ");
  EXPECT_TRUE(entry_.OKBtn()->isEnabled());
  QTest::keyClick(entry_.FindEdit(), Qt::Key_Backspace);
  EXPECT_FALSE(entry_.OKBtn()->isEnabled());
  entry_.accept();  // the disabled OK cannot be bypassed
  EXPECT_TRUE(entry_.isVisible());
}

TEST_F(EntryEditTest, EnterMovesOnAndPressesAFocusedButton) {
  entry_.FindEdit()->setFocus();
  QTest::keyClick(entry_.FindEdit(), Qt::Key_Return);
  EXPECT_EQ(entry_.focusWidget(), entry_.ReplaceEdit());
  EXPECT_TRUE(entry_.isVisible());
  // OK disabled: Enter in the replace field goes on to "Abbrechen".
  QTest::keyClick(entry_.ReplaceEdit(), Qt::Key_Enter);
  EXPECT_EQ(entry_.focusWidget(), entry_.CancelBtn());

  QTest::keyClicks(entry_.FindEdit(), "<b>");
  entry_.ReplaceEdit()->setFocus();
  QTest::keyClick(entry_.ReplaceEdit(), Qt::Key_Return);
  EXPECT_EQ(entry_.focusWidget(), entry_.OKBtn());
  EXPECT_TRUE(entry_.isVisible());
  QTest::keyClick(entry_.OKBtn(), Qt::Key_Return);
  EXPECT_FALSE(entry_.isVisible());
  EXPECT_EQ(entry_.result(), QDialog::Accepted);
}

TEST_F(EntryEditTest, EnterOnCancelAndEscapeCloseWithoutOk) {
  QTest::keyClicks(entry_.FindEdit(), "<b>");
  QTest::keyClick(entry_.FindEdit(), Qt::Key_Escape);
  EXPECT_FALSE(entry_.isVisible());
  EXPECT_EQ(entry_.result(), QDialog::Rejected);

  entry_.show();
  entry_.CancelBtn()->setFocus();
  QTest::keyClick(entry_.CancelBtn(), Qt::Key_Return);
  EXPECT_FALSE(entry_.isVisible());
  EXPECT_EQ(entry_.result(), QDialog::Rejected);
}

TEST_F(EntryEditTest, RefusesCharactersWithoutAWindows1252Byte) {
  // QTest types ASCII only; the other characters are put in as a paste would.
  entry_.FindEdit()->setText(QString::fromUtf8("<b>€"));
  entry_.ReplaceEdit()->setText(QString::fromUtf8("“Ω”"));
  QTest::mouseClick(entry_.OKBtn(), Qt::LeftButton);
  EXPECT_TRUE(entry_.isVisible());
  EXPECT_EQ(entry_.focusWidget(), entry_.ReplaceEdit());
  EXPECT_EQ(dialogs_.errors,
            std::vector<QString>{QString::fromUtf8(
                "Das Zeichen „Ω“ kann in der HTML-Code-Liste nicht gespeichert werden "
                "(nur Windows-1252).")});
  entry_.ReplaceEdit()->setText(QString::fromUtf8("“ä”"));
  QTest::mouseClick(entry_.OKBtn(), Qt::LeftButton);
  EXPECT_FALSE(entry_.isVisible());
  EXPECT_EQ(entry_.result(), QDialog::Accepted);
  EXPECT_EQ(dialogs_.errors.size(), 1u);
}

}  // namespace
}  // namespace vk
