// Building the main window's controls: menu bar, toolbars, work area, status bar and the two
// context menus. Object names are the controls' names, so that tests and the other parts of
// the program find them.
#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>

#include "batch/batch_run.h"
#include "ui/font_scale.h"
#include "ui/icons.h"
#include "ui/my_shell_tree_view.h"
#include "ui/results_view.h"
#include "ui/shell_list_view.h"
#include "ui/vk_main.h"

namespace vk {
namespace {

constexpr int kTreeWidth = 209;
constexpr int kResultsHeight = 144;
constexpr int kSplitterHandle = 3;
constexpr int kPanelWidths[] = {80, 100, 130, 66};

QMenu* AddMenu(QMenuBar* bar, const char* name, const QString& caption) {
  QMenu* menu = bar->addMenu(caption);
  menu->setObjectName(QLatin1String(name));
  menu->menuAction()->setObjectName(QLatin1String(name) + QStringLiteral("Action"));
  return menu;
}

// A menu entry with an icon shows its check state only as a faint frame around the icon (the
// styles draw the tick or the radio dot in place of an icon): a checkable entry keeps its icon,
// but the menu shows the mark instead, so an option's state is seen at a glance.
void ShowCheckMark(QAction* action) {
  action->setCheckable(true);
  action->setIconVisibleInMenu(false);
}

}  // namespace

QAction* TVKMain::MakeAction(QObject* owner, const char* name, const QString& caption,
                             const QIcon& icon) {
  auto* action = new QAction(icon, caption, owner);
  action->setObjectName(QLatin1String(name));
  action->setIconText(caption);  // buttons show the caption whole, "..." included
  action->setIconVisibleInMenu(true);
  return action;
}

void TVKMain::BuildMenus() {
  QMenuBar* bar = menuBar();
  bar->setObjectName(QStringLiteral("MainMenu"));

  datei1_ = AddMenu(bar, "Datei1", tr("Datei"));
  htmlTagsBearbeiten1_ = MakeAction(this, "HTMLTagsbearbeiten1",
                                    tr("HTML-Code-Liste bearbeiten..."), Icon(IconKind::kEditList));
  beenden1_ = MakeAction(this, "Beenden1", tr("Schließen"), Icon(IconKind::kExit));
  datei1_->addAction(htmlTagsBearbeiten1_);
  datei1_->addSeparator();
  datei1_->addAction(beenden1_);
  connect(htmlTagsBearbeiten1_, &QAction::triggered, this, &TVKMain::HTMLTagsbearbeiten1Click);
  connect(beenden1_, &QAction::triggered, this, &TVKMain::Beenden1Click);

  // Radio entries whose mark can also be taken away by choosing the marked one again.
  bearbeiten1_ = AddMenu(bar, "Bearbeiten1", tr("Bearbeiten"));
  operationGroup_ = new QActionGroup(this);
  operationGroup_->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
  const QIcon operationIcon = Icon(IconKind::kOperation);
  for (const OperationKind& kind : OperationKinds()) {
    const std::string name(kind.menuName);
    QAction* action = MakeAction(this, name.c_str(), tr(kind.caption), operationIcon);
    ShowCheckMark(action);
    operationGroup_->addAction(action);
    bearbeiten1_->addAction(action);
    operations_[static_cast<size_t>(kind.index)] = action;
    // The group has flipped the mark before the run starts.
    connect(action, &QAction::triggered, this, [this, index = kind.index] { RunOperation(index); });
  }
  bearbeiten1_->addSeparator();
  previewBtn_ = MakeAction(this, "VorschauBtn", tr("Vorschau"), Icon(IconKind::kPreview));
  previewBtn_->setIconVisibleInMenu(false);  // as its neighbours, whose place shows the mark
  previewBtn_->setToolTip(tr("Zeigt, was die Option ändern würde, ohne etwas zu verändern"));
  bearbeiten1_->addAction(previewBtn_);
  connect(previewBtn_, &QAction::triggered, this, &TVKMain::PreviewBtnClick);
  BuildUndoCommand();

  einstellungen1_ = AddMenu(bar, "Einstellungen1", tr("Einstellungen"));
  bakBtn_ =
      MakeAction(this, "BakBtn", tr("Sicherung (Bak-Datei) erstellen"), Icon(IconKind::kBackup));
  metaTagBtn_ =
      MakeAction(this, "MetaTagBtn", tr("Sonderzeichen in META-Tag-Angaben nicht verändern"),
                 Icon(IconKind::kMeta));
  for (QAction* check : {bakBtn_, metaTagBtn_}) {
    ShowCheckMark(check);
    check->setChecked(false);
    einstellungen1_->addAction(check);
  }

  hilfe1_ = AddMenu(bar, "Hilfe1", tr("Hilfe"));
  wieNutzeIch1_ = MakeAction(this, "WienutzeichdasProgramm1", tr("Wie nutze ich das Programm?"),
                             Icon(IconKind::kHelp));
  info1_ = MakeAction(this, "Info1", tr("Info..."), Icon(IconKind::kInfo));
  hilfe1_->addAction(wieNutzeIch1_);
  hilfe1_->addAction(info1_);
  connect(wieNutzeIch1_, &QAction::triggered, this, &TVKMain::WienutzeichdasProgramm1Click);
  connect(info1_, &QAction::triggered, this, &TVKMain::Info1Click);
}

void TVKMain::BuildToolBars() {
  toolBar_ = new QToolBar(QStringLiteral("ToolBar"), this);
  toolBar1_ = new QToolBar(QStringLiteral("ToolBar1"), this);
  toolBar_->setObjectName(QStringLiteral("ToolBar"));
  toolBar1_->setObjectName(QStringLiteral("ToolBar1"));
  for (QToolBar* bar : {toolBar_, toolBar1_}) {
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    bar->setIconSize(QSize(16, 16));
    bar->toggleViewAction()->setEnabled(false);
  }
  setContextMenuPolicy(Qt::NoContextMenu);  // the toolbars cannot be hidden

  // "Schließen" shares the menu entry's handler and icon.
  exitBtn_ = MakeAction(this, "ExitBtn", tr("Schließen"), beenden1_->icon());
  exitBtn_->setToolTip(tr("Schließt das Fenster"));
  connect(exitBtn_, &QAction::triggered, this, &TVKMain::Beenden1Click);
  optCB_ = new QComboBox(toolBar_);
  optCB_->setObjectName(QStringLiteral("OptCB"));
  optCB_->setEditable(false);
  optCB_->setMaxVisibleItems(8);
  startBtn_ = MakeAction(this, "StartBtn", tr("Start"), Icon(IconKind::kStart));
  startBtn_->setToolTip(tr("Option auf gewählte HTML-Dateien anwenden"));
  connect(startBtn_, &QAction::triggered, this, &TVKMain::StartBtnClick);
  // Whatever enables or disables Start does the same to the preview.
  previewBtn_->setEnabled(startBtn_->isEnabled());
  connect(startBtn_, &QAction::enabledChanged, previewBtn_, &QAction::setEnabled);
  moreProgramsBtn_ = MakeAction(this, "MoreProgramsBtn", tr("Weitere Programme..."),
                                Icon(IconKind::kMorePrograms));
  connect(moreProgramsBtn_, &QAction::triggered, this, &TVKMain::MoreProgramsBtnClick);
  toolBar_->addAction(exitBtn_);
  toolBar_->addSeparator();
  toolBar_->addWidget(optCB_);
  toolBar_->addAction(startBtn_);
  toolBar_->addAction(previewBtn_);
  toolBar_->addAction(moreProgramsBtn_);

  selAllBtn_ = MakeAction(this, "SelAllBtn", tr("Alle wählen"), Icon(IconKind::kSelectAll));
  selNoneBtn_ = MakeAction(this, "SelNoneBtn", tr("Alle abwählen"), Icon(IconKind::kSelectNone));
  selReverseBtn_ =
      MakeAction(this, "SelReverseBtn", tr("Auswahl umkehren"), Icon(IconKind::kSelectReverse));
  upDirChkBox_ = MakeAction(this, "UPdirchkbox", tr("Dateien in Unterverzeichnissen einbeziehen"),
                            Icon(IconKind::kSubfolders));
  upDirChkBox_->setCheckable(true);
  connect(selAllBtn_, &QAction::triggered, this, &TVKMain::SelAllBtnClick);
  connect(selNoneBtn_, &QAction::triggered, this, &TVKMain::SelNoneBtnClick);
  connect(selReverseBtn_, &QAction::triggered, this, &TVKMain::SelReverseBtnClick);
  // Only a press by the user (or trigger()) rebuilds the list, not the drop's release.
  connect(upDirChkBox_, &QAction::triggered, this, &TVKMain::UPdirchkboxClick);
  toolBar1_->addAction(selAllBtn_);
  toolBar1_->addAction(selNoneBtn_);
  toolBar1_->addAction(selReverseBtn_);
  toolBar1_->addSeparator();
  toolBar1_->addAction(upDirChkBox_);

  addToolBar(Qt::TopToolBarArea, toolBar_);
  addToolBarBreak(Qt::TopToolBarArea);
  addToolBar(Qt::TopToolBarArea, toolBar1_);

  for (QAction* action : {exitBtn_, startBtn_, previewBtn_, moreProgramsBtn_, selAllBtn_,
                          selNoneBtn_, selReverseBtn_, upDirChkBox_}) {
    QToolBar* bar = toolBar_->actions().contains(action) ? toolBar_ : toolBar1_;
    if (QWidget* button = bar->widgetForAction(action)) {
      button->setObjectName(action->objectName() + QStringLiteral("Button"));
    }
  }
}

void TVKMain::BuildWorkArea() {
  verticalSplitter_ = new QSplitter(Qt::Horizontal, this);
  verticalSplitter_->setObjectName(QStringLiteral("VerticalSplitter"));
  verticalSplitter_->setOpaqueResize(true);
  verticalSplitter_->setChildrenCollapsible(false);

  shellTreeView_ = new TMyShellTreeView(verticalSplitter_);
  shellTreeView_->setObjectName(QStringLiteral("ShellTreeView"));
  shellTreeView_->setMinimumWidth(40);

  horizontalSplitter_ = new QSplitter(Qt::Vertical, verticalSplitter_);
  horizontalSplitter_->setObjectName(QStringLiteral("HorizontalSplitter"));
  horizontalSplitter_->setOpaqueResize(true);
  horizontalSplitter_->setChildrenCollapsible(false);
  horizontalSplitter_->setHandleWidth(kSplitterHandle);

  shellListView_ = new ShellListView(horizontalSplitter_);
  shellListView_->setObjectName(QStringLiteral("ShellListView"));
  shellListView_->setContextMenuPolicy(Qt::CustomContextMenu);
  lv_ = new ResultsView(horizontalSplitter_);
  lv_->setObjectName(QStringLiteral("LV"));
  lv_->setContextMenuPolicy(Qt::CustomContextMenu);

  // The tree keeps its width and the results list its height when the window is resized.
  verticalSplitter_->setStretchFactor(0, 0);
  verticalSplitter_->setStretchFactor(1, 1);
  horizontalSplitter_->setStretchFactor(0, 1);
  horizontalSplitter_->setStretchFactor(1, 0);
  const QFontMetrics metrics = fontMetrics();
  verticalSplitter_->setSizes(
      {ScaledPixels(metrics, kTreeWidth), ScaledPixels(metrics, 850 - kTreeWidth)});
  horizontalSplitter_->setSizes({200, ScaledPixels(metrics, kResultsHeight)});
  setCentralWidget(verticalSplitter_);

  connect(shellTreeView_, &TMyCustomShellTreeView::OnChange, this, &TVKMain::ShellTreeViewChange);
  connect(shellListView_, &ShellListView::TickChanged, this, &TVKMain::ShellListViewChange);
  connect(shellListView_, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
    ShellListViewMouseDown(shellListView_->viewport()->mapToGlobal(pos));
  });

