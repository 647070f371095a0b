#pragma once
// Drives on Linux. Here a drive is a mounted volume that holds a real file
// system (a block device, a network file system, or a tmpfs/ramfs outside
// /dev, /run, /sys and /proc); read-only program images (squashfs and kin,
// as snaps are) are no drives, and bind mounts of a volume already listed
// are skipped. The table is read afresh at every query, so a volume that is
// mounted or unmounted while the program runs is seen at the next query.
//
// Letters C: to Z: are names for people, handed out as the program's users
// know them from their other systems: the first reading letters the volumes
// in mount-point order; afterwards a volume keeps its letter while it stays
// mounted, a new volume takes the first free letter, and a volume that goes
// frees its own. A: and B: are never used. Volumes beyond Z: are listed
// without a letter. A volume is known by its identity in the mount table
// (VolumeId), never by its letter: a letter says nothing about which volume
// a run must write to.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace Platform {

// The kinds of drive the path box and the drive choosers tell apart.
enum class DriveKind { Unknown, Removable, Fixed, Network, CDRom, RamDisk };

struct DriveSpace {
    std::int64_t freeBytes = 0;  // available to a user
    std::int64_t totalBytes = 0; // the whole volume
    // Free with the blocks kept for root, which root may fill too (some
    // volumes refuse even root; a write then finds the volume full).
    // 0: not known, take freeBytes.
    std::int64_t freeBytesForRoot = 0;
};

struct Drive {
    char letter = 0;        // 'C' .. 'Z'; 0: none (more volumes than letters)
    std::string mountPoint; // "/", "/media/usb"
    std::string root;       // the mount point with a trailing "/"
    std::string device;     // "/dev/sda1", "server:/export", "tmpfs"
    std::string fsType;     // "ext4", "nfs4", "tmpfs"
    DriveKind kind = DriveKind::Unknown;
    std::uint64_t mountId = 0;      // the mount table's id of this mount
    std::uint64_t deviceNumber = 0; // the volume's major:minor, as st_dev holds it
    // The kernel soon gives an unmounted volume's mount id and device to the
    // next mount; where it numbers mounts for good too, this is that number
    // (0: not asked, or not known). A chooser that holds a volume for later
    // asks for it (AskUniqueMountId).
    std::uint64_t uniqueMountId = 0;
    // Only in tables a test installs: figures and a label to report instead
    // of asking the volume.
    std::optional<DriveSpace> space;
    std::optional<std::string> label;
};

// Which volume a drive is: the mount (its id, unique while it stays
// mounted), the volume on it and the place it was seen at. Two entries with
// the same identity are the same mounted volume.
struct VolumeId {
    std::uint64_t mountId = 0;
    std::uint64_t device = 0;
    std::string mountPoint;
    std::uint64_t uniqueMountId = 0; // compared where both sides know it
    bool operator==(const VolumeId& other) const {
        return mountId == other.mountId && device == other.device &&
               mountPoint == other.mountPoint &&
               (uniqueMountId == 0 || other.uniqueMountId == 0 ||
                uniqueMountId == other.uniqueMountId);
    }
};
VolumeId VolumeOf(const Drive& drive);
// "C:" for a lettered drive, the mount point for one beyond Z:.
std::string DriveName(const Drive& drive);

// One line of /proc/self/mountinfo, with its escapes (\040 ...) decoded.
struct MountEntry {
    std::uint64_t mountId = 0;
    std::string deviceId; // "major:minor"
    std::string fsRoot;   // the folder of the file system mounted here ("/" unless bound)
    std::string mountPoint;
    std::string fsType;
    std::string source;
};

std::vector<MountEntry> ParseMountInfo(const std::string& text);

// The letters a process has handed out, so that a volume keeps its letter
// from one reading of the table to the next.
class DriveLettering {
public:
    // Letters drives given in mount-point order: a volume seen before keeps
    // its letter, the others take the first free letter from C: on, in
    // order; a volume no longer among them frees its letter. Drives left
    // over when Z: is taken get none (0).
    void Letter(std::vector<Drive>& drives);

private:
    std::vector<std::pair<VolumeId, char>> FLetters;
};

