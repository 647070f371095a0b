#pragma once
// What the drive tools (speed test, wipe) need beyond the drive table: a
// drive fixed for a run by its volume, the folder on that volume where the
// user may work, and the mark by which a tool knows the files it created.
#include "platform/DriveTable.h"
#include "platform/UniqueFd.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
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
// the work folder lists "device inode birth name" for each of them ("." for the
// folder itself). A symbolic link is never the tool's, and a file without
// the mark is the user's, whatever its name.
class TToolMarks {
public:
    // folder: the tool's work folder (a trailing "/" is optional);
    // tool: "speedtest", "wipe".
    TToolMarks(std::string folder, std::string tool);

    // Marks a file the tool has just created in the folder, through its
    // open descriptor. False with *error when no mark could be set at all.
    bool MarkFile(int fd, const std::string& name, int* error = nullptr);
    // Marks the folder itself, right after the tool created it.
    bool MarkFolder(int* error = nullptr);
    bool IsOwnFile(const std::string& name) const;
    bool IsOwnFolder() const;
    // Deletes every file of the tool's in the folder (links and unmarked
    // entries stay), the ledger when it lists nothing left, and the folder
    // when it is the tool's and empty then. Returns the files removed.
    std::size_t RemoveOwn();

    const std::string& Folder() const { return FFolder; }
    // The ledger's name in the work folder.
    std::string LedgerName() const { return ".ferrovane-" + FTool; }

    static constexpr const char* kAttribute = "user.ferrovane.tool";
    // Tests: behave as on a file system without user attributes.
    static void UseLedgerOnly(bool ledgerOnly);

private:
    struct LedgerEntry {
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        std::uint64_t birth = 0;
        std::string name;
    };
    std::string PathOf(const std::string& name) const;
    bool HasAttribute(const std::string& path) const;
    bool AppendToLedger(int fd, const std::string& name, int* error);
    std::vector<LedgerEntry> ReadLedger() const;
    bool InLedger(const std::string& name, const std::string& path) const;

    std::string FFolder; // without a trailing "/", except for "/"
    std::string FTool;
};

} // namespace Platform
