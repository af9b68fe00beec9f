// The main window's life cycle (creation, first showing, closing, destruction), the command
// line, files dropped onto the window, and the help and link commands.
#include "ui/vk_main.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFontDatabase>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QToolBar>
#include <QUrl>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "batch/batch_run.h"
#include "engine/my_tools.h"
#include "selection/file_names.h"
#include "selection/folder_scan.h"
#include "settings/options.h"
#include "ui/about_dlg.h"
#include "ui/font_scale.h"
#include "ui/html_tag_edit_command.h"
#include "ui/launcher.h"
#include "ui/my_shell_tree_view.h"
#include "ui/repos_app.h"
#include "ui/results_view.h"
#include "ui/shell_list_view.h"
#include "ui/user_dialogs.h"

namespace vk {
namespace {

const char kMoreProgramsAddress[] = "https://velkaro.example/programme.html";

QString WithSeparator(const QString& folder) {
  return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

QString SystemErrorText(int code) { return QString::fromLocal8Bit(std::strerror(code)); }

}  // namespace

TVKMain::TVKMain(TVKMainSetup setup, QWidget* parent)
    : QMainWindow(parent),
      setup_(std::move(setup)),
      feedback_(this, [this](const QString& text) { SetStatusText(text); }),
      iniFile_(&feedback_) {
  setObjectName(QStringLiteral("VKMain"));
  setWindowTitle(QStringLiteral("Velkaro"));
  setMinimumSize(500, 400);
  if (QFontDatabase::hasFamily(QStringLiteral("Tahoma")))
    setFont(QFont(QStringLiteral("Tahoma"), 8));
  BuildMenus();
  BuildToolBars();
  BuildWorkArea();
  BuildStatusBar();
  BuildContextMenus();
  resize(ScaledPixels(fontMetrics(), 850),
         ScaledPixels(fontMetrics(), 438) + menuBar()->sizeHint().height());
  // The tree builds its root and selects it: the first filling of the file list, unticked.
  shellTreeView_->SetRoot(setup_.treeRoot);
  FormCreate();
}

TVKMain::~TVKMain() { FormDestroy(); }

void TVKMain::FormCreate() {
  folderFlag_ = false;
  fileFlag_ = false;
  optCB_->clear();
  for (QAction* operation : operations_) optCB_->addItem(operation->text());
  optCB_->setCurrentIndex(0);
  FitOperationBox();
  FitFirstSize();
  HandleCommandLine();
  iniFile_.SetIniLocation(TIniLocation::loDefUser);
  iniFile_.SetDefFilePath(EnsureSettingsFolder());
  ReadOptions();
  UpdateCommandStates();
  RestorePlacement();
}

void TVKMain::FitOperationBox() {
  // 497 pixels scaled to the font, and never narrower than its longest caption needs.
  optCB_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  const int needed = optCB_->sizeHint().width();
  optCB_->setFixedWidth(std::max(ScaledPixels(optCB_->fontMetrics(), 497), needed));
}

void TVKMain::FitFirstSize() {
  // Wide enough for the upper toolbar whole, where the screen has room: its operation box is as
  // wide as its longest caption. A placement saved before is restored over this.
  int room = toolBar_->sizeHint().width();
  if (const QScreen* shown = screen()) room = std::min(room, shown->availableGeometry().width());
  if (width() < room) resize(room, height());
}

void TVKMain::HandleCommandLine() {
  if (setup_.arguments.isEmpty()) return;
  // The argument's bytes name the file or folder, whatever their encoding; any further
  // arguments are ignored.
  const std::string argument = StdBytes(setup_.arguments.first());
  const std::string absolute = CleanPath(argument);  // before the current folder changes
  struct stat info {};
  if (!argument.empty() && stat(argument.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
    AppendSingleFile(absolute);
    fileFlag_ = true;
  } else if (!argument.empty() && chdir(argument.c_str()) == 0) {
    shellTreeView_->SelectPath(Bytes(absolute));
    shellListView_->ClearRows();
    AddFolderFiles(absolute, true);
    folderFlag_ = true;
  } else {
    Dialogs().Error(this, tr("Der Parameter ist keine Datei und kein Ordner!"));
  }
}

void TVKMain::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (shown_) return;
  shown_ = true;
  FormShow();
  // The window opens centred on the primary screen, keeping the size (and state) it was given.
  vk::CentreOnPrimaryScreen(this);
}

void TVKMain::FormShow() {
  setAcceptDrops(true);
  if (!folderFlag_ && !fileFlag_) ShellTreeViewChange();
  UpdateCommandStates();
  shellListView_->setFocus();
}

void TVKMain::closeEvent(QCloseEvent* event) {
  if (running_) {
    // The run finishes its files first; the window closes when it has ended.
    closeRequested_ = true;
    event->ignore();
    return;
  }
  FormClose();
  event->accept();
}

void TVKMain::FormClose() {
  try {
    WriteOptions();
  } catch (const IniWriteError& error) {
    // The window closes all the same; the user learns that the options were not stored.
    Dialogs().Error(this, QString::fromStdString(error.what()));
  }
}

void TVKMain::FormDestroy() {
  lv_->ClearResults();
  SavePlacement();
}

void TVKMain::ReadOptions() {
  const Options options = vk::ReadOptions(iniFile_);
  bakBtn_->setChecked(options.createBak);
  metaTagBtn_->setChecked(options.ignoreMetaTags);
  optCB_->setCurrentIndex(options.operationIndex >= 0 && options.operationIndex < optCB_->count()
                              ? options.operationIndex
                              : 0);
}

void TVKMain::WriteOptions() {
  Options options;
  options.createBak = bakBtn_->isChecked();
  options.ignoreMetaTags = metaTagBtn_->isChecked();
  options.operationIndex = optCB_->currentIndex();
  vk::WriteOptions(iniFile_, options);
}

void TVKMain::RestorePlacement() {
  TRePosApp* rePosApp = MainWindowRePosApp(this);
  rePosApp->SetInifileName(SettingsFolder() + "Velkaro.ini");
  rePosApp->RestorePlacement(true);
}

void TVKMain::SavePlacement() {
  TRePosApp* rePosApp = MainWindowRePosApp(this);
  rePosApp->SetInifileName(SettingsFolder() + "Velkaro.ini");
  rePosApp->SavePlacement(true);
}

void TVKMain::HTMLTagsbearbeiten1Click() { EditHtmlCodeList(this, iniFile_); }

void TVKMain::Info1Click() {
  TAboutDlg dialog(this);
  dialog.exec();
}

void TVKMain::Beenden1Click() { close(); }

void TVKMain::WienutzeichdasProgramm1Click() {
  const QString programFolder =
      WithSeparator(setup_.programFolder.isEmpty() ? QCoreApplication::applicationDirPath()
                                                   : setup_.programFolder);
  const QString dataFolder = WithSeparator(
      setup_.dataFolder.isEmpty() ? QStringLiteral(VELKARO_DATA_DIR) : setup_.dataFolder);
  const QString name = QStringLiteral("vkreadme.htm");
  QString file = programFolder + name;
  if (!QFileInfo::exists(file) && QFileInfo::exists(dataFolder + name)) file = dataFolder + name;
  const QFileInfo info(file);
  QString error;
  if (!info.exists()) {
    error = SystemErrorText(ENOENT);
  } else if (!info.isFile()) {
    error = SystemErrorText(EISDIR);
  } else if (!info.isReadable()) {
    error = SystemErrorText(EACCES);
  } else if (!Launch().OpenUrl(QUrl::fromLocalFile(info.absoluteFilePath()))) {
    error = tr("Keine Anwendung zum Anzeigen gefunden");
  }
  if (!error.isEmpty()) {
    Dialogs().Error(this, tr("Konnte %1 nicht öffnen %2").arg(programFolder + name, error));
  }
}

void TVKMain::MoreProgramsBtnClick() {
  Launch().OpenUrl(
      QUrl(QString::fromLatin1(kMoreProgramsAddress)));  // the outcome is not looked at
}

void TVKMain::AppendSingleFile(const std::string& path) {
  shellListView_->AppendRows({MakeSingleFileRow(path, true)});
  shellListView_->FitColumns();
}

void TVKMain::FilesDropped(const std::vector<std::string>& paths) {
  upDirChkBox_->setChecked(false);
  upDirChkBox_->setEnabled(false);
  for (const std::string& path : paths) {
    const std::string name = path.substr(path.rfind('/') + 1);
    const std::size_t dot = name.rfind('.');
    const std::string extension =
        TMyTools::UpperCaseGerman(dot == std::string::npos ? std::string() : name.substr(dot));
    if (extension == ".HTM" || extension == ".HTML") {
      AppendSingleFile(path);
    } else if (chdir(path.c_str()) == 0) {
      AddFolderFiles(path, true);
      break;  // the paths after a folder are not looked at
    } else if (Dialogs().Question(
                   this, tr("%1 ist keine HTML-Datei. Trotzdem verwenden?").arg(NameText(path)))) {
      AppendSingleFile(path);
    }
  }
  UpdateCommandStates();
}

void TVKMain::dragEnterEvent(QDragEnterEvent* event) {
  if (acceptDrops() && !listing_ && event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TVKMain::dragMoveEvent(QDragMoveEvent* event) {
  if (acceptDrops() && !listing_ && event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TVKMain::dropEvent(QDropEvent* event) {
  if (!acceptDrops() || listing_ || !event->mimeData()->hasUrls()) return;
  std::vector<std::string> paths;
  for (const QUrl& url : event->mimeData()->urls()) {
    // The URL's percent-encoded bytes are the name's bytes, whatever their encoding.
    if (url.isLocalFile()) paths.push_back(CleanPath(LocalPathOf(url)));
  }
  event->acceptProposedAction();
  if (!paths.empty()) FilesDropped(paths);
}

}  // namespace vk