  // While a listing runs, clicks and keys that would start another one are dropped.
  shellTreeView_->installEventFilter(this);
  shellTreeView_->viewport()->installEventFilter(this);
  if (QWidget* toggle = toolBar1_->widgetForAction(upDirChkBox_)) toggle->installEventFilter(this);
}

void TVKMain::BuildStatusBar() {
  QStatusBar* bar = statusBar();
  bar->setObjectName(QStringLiteral("StatusBar"));
  bar->setSizeGripEnabled(true);
  for (size_t i = 0; i < statusPanels_.size(); ++i) {
    auto* panel = new QLabel(bar);
    panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setTextFormat(Qt::PlainText);
    // The first panel shows the row count whole, up to seven digits.
    const QFontMetrics metrics = panel->fontMetrics();
    const int frame = 2 * panel->frameWidth() + 2 * panel->margin() + 4;
    panel->setFixedWidth(
        i == 0 ? WidthToShow(metrics, kPanelWidths[i], tr("%1 Datei(en)").arg(9999999), frame)
               : ScaledPixels(metrics, kPanelWidths[i]));
    bar->addWidget(panel);
    statusPanels_[i] = panel;
  }
  // Files done out of files ticked, while a run lasts.
  progress_ = new QProgressBar(bar);
  progress_->setObjectName(QStringLiteral("RunProgress"));
  progress_->setFixedWidth(200);
  progress_->setMaximumHeight(16);
  progress_->setTextVisible(true);
  progress_->setFormat(QStringLiteral("%v / %m"));
  bar->addPermanentWidget(progress_);
  progress_->hide();
  cancelBtn_ = new QPushButton(tr("Abbrechen"), bar);
  cancelBtn_->setObjectName(QStringLiteral("CancelBtn"));
  cancelBtn_->setToolTip(tr("Beendet die Aktion nach den Dateien in Arbeit"));
  cancelBtn_->setMaximumHeight(progress_->maximumHeight() + 6);
  connect(cancelBtn_, &QPushButton::clicked, this, &TVKMain::CancelBtnClick);
  bar->addPermanentWidget(cancelBtn_);
  cancelBtn_->hide();
}

