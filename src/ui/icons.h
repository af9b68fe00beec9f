// The icons of menus, buttons and the folder tree: the desktop's icon theme where it has the
// icon, else our own small bundled picture, so the window looks complete on any desktop.
#pragma once

#include <QIcon>

namespace vk {

enum class IconKind {
  kExit,
  kStart,
  kOperation,
  kMorePrograms,
  kSelectAll,
  kSelectNone,
  kSelectReverse,
  kSubfolders,
  kEditList,
  kHelp,
  kInfo,
  kBackup,
  kMeta,
  kTextEditor,
  kBrowser,
  kFolder,
  kFolderOpen,
  kDesktop,
  kHome,
  kDrive,
  kPreview,
  kChanges
};

QIcon Icon(IconKind kind);

// The program's own icon (window and taskbar).
QIcon AppIcon();

// Our bundled picture alone (never null while the resources are linked in).
QIcon BundledIcon(IconKind kind);

}  // namespace vk
