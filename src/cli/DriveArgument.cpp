#include "cli/DriveArgument.h"

#include "cli/Arguments.h"
#include "cli/Support.h"

#include <stdexcept>

#include <sys/stat.h>

namespace Cli {

Platform::ChosenDrive DriveArgument(const std::string& what, const std::string& path) {
    struct stat info {};
    // A path that is not there is a failure, as dd's missing file is; the
    // command line itself was right.
    if (::stat(path.c_str(), &info) != 0)
        throw std::runtime_error(what + " \"" + path +
                                 "\" does not exist; name a folder or file on the "
                                 "volume to use");
    auto drive = Platform::DriveHolding(path);
    if (!drive)
        throw std::runtime_error(what + " \"" + path +
                                 "\" lies on no drive (see ferrovane-cli space)");
    // A folder the user named may be where he may work on that volume.
    std::string folder = path;
    if (!S_ISDIR(info.st_mode)) {
        const auto slash = folder.find_last_of('/');
        folder = slash == std::string::npos ? "." : slash == 0 ? "/" : folder.substr(0, slash);
    }
    return {std::move(*drive), folder};
}

} // namespace Cli
