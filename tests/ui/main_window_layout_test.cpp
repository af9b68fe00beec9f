// What the user sees of the main window: caption, menus, toolbars with their captions, hints
// and icons, the operation box, the lists' columns and the status bar's panels.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>

#include "main_window_support.h"
#include "ui/font_scale.h"
#include "ui/results_view.h"
#include "ui/shell_list_view.h"
#include "ui/vk_main.h"

namespace vk::test {
namespace {

const QStringList kOperations = {
    QStringLiteral("HTML-Code in Dateien ersetzen"),
    QStringLiteral("Sonderzeichen in Dateien umwandeln"),
    QStringLiteral("Dateien komprimieren"),
    QStringLiteral("Sonderzeichen in Dateien umwandeln und Dateien komprimieren"),
    QStringLiteral("HTML-Code in Dateien ersetzen und Sonderzeichen in Dateien umwandeln"),
    QStringLiteral("HTML-Code in Dateien  ersetzen und Dateien komprimieren"),
    QStringLiteral("HTML-Code in Dateien ersetzen, Sonderzeichen in Dateien umwandeln und "
                   "Dateien komprimieren"),
};

// Captions of a menu or toolbar, "-" for a separator, "[Name]" for an embedded widget.
QStringList Entries(const QList<QAction*>& actions, QToolBar* bar = nullptr) {
  QStringList entries;
  for (QAction* action : actions) {
    if (action->isSeparator()) {
      entries << QStringLiteral("-");
    } else if (bar != nullptr && bar->widgetForAction(action) != nullptr &&
               qobject_cast<QToolButton*>(bar->widgetForAction(action)) == nullptr) {
      entries << QStringLiteral("[%1]").arg(bar->widgetForAction(action)->objectName());
    } else {
      entries << action->text();
    }
  }
  return entries;
}

TEST_F(MainWindowTest, WindowCaptionSizeAndMenus) {
  auto window = ShowWindow();
  EXPECT_EQ(window->windowTitle(), QStringLiteral("Velkaro"));
  EXPECT_EQ(window->minimumSize(), QSize(500, 400));

  QStringList bar;
  for (QAction* action : window->menuBar()->actions()) bar << action->text();
  EXPECT_EQ(bar, (QStringList{QStringLiteral("Datei"), QStringLiteral("Bearbeiten"),
                              QStringLiteral("Einstellungen"), QStringLiteral("Hilfe")}));

  struct Case {
    const char* menu;
    QStringList entries;
  };
  const Case cases[] = {
      {"Datei1",
       {QStringLiteral("HTML-Code-Liste bearbeiten..."), QStringLiteral("-"),
        QStringLiteral("Schließen")}},
      {"Bearbeiten1", kOperations + QStringList{QStringLiteral("-"), QStringLiteral("Vorschau"),
                                                QStringLiteral("-"),
                                                QStringLiteral("Letzten Lauf rückgängig machen")}},
      {"Einstellungen1",
       {QStringLiteral("Sicherung (Bak-Datei) erstellen"),
        QStringLiteral("Sonderzeichen in META-Tag-Angaben nicht verändern")}},
      {"Hilfe1", {QStringLiteral("Wie nutze ich das Programm?"), QStringLiteral("Info...")}},
  };
  for (const Case& c : cases) {
    QMenu* menu = window->findChild<QMenu*>(QLatin1String(c.menu));
    ASSERT_NE(menu, nullptr) << c.menu;
    EXPECT_EQ(Entries(menu->actions()), c.entries) << c.menu;
  }

  const QList<QAction*> operations =
      window->findChild<QMenu*>(QStringLiteral("Bearbeiten1"))->actions();
  const char* names[] = {"HTMLTagsentfernen1",
                         "Sconvert",
                         "Komprimieren1",
                         "SonderzeichenumwandelnKomprimieren1",
                         "HTMLTagsentfernenSonderzeichenumwandeln1",
                         "HTMLTagsentfernenKomprimieren1",
                         "HTMLTagsentfernenSonderzeichenumwandelnKomprimieren1"};
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(operations[i]->objectName(), QLatin1String(names[i]));
    EXPECT_TRUE(operations[i]->isCheckable());
    EXPECT_FALSE(operations[i]->isChecked());
    // The seven entries share one icon.
    EXPECT_EQ(operations[i]->icon().cacheKey(), operations[0]->icon().cacheKey());
  }
  for (const char* name : {"BakBtn", "MetaTagBtn"}) {
    QAction* check = window->findChild<QAction*>(QLatin1String(name));
    EXPECT_TRUE(check->isCheckable()) << name;
    check->trigger();
    EXPECT_TRUE(check->isChecked()) << name;
    check->trigger();
    EXPECT_FALSE(check->isChecked()) << name;
  }
}

TEST_F(MainWindowTest, ToolbarsHoldTheirButtonsWithCaptionsHintsAndIcons) {
  auto window = ShowWindow();
  auto* upper = window->findChild<QToolBar*>(QStringLiteral("ToolBar"));
  auto* lower = window->findChild<QToolBar*>(QStringLiteral("ToolBar1"));
  ASSERT_NE(upper, nullptr);
  ASSERT_NE(lower, nullptr);
  EXPECT_EQ(Entries(upper->actions(), upper),
            (QStringList{QStringLiteral("Schließen"), QStringLiteral("-"),
                         QStringLiteral("[OptCB]"), QStringLiteral("Start"),
                         QStringLiteral("Vorschau"), QStringLiteral("Weitere Programme...")}));
  EXPECT_EQ(Entries(lower->actions(), lower),
            (QStringList{QStringLiteral("Alle wählen"), QStringLiteral("Alle abwählen"),
                         QStringLiteral("Auswahl umkehren"), QStringLiteral("-"),
                         QStringLiteral("Dateien in Unterverzeichnissen einbeziehen")}));
  EXPECT_LT(upper->geometry().bottom(), lower->geometry().top());  // one above the other
  for (QToolBar* bar : {upper, lower}) {
    EXPECT_FALSE(bar->isMovable());
    EXPECT_FALSE(bar->isFloatable());
    for (QAction* action : bar->actions()) {
      auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(action));
      if (button == nullptr) continue;
      EXPECT_EQ(button->text(), action->text());  // the whole caption, "..." included
      EXPECT_EQ(button->toolButtonStyle(), Qt::ToolButtonTextBesideIcon);
      EXPECT_FALSE(action->icon().isNull()) << action->text().toStdString();
      EXPECT_FALSE(action->icon().pixmap(16, 16).isNull()) << action->text().toStdString();
    }
  }
  auto hint = [&](const char* name) {
    return window->findChild<QAction*>(QLatin1String(name))->toolTip();
  };
  EXPECT_EQ(hint("ExitBtn"), QStringLiteral("Schließt das Fenster"));
  EXPECT_EQ(hint("StartBtn"), QStringLiteral("Option auf gewählte HTML-Dateien anwenden"));
  EXPECT_TRUE(window->findChild<QAction*>(QStringLiteral("UPdirchkbox"))->isCheckable());
  EXPECT_FALSE(window->findChild<QAction*>(QStringLiteral("UPdirchkbox"))->isChecked());
  // "Schließen" shows the same icon in menu and toolbar.
  EXPECT_EQ(window->findChild<QAction*>(QStringLiteral("ExitBtn"))->icon().cacheKey(),
            window->findChild<QAction*>(QStringLiteral("Beenden1"))->icon().cacheKey());
}

