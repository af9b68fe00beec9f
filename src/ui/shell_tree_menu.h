// The folder tree's context menu: its entries and the verbs they carry. The hooks
// BeforeShellCommand and AfterShellCommand act on the verbs "open", "rename", "delete" and
// "paste"; the menu's members of the tree live in shell_tree_menu.cpp.
#pragma once

namespace vk::verbs {

inline constexpr char kOpen[] = "open";
inline constexpr char kRename[] = "rename";
inline constexpr char kCopy[] = "copy";
inline constexpr char kPaste[] = "paste";
inline constexpr char kDelete[] = "delete";
inline constexpr char kNewFolder[] = "newfolder";

}  // namespace vk::verbs
