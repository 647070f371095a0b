#pragma once
// What the drive tools (speed test, wipe) need beyond the drive table: a
// drive fixed for a run by its volume, the folder on that volume where the
// user may work, and the mark by which a tool knows the files it created.
#include "platform/DriveTable.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace Platform {

// A drive chosen for a run, fixed by its volume: a volume mounted meanwhile
// (which may move the letters) never redirects the run or its cleanup.
struct PinnedVolume {
    Drive drive;          // the table's entry when the drive was chosen
    std::uint64_t device; // st_dev of the mount point then
};

// Pins the drive with this letter (either case); nullopt when there is no
// such drive or its mount point cannot be read.
std::optional<PinnedVolume> PinVolume(char letter);
// True while the mount point still shows the same volume.
bool StillMounted(const PinnedVolume& volume);

// The drive's working place: the first of the mount point, $HOME, /var/tmp
// and /tmp that lies on the volume and where the caller may create a folder
// (a plain user cannot write at "/"). The path ends in "/". nullopt when
// there is none.
std::optional<std::string> WorkingPlace(const PinnedVolume& volume);

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