// Picks the drives from the mount table, in mount-point order, and letters
// them through lettering (a fresh one when none is given: C: on in
// mount-point order). isRemovable answers for a block device ("/dev/sdb1");
// without it, sysfs is asked.
std::vector<Drive> BuildDriveTable(const std::vector<MountEntry>& mounts,
                                   const std::function<bool(const std::string&)>& isRemovable = {},
                                   DriveLettering* lettering = nullptr);
// Every mount point of the system, drives or not.
std::vector<std::string> MountPoints();

// The drives as they are now (or the table a test installed), lettered
// by the process's own lettering; volumes beyond Z: come with letter 0.
std::vector<Drive> ReadDriveTable();
// The drive with this letter, in either case.
std::optional<Drive> FindDrive(char letter);
// The drive that is this volume now; nullopt when it is gone or another
// mount took its place.
std::optional<Drive> FindVolume(const VolumeId& id);
// True while the top mount at the volume's mount point is still this
// mount (for an installed table: while the table lists it).
bool VolumeListed(const VolumeId& id);
// True while a table installed by ScopedDriveTable stands for the system's.
bool DriveTableInstalled();
// The never reused number of the mount at the drive's mount point, asked
// within the volume time limit; 0 where the kernel keeps none, the volume
// does not answer, or the table is an installed one.
std::uint64_t AskUniqueMountId(const Drive& drive);
// The same for an open descriptor on the volume (no time limit needed).
std::uint64_t UniqueMountIdOf(int fd);
// The drive (lettered or not) that holds path: the mount the path lies on;
// where the table lists that volume under another mount (a bind mount), the
// drive on the same volume whose mount point is the longest start of the
// path. In an installed table, the drive whose mount point is the longest
// start of the path. nullopt when none.
std::optional<Drive> DriveHolding(const std::string& path);
// The drive that holds the current working folder.
std::optional<Drive> CurrentDrive();

// Free and total bytes (statvfs); nullopt with *error = errno on failure.
// A volume that does not answer within kVolumeQueryLimit (VolumeQuery.h)
// fails with ETIMEDOUT instead of holding up the caller.
std::optional<DriveSpace> VolumeSpace(const Drive& drive, int* error = nullptr);
// True when the root folder can be opened and read (an empty root counts),
// within the same time limit.
bool VolumeAccessible(const Drive& drive);
// The file-system label: /dev/disk/by-label where the system keeps it,
// otherwise read from the device itself when we may; empty when none.
std::string VolumeLabel(const Drive& drive);
// Creates "RWR" + four hex digits + ".TMP" exclusively in the root and
// removes it again. True when that could not be done (read-only volume,
// no permission, or no answer within the time limit of VolumeQuery.h).
// Never touches a file it did not create.
bool ProbeWriteProtected(const std::string& root);

// A folder's identity: the volume and the node. Two paths with the same
// identity are the same folder (a bind mount can show a folder twice).
std::optional<std::pair<std::uint64_t, std::uint64_t>> FolderIdentity(const std::string& path);

// Windows stops a program with a dialog when it touches an empty drive, so
// every drive probe switches that off for its duration. Linux shows no such
// dialog: the guard marks the probes and does nothing.
class CriticalErrorGuard {
public:
    CriticalErrorGuard() {}
    ~CriticalErrorGuard() {}
    CriticalErrorGuard(const CriticalErrorGuard&) = delete;
    CriticalErrorGuard& operator=(const CriticalErrorGuard&) = delete;
};

// Replaces the system's drive table while it lives (tests, and front ends
// that want to show a fixed set of drives). Nested tables restore the outer.
// Entries without an identity get one: a mount id of their own and the
// device of their root.
class ScopedDriveTable {
public:
    explicit ScopedDriveTable(std::vector<Drive> drives);
    ~ScopedDriveTable();
    ScopedDriveTable(const ScopedDriveTable&) = delete;
    ScopedDriveTable& operator=(const ScopedDriveTable&) = delete;

private:
    std::vector<Drive> FDrives;
    const std::vector<Drive>* FPrevious;
};

// A drive entry for a folder: taken from the mount table when the folder is
// a mount point, otherwise a fixed drive rooted at the folder.
Drive DriveForFolder(char letter, const std::string& folder);

} // namespace Platform
