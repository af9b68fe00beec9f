#include "ui/icons.h"

#include <QString>

// Resources of a static library are not registered by themselves.
static void InitVelkaroResources() { Q_INIT_RESOURCE(velkaro); }

namespace vk {
namespace {

struct IconNames {
  const char* theme;
  const char* bundled;
};

IconNames NamesOf(IconKind kind) {
  switch (kind) {
    case IconKind::kExit:
      return {"application-exit", "exit"};
    case IconKind::kStart:
      return {"media-playback-start", "start"};
    case IconKind::kOperation:
      return {"system-run", "run"};
    case IconKind::kMorePrograms:
      return {"internet-web-browser", "web"};
    case IconKind::kSelectAll:
      return {"edit-select-all", "select-all"};
    case IconKind::kSelectNone:
      return {"edit-clear", "select-none"};
    case IconKind::kSelectReverse:
      return {"object-flip-horizontal", "select-reverse"};
    case IconKind::kSubfolders:
      return {"folder-new", "subfolders"};
    case IconKind::kEditList:
      return {"document-edit", "edit-list"};
    case IconKind::kHelp:
      return {"help-contents", "help"};
    case IconKind::kInfo:
      return {"help-about", "info"};
    case IconKind::kBackup:
      return {"document-save", "backup"};
    case IconKind::kMeta:
      return {"text-html", "meta"};
    case IconKind::kTextEditor:
      return {"accessories-text-editor", "text-editor"};
    case IconKind::kBrowser:
      return {"text-html", "browser"};
    case IconKind::kFolder:
      return {"folder", "folder"};
    case IconKind::kFolderOpen:
      return {"folder-open", "folder-open"};
    case IconKind::kDesktop:
      return {"user-desktop", "desktop"};
    case IconKind::kHome:
      return {"user-home", "home"};
    case IconKind::kDrive:
      return {"drive-harddisk", "drive"};
    case IconKind::kPreview:
      return {"document-print-preview", "preview"};
    case IconKind::kChanges:
      return {"document-compare", "changes"};
  }
  return {"", "run"};
}

void EnsureResources() {
  static const bool registered = (InitVelkaroResources(), true);
  (void)registered;
}

}  // namespace

QIcon AppIcon() {
  EnsureResources();
  return QIcon(QStringLiteral(":/icons/velkaro.svg"));
}

QIcon BundledIcon(IconKind kind) {
  EnsureResources();
  return QIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(NamesOf(kind).bundled)));
}

QIcon Icon(IconKind kind) {
  return QIcon::fromTheme(QLatin1String(NamesOf(kind).theme), BundledIcon(kind));
}

}  // namespace vk
