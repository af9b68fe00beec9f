#include "main_window_support.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QDropEvent>
#include <QMenu>
#include <QMimeData>
#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "engine/my_tools.h"
#include "ui/results_view.h"
#include "ui/shell_list_view.h"
#include "ui/velkaro_application.h"
#include "ui/vk_main.h"

namespace vk::test {

void StartVelkaroApplication() {
  if (QApplication::instance() != nullptr) return;
  static int argc = 1;
  static char name[] = "velkaro-test";
  static char* argv[] = {name, nullptr};
  new VelkaroApplication(argc, argv);
}

void BoxRecorder::Error(QWidget*, const QString& text) {
  errors << text;
  if (onError) onError();
}

void BoxRecorder::Information(QWidget*, const QString& text) {
  informations << text;
  if (onInformation) onInformation();
}

bool BoxRecorder::Question(QWidget*, const QString& text) {
  questions << text;
  if (answers.empty()) return false;
  const bool answer = answers.front();
  answers.pop_front();
  return answer;
}

void BoxRecorder::Plain(QWidget*, const QString& text) { informations << text; }

bool LaunchRecorder::OpenUrl(const QUrl& url) {
  urls.push_back(url);
  return openResult;
}

bool LaunchRecorder::StartDetached(const QString& program, const QList<QByteArray>& arguments) {
  starts.emplace_back(program, arguments);
  return true;
}

void MainWindowTest::SetUp() {
  StartVelkaroApplication();
  if (const char* old = std::getenv("XDG_CONFIG_HOME")) {
    hadConfigHome_ = true;
    oldConfigHome_ = old;
  }
  setenv("XDG_CONFIG_HOME", config_.Path().c_str(), 1);
  oldCurrent_ = QDir::currentPath();
  SetDialogs(&boxes_);
  SetLauncher(&launcher_);
  MyTools().SetThousandsSeparator(".");
}

void MainWindowTest::TearDown() {
  SetDialogs(nullptr);
  SetLauncher(nullptr);
  QDir::setCurrent(oldCurrent_);
  if (hadConfigHome_) {
    setenv("XDG_CONFIG_HOME", oldConfigHome_.c_str(), 1);
  } else {
    unsetenv("XDG_CONFIG_HOME");
  }
}

std::unique_ptr<TVKMain> MainWindowTest::MakeWindow(const QStringList& arguments) {
  TVKMainSetup setup;
  for (const QString& argument : arguments) setup.arguments << argument.toUtf8();
  setup.treeRoot = QString::fromStdString(root_.Path());
  return std::make_unique<TVKMain>(setup);
}

std::unique_ptr<TVKMain> MainWindowTest::ShowWindow(const QStringList& arguments) {
  auto window = MakeWindow(arguments);
  window->show();
  return window;
}

QString MainWindowTest::At(const std::string& name) const {
  return QString::fromStdString(root_.File(name));
}

QByteArray MainWindowTest::Bytes(const std::string& name) const {
  return QByteArray::fromStdString(root_.File(name));
}

void MainWindowTest::Folder(const std::string& name) const {
  std::filesystem::create_directories(root_.File(name));
}

void MainWindowTest::File(const std::string& name, const std::string& content) const {
  WriteFile(root_.File(name), content);
}

std::string MainWindowTest::SettingsFile() const {
  const std::string path = config_.File("Velkaro/Velkaro.ini");
  if (!std::filesystem::exists(path)) return {};
  return ReadFile(path);
}

void MainWindowTest::WriteSettings(const std::string& content) const {
  std::filesystem::create_directories(config_.File("Velkaro"));
  WriteFile(config_.File("Velkaro/Velkaro.ini"), content);
}

ShellListView* FileList(TVKMain& window) {
  return window.findChild<ShellListView*>(QStringLiteral("ShellListView"));
}

ResultsView* Results(TVKMain& window) {
  return window.findChild<ResultsView*>(QStringLiteral("LV"));
}

std::vector<std::string> ListLines(TVKMain& window) {
  std::vector<std::string> lines;
  ShellListView* list = FileList(window);
  for (int row = 0; row < list->RowCount(); ++row) {
    const FileListRow r = list->Row(row);
    lines.push_back(std::string(r.ticked ? "x" : "-") + "|" + r.name + "|" + r.size + "|" +
                    r.folder);
  }
  return lines;
}

std::vector<std::string> SortedListLines(TVKMain& window) {
  std::vector<std::string> lines = ListLines(window);
  std::sort(lines.begin(), lines.end());
  return lines;
}

std::vector<std::string> ResultLines(TVKMain& window) {
  std::vector<std::string> lines;
  ResultsView* results = Results(window);
  for (int row = 0; row < results->RowCount(); ++row) {
    const std::vector<std::string> cells = results->Cells(row);
    std::string line;
    for (size_t i = 0; i < cells.size(); ++i) line += (i == 0 ? "" : "|") + cells[i];
    lines.push_back(line);
  }
  return lines;
}

void RightClickInto(QAbstractItemView* view) {
  const QPoint where(5, 5);
  QContextMenuEvent event(QContextMenuEvent::Mouse, where, view->viewport()->mapToGlobal(where));
  QApplication::sendEvent(view->viewport(), &event);
}

QStringList Captions(const QMenu& menu) {
  QStringList captions;
  for (QAction* entry : menu.actions()) captions << entry->text();
  return captions;
}

void DropFiles(TVKMain& window, const QStringList& paths) {
  QMimeData data;
  QList<QUrl> urls;
  for (const QString& path : paths) urls << QUrl::fromLocalFile(path);
  data.setUrls(urls);
  const QPointF where(window.width() / 2.0, window.height() / 2.0);
  QDragEnterEvent enter(where.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&window, &enter);
  QDropEvent drop(where, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&window, &drop);
}

}  // namespace vk::test
