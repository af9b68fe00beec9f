// TMyShellTreeView, the folder tree the main window places.
#pragma once

#include "ui/shell_tree_view.h"

namespace vk {

// Adds nothing to its base, which holds all the tree's behaviour.
class TMyShellTreeView : public TMyCustomShellTreeView {
  Q_OBJECT

 public:
  using TMyCustomShellTreeView::TMyCustomShellTreeView;
};

}  // namespace vk
