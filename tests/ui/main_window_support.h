// Helpers of the main-window tests: the application object, recorders for message boxes and
// for started programs, a fixture that isolates the settings and roots the folder tree at a
// throwaway folder, and readers that turn the lists into lines for exact comparisons.
#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <QUrl>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "support/test_support.h"
#include "ui/launcher.h"
#include "ui/user_dialogs.h"

class QAbstractItemView;
class QDropEvent;
class QMenu;

namespace vk {
class TVKMain;
class ShellListView;
class ResultsView;
}  // namespace vk

namespace vk::test {

// Creates the program's application object once per test program.
void StartVelkaroApplication();

// A fixture member placed before any widget member, so the application exists first.
struct ApplicationStarter {
  ApplicationStarter() { StartVelkaroApplication(); }
};

// Records every box; questions take their answers from `answers` (No when it is empty).
class BoxRecorder : public UserDialogs {
 public:
  void Error(QWidget* parent, const QString& text) override;
  void Information(QWidget* parent, const QString& text) override;
  bool Question(QWidget* parent, const QString& text) override;
  void Plain(QWidget* parent, const QString& text) override;

  QStringList errors;
  QStringList informations;
  QStringList questions;
  std::deque<bool> answers;
  std::function<void()> onError;        // runs inside Error, while the box would be up
  std::function<void()> onInformation;  // runs inside Information
};

// Records what would have been opened or started.
class LaunchRecorder : public Launcher {
 public:
  bool OpenUrl(const QUrl& url) override;
  bool StartDetached(const QString& program, const QList<QByteArray>& arguments) override;

  std::vector<QUrl> urls;
  std::vector<std::pair<QString, QList<QByteArray>>> starts;
  bool openResult = true;
};

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A window over `root_` (not shown); `arguments` is its command line.
  std::unique_ptr<TVKMain> MakeWindow(const QStringList& arguments = {});
  // The same, shown (so that its first showing has run).
  std::unique_ptr<TVKMain> ShowWindow(const QStringList& arguments = {});

  // root_.Path() + "/" + name, as QString.
  QString At(const std::string& name) const;
  // The same as the path's bytes (a name need not be UTF-8).
  QByteArray Bytes(const std::string& name) const;
  // Makes a folder (and parents) below root_.
  void Folder(const std::string& name) const;
  // Writes a file below root_.
  void File(const std::string& name, const std::string& content = "<p>") const;
  // The settings file's content ("" when missing).
  std::string SettingsFile() const;
  void WriteSettings(const std::string& content) const;

  TempDir root_;
  TempDir config_;
  // The window's undo journals stay in the test's own folder.
  ScopedEnv stateHome_{"XDG_STATE_HOME", config_.Path() + "/state"};
  BoxRecorder boxes_;
  LaunchRecorder launcher_;

 private:
  std::string oldConfigHome_;
  bool hadConfigHome_ = false;
  QString oldCurrent_;
};

ShellListView* FileList(TVKMain& window);
ResultsView* Results(TVKMain& window);

// "x|name|size|folder" per row of the file list ("x" ticked, "-" not).
std::vector<std::string> ListLines(TVKMain& window);
// The same, sorted, for listings whose order the file system decides.
std::vector<std::string> SortedListLines(TVKMain& window);
// The six cells of every results row joined by "|".
std::vector<std::string> ResultLines(TVKMain& window);

// A right-button click into `view` near its top left corner, as the window system sends it.
void RightClickInto(QAbstractItemView* view);

// The captions of the menu's entries, in order.
QStringList Captions(const QMenu& menu);

// Delivers `paths` as file URLs in one drop onto the window.
void DropFiles(TVKMain& window, const QStringList& paths);

}  // namespace vk::test