void TVKMain::BuildContextMenus() {
  shellLVPopupMenu_ = new QMenu(this);
  shellLVPopupMenu_->setObjectName(QStringLiteral("ShellLVPopupMenu"));
  QAction* editor =
      MakeAction(shellLVPopupMenu_, "DateiimEditorzeigen1",
                 tr("Datei im Editor (Notepad) zeigen..."), Icon(IconKind::kTextEditor));
  QAction* browser = MakeAction(shellLVPopupMenu_, "DateiimStandardBrowserzeigen1",
                                tr("Datei im Standard-Browser zeigen"), Icon(IconKind::kBrowser));
  shellLVPopupMenu_->addAction(editor);
  shellLVPopupMenu_->addAction(browser);
  connect(editor, &QAction::triggered, this, &TVKMain::DateiimEditorzeigen1Click);
  connect(browser, &QAction::triggered, this, &TVKMain::DateiimStandardBrowserzeigen1Click);

  lvPopupMenu_ = new QMenu(this);
  lvPopupMenu_->setObjectName(QStringLiteral("LVPopupMenu"));
  QAction* resultEditor =
      MakeAction(lvPopupMenu_, "MenuItem1", tr("Datei im Editor (Notepad) zeigen..."),
                 Icon(IconKind::kTextEditor));
  QAction* resultBrowser = MakeAction(
      lvPopupMenu_, "BrowserBtn", tr("Datei im Standard-Browser zeigen"), Icon(IconKind::kBrowser));
  lvPopupMenu_->addAction(resultEditor);
  lvPopupMenu_->addAction(resultBrowser);
  QAction* changes = MakeAction(lvPopupMenu_, "AenderungenAnzeigen1", tr("Änderungen anzeigen"),
                                Icon(IconKind::kChanges));
  lvPopupMenu_->addSeparator();
  lvPopupMenu_->addAction(changes);
  connect(changes, &QAction::triggered, this, &TVKMain::AenderungenAnzeigen1Click);
  connect(resultEditor, &QAction::triggered, this, &TVKMain::MenuItem1Click);
  connect(resultBrowser, &QAction::triggered, this, &TVKMain::BrowserBtnClick);
  connect(lv_, &QTreeWidget::itemDoubleClicked, this, &TVKMain::LVDblClick);
  connect(lv_, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& pos) { LVMouseDown(lv_->viewport()->mapToGlobal(pos)); });
}

}  // namespace vk
