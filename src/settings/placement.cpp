#include "settings/placement.h"

#include <algorithm>
#include <cerrno>

#include "settings/ini_document.h"
#include "settings/settings_file_io.h"

namespace vk {
namespace {

bool NothingStored(const StoredPlacement& stored) {
  return stored.top == -1 || stored.left == -1 || stored.height == -1 || stored.width == -1;
}

// Pulls an edge back so that edge + size ends within `limit`, not below 0. 64-bit, because
// stored values may be anything a 32-bit number holds.
int PullBack(int edge, int size, int limit) {
  if (static_cast<std::int64_t>(limit) < static_cast<std::int64_t>(edge) + size) {
    return static_cast<int>(std::max<std::int64_t>(0, static_cast<std::int64_t>(limit) - size));
  }
  return edge;
}

std::int32_t ReadKey(const IniDocument& doc, const std::string& section, const std::string& key,
                     std::int32_t fallback) {
  const std::optional<std::string> text = doc.Value(section, key);
  std::int32_t value;
  if (!text || !ParseInt32(*text, &value)) return fallback;
  return value;
}

}  // namespace

int ChooseMonitor(const std::vector<MonitorInfo>& monitors, TReposMonitor* which) {
  if (monitors.size() < 2) {
    *which = TReposMonitor::rposPrimary;
    return monitors.empty() ? -1 : 0;
  }
  const bool firstIsPrimary = monitors[0].primary;
  if (*which == TReposMonitor::rposPrimary) return firstIsPrimary ? 0 : 1;
  return firstIsPrimary ? 1 : 0;
}

RestoreResult RestorePlacement(const StoredPlacement& stored,
                               const std::vector<MonitorInfo>& monitors,
                               const WindowPlacementState& window, bool allowMaximized) {
  RestoreResult result;
  result.geometry = window.geometry;
  PlacementRect& g = result.geometry;

  if (NothingStored(stored)) {
    // Centred with the present size; the window state stays as it is.
    TReposMonitor primary = TReposMonitor::rposPrimary;
    const int index = ChooseMonitor(monitors, &primary);
    if (index >= 0) {
      const PlacementRect& mon = monitors[index].bounds;
      g.left = mon.left + (mon.width - g.width) / 2;
      g.top = mon.top + (mon.height - g.height) / 2;
    }
    result.monitor = TReposMonitor::rposPrimary;
    result.centred = true;
    return result;
  }

  TReposMonitor which =
      stored.monitor == 1 ? TReposMonitor::rposSecondary : TReposMonitor::rposPrimary;
  const int index = ChooseMonitor(monitors, &which);

  const bool normal = !window.maximized && !window.minimized;
  if (normal) {
    if (which == TReposMonitor::rposSecondary) {
      g.left = stored.left;
      g.top = stored.top;
    } else {
      if (stored.left >= 0) g.left = stored.left;
      if (stored.top >= 0) g.top = stored.top;
    }
  }

  if (index >= 0) {
    // Widths and heights, not right and bottom edges: the desktop is taken to start at 0,0
    // with a second monitor right of the first.
    int limitW = monitors[index].bounds.width;
    const int limitH = monitors[index].bounds.height;
    if (monitors.size() >= 2 && index == 1) limitW += monitors[0].bounds.width;

    if (normal && window.resizable) {
      if (stored.width > 0) {
        g.left = PullBack(g.left, stored.width, limitW);
        g.width = stored.width;
      }
      if (stored.height > 0) {
        g.top = PullBack(g.top, stored.height, limitH);
        g.height = stored.height;
      }
    } else if (monitors.size() >= 2 && !window.resizable) {
      if (g.width > 0) g.left = PullBack(g.left, g.width, limitW);
      if (g.height > 0) g.top = PullBack(g.top, g.height, limitH);
    }
  } else if (normal && window.resizable) {
    // No monitor to measure against: the size alone.
    if (stored.width > 0) g.width = stored.width;
    if (stored.height > 0) g.height = stored.height;
  }

  result.maximized = stored.showCmd == 1 && allowMaximized;
  result.monitor = which;
  return result;
}

SaveDecision SavePlacement(const WindowPlacementState& window, bool onNonPrimaryMonitor,
                           bool allowMaximized) {
  SaveDecision decision;
  if ((window.maximized && !allowMaximized) || window.minimized) return decision;
  if (window.maximized) {
    decision.kind = SaveDecision::Kind::kStateOnly;
    decision.values.showCmd = 1;
    return decision;
  }
  decision.kind = SaveDecision::Kind::kAll;
  decision.values.showCmd = 0;
  decision.values.top = window.geometry.top;
  decision.values.left = window.geometry.left;
  decision.values.width = window.geometry.width;
  decision.values.height = window.geometry.height;
  decision.values.monitor = onNonPrimaryMonitor ? 1 : 0;
  return decision;
}

std::vector<std::pair<std::string, std::int32_t>> PlacementKeyValues(const SaveDecision& decision,
                                                                     const PlacementNames& names) {
  std::vector<std::pair<std::string, std::int32_t>> out;
  if (decision.kind == SaveDecision::Kind::kNothing) return out;
  out.emplace_back(names.windowState, decision.values.showCmd);
  if (decision.kind == SaveDecision::Kind::kStateOnly) return out;
  out.emplace_back(names.top, decision.values.top);
  out.emplace_back(names.left, decision.values.left);
  out.emplace_back(names.width, decision.values.width);
  out.emplace_back(names.height, decision.values.height);
  out.emplace_back(kMonitorKey, decision.values.monitor);
  return out;
}

std::pair<int, int> CentredOrigin(const PlacementRect& primary, const PlacementRect& desktop,
                                  int width, int height) {
  const int left = primary.left + (primary.width - width) / 2;
  const int top = primary.top + (primary.height - height) / 2;
  return {std::max(left, desktop.left), std::max(top, desktop.top)};
}

StoredPlacement ReadPlacementIni(const std::string& path, const PlacementNames& names) {
  StoredPlacement stored;
  std::string content;
  if (!ReadSettingsFile(path, &content).ok()) return stored;
  const IniDocument doc(content);
  stored.showCmd = ReadKey(doc, names.section, names.windowState, stored.showCmd);
  stored.top = ReadKey(doc, names.section, names.top, stored.top);
  stored.left = ReadKey(doc, names.section, names.left, stored.left);
  stored.width = ReadKey(doc, names.section, names.width, stored.width);
  stored.height = ReadKey(doc, names.section, names.height, stored.height);
  stored.monitor = ReadKey(doc, names.section, kMonitorKey, stored.monitor);
  return stored;
}

bool WritePlacementIni(const std::string& path, const PlacementNames& names,
                       const SaveDecision& decision) {
  const auto keyValues = PlacementKeyValues(decision, names);
  if (keyValues.empty()) return true;
  std::string content;
  const FileStatus read = ReadSettingsFile(path, &content);
  if (!read.ok() && read.err() != ENOENT) return false;  // never replace a file unread
  IniDocument doc(content);
  for (const auto& [key, value] : keyValues) {
    doc.SetValue(names.section, key, std::to_string(value));
  }
  const std::string updated = doc.Bytes();
  if (read.ok() && updated == content) return true;
  return ReplaceSettingsFile(path, updated).ok();
}

}  // namespace vk
