#pragma once
// What the drive tools (speed test, wipe) need beyond the drive table: a
// drive fixed for a run by its volume, the folder on that volume where the
// user may work, and the mark by which a tool knows the files it created.
#include "platform/DriveTable.h"
#include "platform/UniqueFd.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace Platform {

// A drive as a front end hands it to a run: the entry the user chose (the
// window's chooser) or the volume of the path he named (the command line).
// The run pins the entry's volume; its letter only names it in texts.
struct ChosenDrive {
    Drive drive;
    // A folder of the user's on that volume: the command line's PATH, the
    // window's current folder. May be empty or lie elsewhere.
    std::string userFolder;
};

// A drive fixed for a run by its volume: a volume mounted meanwhile never
// redirects the run or its cleanup. The volume's root stays open while the
// run holds it, so its mount cannot be taken for a later one.
struct PinnedVolume {
    Drive drive;            // the table's entry when the run pinned it
    std::uint64_t device;   // st_dev of the mount point then
    std::string userFolder; // see ChosenDrive
    UniqueFd root;          // the mount point, opened as a path
};

// Pins this volume; nullopt when it is gone, another mount took its place,
// or its mount point does not answer.
std::optional<PinnedVolume> PinVolume(const VolumeId& id, const std::string& userFolder = {});
// True while the mount point still shows the pinned mount.
bool StillMounted(const PinnedVolume& volume);
// True when the volume itself takes no writes (mounted read-only).
bool VolumeReadOnly(const PinnedVolume& volume);

// The drive's working place: the first of the mount point, the user's folder,
// $HOME, /var/tmp and /tmp that lies on the volume and where the caller may
// create a folder (a plain user cannot write at "/"). The path ends in "/".
// nullopt when there is none.
std::optional<std::string> WorkingPlace(const PinnedVolume& volume);
// The process's current folder (the window's user folder); empty when it
// cannot be named.
std::string CurrentFolder();

// A tool knows its own files by a mark it sets when it creates them: the
// extended attribute "user.ferrovane.tool" holding the tool's name; where
// the file system keeps no user attributes, a ledger ".ferrovane-<tool>" in
// the work folder lists "device inode birth name" for each of them ("." for
// the folder itself). The ledger is the tool's only when the tool made it:
// it is created exclusively, and its first line names the tool, the volume
// and the ledger's own node and birth, which a copy or a file the user made
// under that name cannot match. Anything else of that name is the user's:
// it is never changed or removed, and its lines mark nothing. A symbolic
// link is never the tool's, and a file without the mark is the user's,
// whatever its name.
class TToolMarks {
public:
    // folder: the tool's work folder (a trailing "/" is optional);
    // tool: "speedtest", "wipe".
    TToolMarks(std::string folder, std::string tool);

    // Marks a file the tool has just created in the folder, through its
    // open descriptor. False with *error when no mark could be set at all;
    // EEXIST: a file that is not the tool's holds the ledger's name.
    bool MarkFile(int fd, const std::string& name, int* error = nullptr);
    // Marks the folder itself, right after the tool created it.
    bool MarkFolder(int* error = nullptr);
    bool IsOwnFile(const std::string& name) const;
    bool IsOwnFolder() const;
    // Deletes every file of the tool's in the folder (links and unmarked
    // entries stay), the ledger when it is the tool's and lists nothing
    // left, and the folder when it is the tool's and empty then. The marks
    // are read once for the whole folder. Returns the files removed and
    // adds their sizes to *bytes. breathe is called every few hundred files,
    // so that a window can paint during a long sweep. keepFolder: the
    // folder stays, marked, for a run that goes on using it.
    std::size_t RemoveOwn(std::int64_t* bytes = nullptr, const std::function<void()>& breathe = {},
                          bool keepFolder = false);

    const std::string& Folder() const { return FFolder; }
    // The ledger's name in the work folder.
    std::string LedgerName() const { return ".ferrovane-" + FTool; }
    // Why a file could not be marked, for the message that says so.
    std::string MarkErrorText(int error) const;

    static constexpr const char* kAttribute = "user.ferrovane.tool";
    // Tests: behave as on a file system without user attributes.
    static void UseLedgerOnly(bool ledgerOnly);

    // A file by its volume, node and creation time: a node is soon reused
    // after a delete, with its birth time it names one file only.
    struct FileId {
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        std::uint64_t birth = 0; // nanoseconds; 0 where the file system keeps none
        bool operator==(const FileId&) const = default;
    };

private:
    // The ledger's lines by name.
    using Marks = std::unordered_multimap<std::string, FileId>;

    std::string PathOf(const std::string& name) const;
    bool HasAttribute(const std::string& path) const;
    bool AppendToLedger(int fd, const std::string& name, int* error);
    std::string Header(const FileId& ledger) const;
    // Opens the ledger when it is the tool's (an empty descriptor when there
    // is none, or it is the user's) and reads it whole into *text.
    // *readError: the errno of a read that failed (the ledger is not taken
    // for the user's then).
    UniqueFd OpenOwnLedger(int flags, std::string* text, int* readError = nullptr) const;
    // The marks of the tool's ledger; nullopt when there is no such ledger.
    // *ledger keeps it open, for a rewrite.
    std::optional<Marks> ReadMarks(UniqueFd* ledger = nullptr) const;
    // True when the entry `name` of the folder (open as dirFd, or AT_FDCWD)
    // is a regular file the tool marked; *size gets its size.
    bool IsOwn(int dirFd, const std::string& name, const Marks* marks,
               std::int64_t* size = nullptr) const;

    std::string FFolder; // without a trailing "/", except for "/"
    std::string FTool;
};

} // namespace Platform
