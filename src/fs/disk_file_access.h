// The disk as the engine's FileAccess: pages are read whole and replaced by the page rules of
// ReplaceFile.
#pragma once

#include "engine/file_access.h"

namespace vk {

// The one instance; safe to use from several threads at once.
FileAccess& DiskFileAccess();

}  // namespace vk
