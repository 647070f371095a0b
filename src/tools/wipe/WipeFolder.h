#pragma once
// The wipe's work folder in a drive's working place, and the mark of the
// files it creates there.
#include "platform/WorkPlace.h"

namespace Wipe {

inline constexpr Platform::ToolFolder kToolFolder{"wp_binary", "wipe", "wipe"};
inline constexpr const char* kWipeFolder = kToolFolder.folder;
inline constexpr const char* kWipeTool = kToolFolder.tool;

} // namespace Wipe
