#pragma once
// The drive tools (speed, wipe) take a drive letter; on the command line the
// user names any path on the volume instead.
#include <string>

namespace Cli {

// The letter of the drive that holds path; raises UsageError (naming the
// argument) when the path does not exist or lies on no drive.
char DriveArgument(const std::string& what, const std::string& path);

} // namespace Cli
