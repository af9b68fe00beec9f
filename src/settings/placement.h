// Where a window was and how large: the stored values, their reading from the settings file
// (or a stream) and the arithmetic that puts a window back. The arithmetic is a pure function
// of the stored values, the monitors and the window's state, so it is the same on every screen
// setup and testable without one; the widget side (TRePosApp) only feeds and applies it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vk {

enum class TReposMonitor { rposPrimary = 0, rposSecondary = 1 };

// What the store holds; the defaults are those of a missing key.
struct StoredPlacement {
  std::int32_t showCmd = 0;  // 1 maximized, otherwise 0
  std::int32_t top = -1;
  std::int32_t left = -1;
  std::int32_t width = -1;
  std::int32_t height = -1;
  std::int32_t monitor = 0;  // 1: not the primary monitor
};

// The key names a store uses; "Monitor" is fixed.
struct PlacementNames {
  std::string section = "WindowPosition";
  std::string left = "Left";
  std::string top = "Top";
  std::string width = "Width";
  std::string height = "Height";
  std::string windowState = "ShowCmd";
};
inline constexpr const char* kMonitorKey = "Monitor";

struct PlacementRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool operator==(const PlacementRect&) const = default;
};

struct MonitorInfo {
  PlacementRect bounds;
  bool primary = false;
};

// The owner window as the placement sees it. `geometry` is its position and size.
struct WindowPlacementState {
  PlacementRect geometry;
  bool maximized = false;
  bool minimized = false;
  bool resizable = true;  // the user can drag its border
};

// Index into `monitors` of the monitor `*which` stands for (the first two only); *which becomes
// rposPrimary when there are fewer than two monitors. -1 for an empty list.
int ChooseMonitor(const std::vector<MonitorInfo>& monitors, TReposMonitor* which);

struct RestoreResult {
  PlacementRect geometry;         // where the window goes, with its size
  std::optional<bool> maximized;  // the state to give it; none: leave the state alone
  TReposMonitor monitor = TReposMonitor::rposPrimary;  // the component's Monitor afterwards
  bool centred = false;                                // nothing usable was stored
};

// Puts a window back as stored: centred on the primary monitor with its present size when any
// of the edges and sizes is -1; otherwise the stored edges (negative ones only on a secondary
// monitor), the size when the window is normal and resizable, both pulled back when they would
// end beyond the monitor's width or height (a second monitor counts as lying right of the
// first), and maximized only when `allowMaximized`.
RestoreResult RestorePlacement(const StoredPlacement& stored,
                               const std::vector<MonitorInfo>& monitors,
                               const WindowPlacementState& window, bool allowMaximized);

// What a save writes: nothing (minimized, or maximized without `allowMaximized`), only the
// window state (maximized: the edges and size keep their earlier values), or everything.
struct SaveDecision {
  enum class Kind { kNothing, kStateOnly, kAll };
  Kind kind = Kind::kNothing;
  StoredPlacement values;  // the fields the kind writes
};
SaveDecision SavePlacement(const WindowPlacementState& window, bool onNonPrimaryMonitor,
                           bool allowMaximized);

// The key/value pairs of `decision` in the order a save writes them: window state, top, left,
// width, height, "Monitor".
std::vector<std::pair<std::string, std::int32_t>> PlacementKeyValues(const SaveDecision& decision,
                                                                     const PlacementNames& names);

// The left and top edge of a window of `width` x `height` centred on the primary monitor:
// the monitor's origin plus half the free space (truncated), but not left of or above the
// whole desktop (`desktop`, the union of all monitors).
std::pair<int, int> CentredOrigin(const PlacementRect& primary, const PlacementRect& desktop,
                                  int width, int height);

// Reads the six values from section names.section of the settings file at `path`, by the
// settings file's rules; a key that is missing or not a whole number ("0x" hexadecimal taken)
// keeps its default. A missing or unreadable file gives the defaults.
StoredPlacement ReadPlacementIni(const std::string& path, const PlacementNames& names);

// Sets the keys of `decision` in the settings file at `path` (created when missing), leaving
// every other line as it was. Returns false when the file could not be read or written; the
// file is then unchanged.
bool WritePlacementIni(const std::string& path, const PlacementNames& names,
                       const SaveDecision& decision);

}  // namespace vk
