// The seven operations of the Edit menu and the operation box, each a fixed combination of the
// three transformations of a run.
#pragma once

#include <array>
#include <string_view>

namespace vk {

struct ProcessFlags {
  bool convert = false;   // special characters
  bool compress = false;  // compression
  bool replace = false;   // HTML code replacement
};

inline constexpr int kOperationCount = 7;

struct OperationKind {
  int index;
  std::string_view menuName;  // e.g. "HTMLTagsentfernen1"
  const char* caption;        // the Edit menu's caption, for tr() in "vk::TVKMain"
  ProcessFlags flags;
};

// The operations in the Edit menu's order: index = position in the menu and in the box.
const std::array<OperationKind, kOperationCount>& OperationKinds();

}  // namespace vk
