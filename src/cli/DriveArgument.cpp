#include "cli/DriveArgument.h"

#include "cli/Arguments.h"
#include "cli/Support.h"

#include <sys/stat.h>

namespace Cli {

Platform::ChosenDrive DriveArgument(const std::string& what, const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        throw UsageError(what + " \"" + path +
                         "\" does not exist; name a folder or file on the "
                         "volume to use");
    auto drive = DriveFor(path);
    if (!drive)
        throw UsageError(what + " \"" + path + "\" lies on no drive (see ferrovane-cli space)");
    // A folder the user named may be where he may work on that volume.
    std::string folder = path;
    if (!S_ISDIR(info.st_mode)) {
        const auto slash = folder.find_last_of('/');
        folder = slash == std::string::npos ? "." : slash == 0 ? "/" : folder.substr(0, slash);
    }
    return {std::move(*drive), folder};
}

} // namespace Cli