TEST_F(MainWindowTest, OperationBoxHoldsTheSevenEditMenuCaptions) {
  auto window = ShowWindow();
  auto* box = window->findChild<QComboBox*>(QStringLiteral("OptCB"));
  ASSERT_NE(box, nullptr);
  QStringList items;
  for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
  EXPECT_EQ(items, kOperations);
  EXPECT_EQ(box->currentIndex(), 0);
  // 497 pixels as drawn for an 8-point font, grown with the font (the captions' fit is tested
  // on its own).
  EXPECT_GE(box->width(), ScaledPixels(box->fontMetrics(), 497));
  EXPECT_FALSE(box->isEditable());
  EXPECT_EQ(box->maxVisibleItems(), 8);
}

TEST_F(MainWindowTest, ListsStatusBarAndPanes) {
  auto window = ShowWindow();
  ShellListView* list = FileList(*window);
  QStringList listColumns;
  for (int c = 0; c < list->columnCount(); ++c) listColumns << list->headerItem()->text(c);
  EXPECT_EQ(listColumns, (QStringList{QStringLiteral("Dateiname"), QStringLiteral("Datum"),
                                      QStringLiteral("Größe"), QStringLiteral("Ort")}));
  EXPECT_EQ(list->headerItem()->textAlignment(2) & Qt::AlignHorizontal_Mask, Qt::AlignRight);
  EXPECT_EQ(list->selectionMode(), QAbstractItemView::ExtendedSelection);
  EXPECT_EQ(list->editTriggers(), QAbstractItemView::NoEditTriggers);
  EXPECT_FALSE(list->header()->sectionsClickable());
  EXPECT_TRUE(list->hasMouseTracking());

  ResultsView* results = Results(*window);
  QStringList resultColumns;
  for (int c = 0; c < results->columnCount(); ++c) resultColumns << results->headerItem()->text(c);
  EXPECT_EQ(resultColumns,
            (QStringList{QStringLiteral("Dateiname"), QStringLiteral("Größe"),
                         QStringLiteral("Neue Größe"), QStringLiteral("Einsparung %"),
                         QStringLiteral("Sonderzeichen"), QStringLiteral("HTML-Code")}));
  EXPECT_EQ(results->editTriggers(), QAbstractItemView::NoEditTriggers);

  QStatusBar* status = window->findChild<QStatusBar*>(QStringLiteral("StatusBar"));
  ASSERT_NE(status, nullptr);
  const QList<QLabel*> panels =
      status->findChildren<QLabel*>(QRegularExpression(QStringLiteral("^StatusPanel")));
  ASSERT_EQ(panels.size(), 4);
  const int widths[] = {80, 100, 130, 66};
  for (int i = 0; i < 4; ++i) {
    QLabel* panel = status->findChild<QLabel*>(QStringLiteral("StatusPanel%1").arg(i));
    ASSERT_NE(panel, nullptr);
    // The sizes as drawn for an 8-point font, grown with the font; the first one also fits
    // its row count.
    if (i == 0) {
      EXPECT_GE(panel->width(), ScaledPixels(panel->fontMetrics(), widths[i])) << i;
    } else {
      EXPECT_EQ(panel->width(), ScaledPixels(panel->fontMetrics(), widths[i])) << i;
    }
    EXPECT_EQ(panel->text().isEmpty(), i != 0) << i;
  }

  auto* columns = window->findChild<QSplitter*>(QStringLiteral("VerticalSplitter"));
  auto* rows = window->findChild<QSplitter*>(QStringLiteral("HorizontalSplitter"));
  ASSERT_NE(columns, nullptr);
  ASSERT_NE(rows, nullptr);
  EXPECT_EQ(columns->sizes().first(), ScaledPixels(window->fontMetrics(), 209));
  EXPECT_EQ(rows->sizes().last(), ScaledPixels(window->fontMetrics(), 144));
  EXPECT_EQ(rows->handleWidth(), 3);
  EXPECT_EQ(columns->widget(0)->objectName(), QStringLiteral("ShellTreeView"));
  EXPECT_EQ(rows->widget(0)->objectName(), QStringLiteral("ShellListView"));
  EXPECT_EQ(rows->widget(1)->objectName(), QStringLiteral("LV"));
}

}  // namespace
}  // namespace vk::test
