// What the window shows as a user sees it: check marks drawn in the menus, the texts the window
// must show whole fitting their widths (measured with the font's metrics, at the font the
// desktop gives and at a large one), each folder's files in name order, and box titles without
// the application's name appended.
#include <QActionGroup>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <algorithm>
#include <memory>

#include "tree_commands_support.h"
#include "ui/results_view.h"
#include "ui/shell_list_view.h"

namespace vk::test {
namespace {

// What a menu draws, as an image.
QImage Drawn(QMenu& menu) {
  menu.ensurePolished();
  menu.resize(menu.sizeHint());
  return menu.grab().toImage();
}

// Whether two menus draw their entries alike, up to their right edges: a menu whose actions
// carry icons it does not show keeps a few pixels more there.
bool DrawnAlike(const QImage& a, const QImage& b) {
  const int width = std::min(a.width(), b.width()) - 20;
  return a.height() == b.height() &&
         a.copy(0, 0, width, a.height()) == b.copy(0, 0, width, b.height());
}

// A menu of the same captions, kinds of mark and check states without icons: what the style
// draws for checkable entries whose mark it shows.
std::unique_ptr<QMenu> PlainCheckMenu(const QMenu& menu) {
  auto plain = std::make_unique<QMenu>();
  plain->setFont(menu.font());
  plain->setPalette(menu.palette());
  auto* group = new QActionGroup(plain.get());
  group->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
  for (const QAction* action : menu.actions()) {
    if (action->isSeparator()) {
      plain->addSeparator();
      continue;
    }
    QAction* copy = plain->addAction(action->text());
    copy->setEnabled(action->isEnabled());
    copy->setCheckable(action->isCheckable());
    if (action->actionGroup() != nullptr) group->addAction(copy);
    copy->setChecked(action->isChecked());
    copy->setEnabled(action->isEnabled());
  }
  return plain;
}

TEST_F(MainWindowTest, CheckableMenuEntriesDrawTheirTickOrRadioDot) {
  auto window = ShowWindow();
  for (const char* name : {"Bearbeiten1", "Einstellungen1"}) {
    QMenu* menu = window->findChild<QMenu*>(QLatin1String(name));
    ASSERT_NE(menu, nullptr);
    for (QAction* action : menu->actions()) action->setChecked(false);
    const QImage nothing = Drawn(*menu);
    EXPECT_TRUE(DrawnAlike(nothing, Drawn(*PlainCheckMenu(*menu)))) << name;
    for (QAction* action : menu->actions()) {
      // The preview and the undo below the operations are commands, not choices.
      if (action->isSeparator() || action->objectName() == QLatin1String("VorschauBtn") ||
          action->objectName() == QLatin1String("LetztenLaufRueckgaengig1")) {
        continue;
      }
      ASSERT_TRUE(action->isCheckable()) << action->text().toStdString();
      action->setChecked(true);
      const QImage marked = Drawn(*menu);
      EXPECT_NE(marked, nothing) << action->text().toStdString();
      // Drawn exactly as the style draws a ticked entry: the mark, not a frame round an icon.
      EXPECT_TRUE(DrawnAlike(marked, Drawn(*PlainCheckMenu(*menu))))
          << action->text().toStdString();
      action->setChecked(false);
    }
  }
}

// The application font for the life of the object.
class ScopedAppFont {
 public:
  explicit ScopedAppFont(int points) : old_(QApplication::font()) {
    if (points > 0) QApplication::setFont(QFont(old_.family(), points));
  }
  ~ScopedAppFont() { QApplication::setFont(old_); }

