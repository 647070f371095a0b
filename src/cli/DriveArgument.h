#pragma once
// The drive tools (speed, wipe) take a drive; on the command line the user
// names any path on the volume instead.
#include "platform/DriveWork.h"

#include <string>

namespace Cli {

// The drive that holds path, resolved once, with path (or its folder) as the
// user's folder on it; raises a failure (naming the argument) when the
// path does not exist or lies on no drive. The run pins that volume and
// never looks at letters.
Platform::ChosenDrive DriveArgument(const std::string& what, const std::string& path);

} // namespace Cli
