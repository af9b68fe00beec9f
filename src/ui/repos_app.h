// TRePosApp: remembers where its owner window was and how large it was, and puts it back.
// The arithmetic lives in settings/placement; this side feeds it the screens' geometry and the
// window's state and applies the result. Without the settings file chosen nothing is read (the
// window is centred) and nothing is saved.
#pragma once

#include <QObject>
#include <string>
#include <vector>

#include "settings/placement.h"

class QWidget;

namespace vk {

class TRePosApp : public QObject {
  Q_OBJECT

 public:
  // `owner` is the window that is placed; it also owns the component.
  explicit TRePosApp(QWidget* owner);

  const std::string& LeftName() const { return names_.left; }
  void SetLeftName(const std::string& name) { names_.left = name; }
  const std::string& TopName() const { return names_.top; }
  void SetTopName(const std::string& name) { names_.top = name; }
  const std::string& HeightName() const { return names_.height; }
  void SetHeightName(const std::string& name) { names_.height = name; }
  const std::string& WidthName() const { return names_.width; }
  void SetWidthName(const std::string& name) { names_.width = name; }
  const std::string& WindowStateName() const { return names_.windowState; }
  void SetWindowStateName(const std::string& name) { names_.windowState = name; }
  const std::string& SectionName() const { return names_.section; }
  void SetSectionName(const std::string& name) { names_.section = name; }
  // The INI-format file; when empty at a restore or save it becomes the program file's path
  // with the extension ".ini".
  const std::string& InifileName() const { return iniFileName_; }
  void SetInifileName(const std::string& name) { iniFileName_ = name; }
  bool AllowMaximized() const { return allowMaximized_; }
  void SetAllowMaximized(bool allow) { allowMaximized_ = allow; }
  // The monitor choice of the last restore.
  TReposMonitor Monitor() const { return monitor_; }
  void SetMonitor(TReposMonitor monitor) { monitor_ = monitor; }

  // Reads the stored values from the INI file when `useIni` (else takes the defaults) and
  // applies them to the owner window.
  void RestorePlacement(bool useIni);
  // Writes the owner's placement to the INI file when `useIni`. Failures are swallowed.
  void SavePlacement(bool useIni);

 private:
  void FillDefaultIniFileName();

  QWidget* owner_;
  PlacementNames names_;
  std::string iniFileName_;
  bool allowMaximized_ = false;
  TReposMonitor monitor_ = TReposMonitor::rposPrimary;
};

// The main window's component, its child "RePosApp", created on first use with the main
// window's settings: section "VelkaroWindowPosition", AllowMaximized true. The caller sets
// InifileName before each restore and save.
TRePosApp* MainWindowRePosApp(QWidget* window);

// The screens as the placement sees them: the primary one first, then the others in the
// system's order, each with its geometry on the virtual desktop.
std::vector<MonitorInfo> CurrentMonitors();

// The window's position and size (frame position, inner size) and its state.
WindowPlacementState PlacementStateOf(const QWidget* window);

// Moves a window that is neither maximized nor full screen to the centre of the primary screen,
// keeping its size, but not left of or above the whole desktop. For the main window's first
// showing. Where the window system places windows itself (Wayland) the move has no effect.
void CentreOnPrimaryScreen(QWidget* window);

}  // namespace vk
