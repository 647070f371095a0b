#include "cli/DriveArgument.h"

#include "cli/Arguments.h"
#include "cli/Support.h"

#include <sys/stat.h>

namespace Cli {

char DriveArgument(const std::string& what, const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        throw UsageError(what + " \"" + path +
                         "\" does not exist; name a folder or file on the "
                         "volume to use");
    const char letter = DriveLetterFor(path);
    if (!letter)
        throw UsageError(what + " \"" + path + "\" lies on no drive (see ferrovane-cli space)");
    return letter;
}

} // namespace Cli
