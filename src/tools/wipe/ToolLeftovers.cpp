#include "tools/wipe/ToolLeftovers.h"

#include "platform/DriveWork.h"
#include "platform/FileSystem.h"
#include "util/QuillTPU.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Wipe {

int OpenWorkFolder(const std::string& folder, int* error) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        *error = errno;
        return -1;
    }
    // Where the file system has no locks (some network volumes) the folder
    // simply goes unguarded.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        ::close(fd);
        *error = EBUSY;
        return -1;
    }
    return fd;
}

std::optional<RemovedLeftovers> RemoveLeftoversIn(const std::string& folder,
                                                  const std::string& tool,
                                                  const std::function<void()>& breathe) {
    int error = 0;
    const int fd = OpenWorkFolder(folder, &error);
    if (fd < 0)
        return std::nullopt;
    RemovedLeftovers result{Platform::WithTrailingSlash(folder), tool};
    result.files = Platform::TToolMarks(folder, tool).RemoveOwn(&result.bytes, breathe);
    struct stat st {};
    result.folderRemoved = ::lstat(folder.c_str(), &st) != 0 && errno == ENOENT;
    ::close(fd);
    if (result.files == 0 && !result.folderRemoved)
        return std::nullopt;
    if (result.files == 0)
        result.bytes = 0;
    return result;
}

std::vector<RemovedLeftovers> RemoveToolLeftovers() {
    std::vector<RemovedLeftovers> removed;
    // The runs of this window work in its current folder where the volume's
    // root is closed to the user.
    const std::string userFolder = Platform::CurrentFolder();
    for (const Platform::Drive& drive : Platform::ReadDriveTable()) {
        const auto volume = Platform::PinVolume(Platform::VolumeOf(drive), userFolder);
        if (!volume)
            continue;
        const auto place = Platform::WorkingPlace(*volume);
        if (!place)
            continue;
        for (const auto& [name, tool] :
             {std::pair{kWipeFolder, kWipeTool}, std::pair{kSpeedTestFolder, kSpeedTestTool}})
            if (auto found = RemoveLeftoversIn(*place + name, tool))
                removed.push_back(std::move(*found));
    }
    return removed;
}

std::string LeftoverStatus(const std::vector<RemovedLeftovers>& removed) {
    if (removed.empty())
        return {};
    std::size_t files = 0;
    std::int64_t bytes = 0;
    bool wipe = false, speedTest = false;
    for (const RemovedLeftovers& r : removed) {
        files += r.files;
        bytes += r.bytes;
        (r.tool == kWipeTool ? wipe : speedTest) = true;
    }
    const std::string tools = wipe && speedTest ? "wipe and speed test"
                              : wipe            ? "wipe"
                                                : "speed test";
    if (files == 0)
        return "Removed the empty work folder of an interrupted " + tools;
    return "Removed " + QuillTPU::FormatInteger(static_cast<std::int64_t>(files)) +
           (files == 1 ? " file" : " files") + " (" + QuillTPU::FormatSize(bytes) +
           ") left by an interrupted " + tools;
}

} // namespace Wipe