 private:
  QFont old_;
};

TEST_F(MainWindowTest, TheTextsTheWindowShowsFitTheirWidths) {
  for (const int points : {0, 15}) {
    ScopedAppFont font(points);
    auto window = ShowWindow();

    // Every caption of the operation box shows whole in its field.
    auto* box = window->findChild<QComboBox*>(QStringLiteral("OptCB"));
    QStyleOptionComboBox option;
    option.initFrom(box);
    option.rect = box->rect();
    option.editable = false;
    option.frame = true;
    const QRect field = box->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                     QStyle::SC_ComboBoxEditField, box);
    for (int i = 0; i < box->count(); ++i) {
      EXPECT_GE(field.width(), box->fontMetrics().horizontalAdvance(box->itemText(i)))
          << points << " " << box->itemText(i).toStdString();
    }

    // The first status panel shows a row count of up to seven digits whole.
    auto* panel = window->findChild<QLabel*>(QStringLiteral("StatusPanel0"));
    for (const char* text : {"127815 Datei(en)", "9999999 Datei(en)"}) {
      EXPECT_GE(panel->contentsRect().width() - 2 * panel->margin(),
                panel->fontMetrics().horizontalAdvance(QString::fromLatin1(text)))
          << points << " " << text;
    }

    // The results list's captions show whole.
    ResultsView* results = Results(*window);
    const int margin = results->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, results);
    for (int column = 0; column < results->columnCount(); ++column) {
      const QString caption = results->headerItem()->text(column);
      EXPECT_GE(results->columnWidth(column),
                results->header()->fontMetrics().horizontalAdvance(caption) + 2 * margin)
          << points << " " << caption.toStdString();
    }
  }
}

TEST_F(TreeCommandsTest, TheNewFolderEditorShowsTheWholeName) {
  for (const int points : {0, 15}) {
    ScopedAppFont font(points);
    tree_ = std::make_unique<TMyShellTreeView>();
    tree_->resize(300, 400);
    tree_->SetRoot(Root());
    tree_->show();
    ASSERT_TRUE(
        tree_->RunShellCommand(Node(QStringLiteral("C")), QString::fromLatin1(verbs::kNewFolder)));
    QLineEdit* editor = Editor(*tree_);
    ASSERT_NE(editor, nullptr);
    ASSERT_EQ(editor->text(),
              points == 0 ? QStringLiteral("Neuer Ordner") : QStringLiteral("Neuer Ordner (2)"));
    // Not scrolled: the cursor behind the selected name stands a whole name's width in, and
    // inside the box.
    const QFontMetrics metrics = editor->fontMetrics();
    const QRect cursor = editor->inputMethodQuery(Qt::ImCursorRectangle).toRect();
    EXPECT_GE(cursor.center().x(), metrics.horizontalAdvance(editor->text())) << points;
    EXPECT_LE(cursor.center().x(), editor->contentsRect().right()) << points;
    QTest::keyClick(editor, Qt::Key_Escape);
    Settle();
  }
}

TEST_F(MainWindowTest, EachFoldersFilesInNameOrderAndFoldersInTheirOrder) {
  for (const char* name :
       {"web/seite3585.htm", "web/seite3412.htm", "web/Seite1174.htm", "web/index.htm",
        "web/b/z.htm", "web/b/a.htm", "web/A/M.htm", "web/A/k.htm"}) {
    Folder(std::filesystem::path(name).parent_path().string());
    File(name);
  }
  auto window = ShowWindow({At("web")});
  ShellListView* list = FileList(*window);
  auto names = [&] {
    std::vector<std::string> shown;
    for (int row = 0; row < list->RowCount(); ++row) shown.push_back(list->Name(row));
    return shown;
  };
  EXPECT_EQ(names(), (std::vector<std::string>{"index.htm", "Seite1174.htm", "seite3412.htm",
                                               "seite3585.htm"}));
  window->findChild<QAction*>(QStringLiteral("UPdirchkbox"))->trigger();
  EXPECT_EQ(names(),
            (std::vector<std::string>{"index.htm", "Seite1174.htm", "seite3412.htm",
                                      "seite3585.htm", "k.htm", "M.htm", "a.htm", "z.htm"}));
  // A click on a column header still sorts nothing.
  QTest::mouseClick(list->header()->viewport(), Qt::LeftButton, {},
                    QPoint(list->header()->sectionViewportPosition(0) + 5, 5));
  EXPECT_EQ(names().back(), "z.htm");
}

// Qt's X11 and Wayland windows append the application's display name to every window title
// once one is set ("Fehler — Velkaro"); left unset it only follows the application's name.
TEST_F(MainWindowTest, BoxTitlesGetNoApplicationNameAppended) {
  EXPECT_EQ(QGuiApplication::applicationName(), QStringLiteral("Velkaro"));
  QCoreApplication::setApplicationName(QStringLiteral("Probe"));
  EXPECT_EQ(QGuiApplication::applicationDisplayName(), QStringLiteral("Probe"));
  QCoreApplication::setApplicationName(QStringLiteral("Velkaro"));
}

}  // namespace
}  // namespace vk::test
