#pragma once
// A drive tool's work folder: its folder in the working place of the pinned
// volume, locked while a run uses it, the tool's marks on what it creates,
// the leftovers of a killed run removed, and at the end only the run's own
// files removed, and the folder when it is the tool's and empty. Failures
// come back as a kind and an errno: each tool says them in its own words.
#include "platform/DriveWork.h"
#include "platform/UniqueFd.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace Platform {

// What a tool calls its work folder; each tool declares its own value.
struct ToolFolder {
    const char* folder; // the folder's name in the working place: "speedtest"
    const char* tool;   // the name its marks carry: "speedtest"
    const char* label;  // the tool as texts name it: "speed test"
};

// Why a step of the work place failed; code is the errno where there is one.
struct WorkError {
    enum class Kind {
        None,
        Link,        // a symbolic link holds the folder's name
        NotFolder,   // a file (or anything but a folder) holds it
        Inspect,     // the name could not be looked at
        Busy,        // another run holds the folder
        Open,        // the folder could not be opened or locked
        Create,      // the folder (Take) or a file (CreateFile) could not be created
        MarkFolder,  // the folder just created could not be marked
        MarkFile,    // the file just created could not be marked
        NotOnVolume, // the folder no longer lies on the pinned volume
    };
    Kind kind = Kind::None;
    int code = 0;
    explicit operator bool() const { return kind != Kind::None; }
};

// What the removal of a killed run's leftovers took away.
struct RemovedLeftovers {
    std::string folder; // the work folder, ending in "/"
    std::string tool;   // ToolFolder::tool
    std::string label;  // ToolFolder::label
    std::size_t files = 0;
    std::int64_t bytes = 0; // the size of the files removed
    bool folderRemoved = false;
};

// Required: a folder that cannot be marked is removed again and Take fails
// (a killed run would leave a folder nobody knows as the tool's).
// BestEffort: the run goes on; the folder it created still goes at the end
// when empty.
enum class FolderMark { Required, BestEffort };

class WorkPlace {
public:
    // place: the volume's working place (WorkingPlace()). Nothing is touched
    // until Take. The volume must outlive the work place.
    WorkPlace(const PinnedVolume& volume, const std::string& place, const ToolFolder& tool);
    // Cleans up as Cleanup does, quietly.
    ~WorkPlace();
    WorkPlace(const WorkPlace&) = delete;
    WorkPlace& operator=(const WorkPlace&) = delete;

    // Takes the folder for the run: refuses a link or a file under its name,
    // creates and marks it when absent, and locks it, so that another run
    // and the start-up sweep leave it alone. A folder that is there already
    // loses the leftovers of a killed run once it is locked (Leftovers()).
    // breathe lets a window paint during a long removal. Taking again after
    // Cleanup is allowed.
    WorkError Take(const std::function<void()>& breathe = {},
                   FolderMark mark = FolderMark::Required);
    bool Taken() const { return static_cast<bool>(FFolderFd); }
    // What the last Take removed; nullopt when it found nothing to remove.
    const std::optional<RemovedLeftovers>& Leftovers() const { return FLeftovers; }

    // Creates a new file in the taken folder (O_CREAT | O_EXCL | O_NOFOLLOW
    // with the caller's flags, which name the access: O_WRONLY | O_DIRECT,
    // say) and marks it as the tool's. An empty descriptor with *error on
    // failure (Create: EEXIST for a name that is taken; MarkFile: the file
    // is gone again).
    UniqueFd CreateFile(const std::string& name, int flags, WorkError* error);

    // Removes the run's own files now and keeps the folder and its lock.
    // Returns the files removed; adds their sizes to *bytes.
    std::size_t RemoveOwnFiles(std::int64_t* bytes = nullptr,
                               const std::function<void()>& breathe = {});
    // The end of a run: its own files, then the folder when it is the
    // tool's (or this run's) and empty, only while the folder still lies on
    // the pinned volume; the lock goes last.
    void Cleanup(const std::function<void()>& breathe = {});

    // True while the taken folder still lies, as the same folder, on the
    // pinned volume (nothing mounted over it, nothing put in its place).
    bool OnPinnedVolume() const;

    const std::string& Folder() const { return FFolder; } // without a trailing "/"
    std::string PathOf(const std::string& name) const { return FFolder + '/' + name; }
    // The folder, open while taken (for *at calls and statvfs).
    int Descriptor() const { return FFolderFd.Get(); }
    const TToolMarks& Marks() const { return FMarks; }
    const ToolFolder& Tool() const { return FTool; }

private:
    WorkError Lock();
    WorkError CreateFolder(FolderMark mark);
    void RemoveLeftovers(const std::function<void()>& breathe);
    void Release();

    const PinnedVolume& FVolume;
    ToolFolder FTool;
    std::string FFolder;
    TToolMarks FMarks;
    UniqueFd FFolderFd; // open and locked while taken
    bool FCreated = false;
    std::optional<RemovedLeftovers> FLeftovers;
};

// Opens a work folder without following a link and locks it for this
// process. An empty descriptor with *error: ELOOP or ENOTDIR for a link or a
// file under the name, EBUSY when another run holds it. A volume without
// locks (some network file systems) leaves the folder unguarded: refusing
// it would keep the tools off such a volume, while the marks still keep a
// user's files out of every removal.
UniqueFd LockFolder(const std::string& folder, int* error);

// Removes the marked files of the tool in `folder` and the folder when it is
// the tool's and empty then. nullopt when there was nothing to remove, the
// folder is a link or not there, or a running tool holds it.
std::optional<RemovedLeftovers> RemoveLeftoversIn(const std::string& folder, const ToolFolder& tool,
                                                  const std::function<void()>& breathe = {});

// The sweep at the program's start: looks in the working place of every
// drive for the leftovers of each tool. The result lists them tool by tool
// in the order given.
std::vector<RemovedLeftovers> RemoveToolLeftovers(const std::vector<ToolFolder>& tools);

} // namespace Platform
