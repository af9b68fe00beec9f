#include "ui/repos_app.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace vk {
namespace {

PlacementRect ToRect(const QRect& r) { return {r.x(), r.y(), r.width(), r.height()}; }

}  // namespace

TRePosApp::TRePosApp(QWidget* owner) : QObject(owner), owner_(owner) {}

void TRePosApp::FillDefaultIniFileName() {
  if (!iniFileName_.empty()) return;
  const QFileInfo program(QCoreApplication::applicationFilePath());
  iniFileName_ =
      (program.path() + QLatin1Char('/') + program.completeBaseName() + QStringLiteral(".ini"))
          .toStdString();
}

void TRePosApp::RestorePlacement(bool useIni) {
  StoredPlacement stored;
  if (useIni) {
    FillDefaultIniFileName();
    stored = ReadPlacementIni(iniFileName_, names_);
  }

  const WindowPlacementState state = PlacementStateOf(owner_);
  const RestoreResult result =
      vk::RestorePlacement(stored, CurrentMonitors(), state, allowMaximized_);

  const PlacementRect& g = result.geometry;
  if (g.left != state.geometry.left || g.top != state.geometry.top) owner_->move(g.left, g.top);
  if (g.width != state.geometry.width || g.height != state.geometry.height) {
    owner_->resize(g.width, g.height);
  }
  if (result.maximized) {
    Qt::WindowStates windowState = owner_->windowState() & ~(Qt::WindowMinimized);
    if (*result.maximized) {
      windowState |= Qt::WindowMaximized;
    } else {
      windowState &= ~Qt::WindowMaximized;
    }
    owner_->setWindowState(windowState);
  }
  monitor_ = result.monitor;
}

void TRePosApp::SavePlacement(bool useIni) {
  if (!useIni) return;
  FillDefaultIniFileName();
  const QScreen* screen = owner_->screen();
  const bool onNonPrimary = screen && screen != QGuiApplication::primaryScreen();
  WritePlacementIni(iniFileName_, names_,
                    vk::SavePlacement(PlacementStateOf(owner_), onNonPrimary, allowMaximized_));
}

TRePosApp* MainWindowRePosApp(QWidget* window) {
  if (auto* existing =
          window->findChild<TRePosApp*>(QStringLiteral("RePosApp"), Qt::FindDirectChildrenOnly)) {
    return existing;
  }
  auto* repos = new TRePosApp(window);
  repos->setObjectName(QStringLiteral("RePosApp"));
  repos->SetSectionName("VelkaroWindowPosition");
  repos->SetAllowMaximized(true);
  return repos;
}

std::vector<MonitorInfo> CurrentMonitors() {
  std::vector<MonitorInfo> monitors;
  const QScreen* primary = QGuiApplication::primaryScreen();
  if (primary) monitors.push_back({ToRect(primary->geometry()), true});
  for (const QScreen* screen : QGuiApplication::screens()) {
    if (screen != primary) monitors.push_back({ToRect(screen->geometry()), false});
  }
  return monitors;
}

WindowPlacementState PlacementStateOf(const QWidget* window) {
  WindowPlacementState state;
  // x()/y() are the frame's corner, which move() sets; the size is the inner one, which
  // resize() sets and which is known before the window manager has framed the window.
  state.geometry = {window->x(), window->y(), window->width(), window->height()};
  state.maximized = window->isMaximized();
  state.minimized = window->isMinimized();
  state.resizable = window->minimumSize() != window->maximumSize();
  return state;
}

void CentreOnPrimaryScreen(QWidget* window) {
  if (window->isMaximized() || window->isFullScreen()) return;
  const QScreen* primary = QGuiApplication::primaryScreen();
  if (!primary) return;
  const QSize size = window->frameGeometry().size();
  const auto [left, top] = CentredOrigin(
      ToRect(primary->geometry()), ToRect(primary->virtualGeometry()), size.width(), size.height());
  window->move(left, top);
}

}  // namespace vk
