#pragma once
// The drive tools mark every file and folder they create (platform/
// DriveWork.h). A run killed hard (power loss, SIGKILL) leaves its marked
// files behind, which for the wipe can be a full disk; these routines find
// and remove them, and nothing else.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace Wipe {

// The drive tools' work folders in a drive's working place, and their marks.
inline constexpr const char* kWipeFolder = "wp_binary";
inline constexpr const char* kWipeTool = "wipe";
inline constexpr const char* kSpeedTestFolder = "speedtest";
inline constexpr const char* kSpeedTestTool = "speedtest";

struct RemovedLeftovers {
    std::string folder; // the work folder, ending in "/"
    std::string tool;   // "wipe", "speedtest"
    std::size_t files = 0;
    std::int64_t bytes = 0; // the size of the files removed
    bool folderRemoved = false;
};

// Takes a tool's work folder for a run: opens it without following a link
// and locks it, so that the search for leftovers (of this program or of
// another instance) leaves the folder of a running tool alone. The lock goes
// with the descriptor.
// Returns the descriptor, -1 with *error: ELOOP or ENOTDIR for a link or a
// file under the folder's name, EBUSY when another run holds the folder.
int OpenWorkFolder(const std::string& folder, int* error);

// Removes the marked files of `tool` in `folder` and the folder when it is
// the tool's and empty then. nullopt when there was nothing to remove, the
// folder is a link or not there, or a running tool holds it. breathe lets
// a window paint during a long sweep.
std::optional<RemovedLeftovers> RemoveLeftoversIn(const std::string& folder,
                                                  const std::string& tool,
                                                  const std::function<void()>& breathe = {});

// Looks in the working place of every drive for the leftovers of the wipe
// and the speed test and removes them. Meant for the program's start.
std::vector<RemovedLeftovers> RemoveToolLeftovers();

// The status-line text that reports what was removed; empty for nothing.
std::string LeftoverStatus(const std::vector<RemovedLeftovers>& removed);

} // namespace Wipe
