#include "platform/DriveTable.h"

#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/VolumeQuery.h"

#include <algorithm>
#include <blkid/blkid.h>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace Platform {

namespace {

const std::vector<Drive>* gInstalledTable = nullptr;

// The process's letters: one lettering for every reading of the table.
std::mutex gLetteringMutex;
DriveLettering gLettering;

// A mount id for an entry of an installed table that has none: far above
// any id the kernel hands out, and the same for the same place, so that
// tables standing for the system before and after a mount agree on which
// volume is which.
std::uint64_t TableMountId(const std::string& mountPoint) {
    return (std::uint64_t(1) << 62) | (std::hash<std::string>()(mountPoint) >> 2);
}

// File systems whose data lives on another machine.
const std::set<std::string> kNetworkTypes = {
    "nfs",  "nfs4",       "cifs",        "smb3",        "smbfs",          "ncpfs",
    "afs",  "ceph",       "glusterfs",   "9p",          "lustre",         "davfs",
    "coda", "fuse.sshfs", "fuse.davfs2", "fuse.rclone", "fuse.glusterfs", "fuse.s3fs"};

// Virtual file systems kept in memory.
const std::set<std::string> kRamTypes = {"tmpfs", "ramfs"};

// Read-only images of packaged programs (snaps are squashfs files mounted
// through /dev/loopN, or through fuse where the kernel cannot): they hold no
// space of the user's, and a machine with many of them would run out of
// letters before its real volumes got one.
const std::set<std::string> kImageTypes = {
    "squashfs", "erofs", "cramfs", "fuse.squashfuse", "fuse.snapfuse", "fuse.squashfuse_ll"};

// Disk file systems whose mount source is no /dev path.
const std::set<std::string> kSourcelessDiskTypes = {"zfs"};

bool Below(const std::string& path, const std::string& folder) {
    return path == folder ||
           (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
            path[folder.size()] == '/');
}

// Whether the folder lies on the volume with this device number.
bool OnDevice(const std::string& folder, dev_t device) {
    struct stat info {};
    return ::stat(folder.c_str(), &info) == 0 && info.st_dev == device;
}

// Folders where the system keeps its own memory file systems.
bool InSystemFolder(const std::string& mountPoint) {
    for (const char* folder : {"/dev", "/run", "/sys", "/proc"})
        if (Below(mountPoint, folder))
            return true;
    return false;
}

// mountinfo writes blanks, tabs, newlines and backslashes as \ooo.
std::string DecodeOctal(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '3' &&
            text[i + 2] >= '0' && text[i + 2] <= '7' && text[i + 3] >= '0' && text[i + 3] <= '7') {
            out += static_cast<char>((text[i + 1] - '0') * 64 + (text[i + 2] - '0') * 8 +
                                     (text[i + 3] - '0'));
            i += 3;
        } else {
            out += text[i];
        }
    }
    return out;
}

// udev names a label link with \xHH for characters unsafe in a file name.
std::string DecodeHex(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x' &&
            std::isxdigit(static_cast<unsigned char>(text[i + 2])) &&
            std::isxdigit(static_cast<unsigned char>(text[i + 3]))) {
            out += static_cast<char>(std::stoi(text.substr(i + 2, 2), nullptr, 16));
            i += 3;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string ReadFirstLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The kernel's name of a block device ("sdb1" for /dev/sdb1 or for a
// /dev/disk/by-uuid link to it).
std::string KernelName(const std::string& device) {
    const std::string real = RealPath(device);
    const std::string& path = real.empty() ? device : real;
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool SysfsRemovable(const std::string& device) {
    const std::string node = "/sys/class/block/" + KernelName(device);
    struct stat st {};
    // A partition answers through the disk it belongs to.
    const bool partition = ::stat((node + "/partition").c_str(), &st) == 0;
    return ReadFirstLine(node + (partition ? "/../removable" : "/removable")) == "1";
}

DriveKind KindOf(const MountEntry& m, const std::function<bool(const std::string&)>& isRemovable) {
    if (kNetworkTypes.count(m.fsType))
        return DriveKind::Network;
    if (kRamTypes.count(m.fsType))
        return DriveKind::RamDisk;
    const bool block = m.source.rfind("/dev/", 0) == 0;
    const std::string name = block ? KernelName(m.source) : std::string();
    if (m.fsType == "iso9660" || m.fsType == "udf" || name.rfind("sr", 0) == 0)
        return DriveKind::CDRom;
    if (name.rfind("ram", 0) == 0 || name.rfind("zram", 0) == 0)
        return DriveKind::RamDisk;
    if (block)
        return (isRemovable ? isRemovable(m.source) : SysfsRemovable(m.source))
                   ? DriveKind::Removable
                   : DriveKind::Fixed;
    if (kSourcelessDiskTypes.count(m.fsType))
        return DriveKind::Fixed;
    return DriveKind::Unknown;
}

bool HoldsRealFileSystem(const MountEntry& m) {
    if (kImageTypes.count(m.fsType))
        return false;
    if (kNetworkTypes.count(m.fsType))
        return true;
    if (kRamTypes.count(m.fsType))
        return !InSystemFolder(m.mountPoint);
    if (m.source.rfind("/dev/", 0) == 0)
        return true;
    if (kSourcelessDiskTypes.count(m.fsType))
        return true;
    // A container's root is an overlay; it is the volume its user works on.
    return m.fsType == "overlay" && m.mountPoint == "/";
}

// A bound single file (containers bind /etc/hosts from the host's disk)
// is no volume. Only bound parts of local file systems can be files, so no
// mount of a server that may not answer is asked.
bool BoundFile(const MountEntry& m) {
    if (m.fsRoot == "/" || kNetworkTypes.count(m.fsType))
        return false;
    struct stat st {};
    return ::stat(m.mountPoint.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

Drive DriveFrom(const MountEntry& m, char letter,
                const std::function<bool(const std::string&)>& isRemovable) {
    Drive d;
    d.letter = letter;
    d.mountPoint = m.mountPoint;
    d.root = WithTrailingSlash(m.mountPoint);
    d.device = m.source;
    d.fsType = m.fsType;
    d.kind = KindOf(m, isRemovable);
    d.mountId = m.mountId;
    unsigned major = 0;
    unsigned minor = 0;
    if (std::sscanf(m.deviceId.c_str(), "%u:%u", &major, &minor) == 2)
        d.deviceNumber = static_cast<std::uint64_t>(::makedev(major, minor));
    return d;
}

std::vector<MountEntry> SystemMounts() {
    return ParseMountInfo(ReadText("/proc/self/mountinfo"));
}

// The label as udev published it, when it did.
std::string LabelFromUdev(const std::string& device) {
    const std::string real = RealPath(device);
    if (real.empty())
        return {};
    DIR* dir = ::opendir("/dev/disk/by-label");
    if (!dir)
        return {};
    std::unique_ptr<DIR, int (*)(DIR*)> guard(dir, ::closedir);
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        if (RealPath("/dev/disk/by-label/" + name) == real)
            return DecodeHex(name);
    }
    return {};
}

// The label as the file system's own superblock has it; needs read access
// to the device, so as a rule only root gets an answer here.
std::string LabelFromDevice(const std::string& device) {
    struct stat st {};
    if (::stat(device.c_str(), &st) != 0 || !S_ISBLK(st.st_mode))
        return {};
    blkid_probe probe = ::blkid_new_probe_from_filename(device.c_str());
    if (!probe)
        return {};
    std::unique_ptr<std::remove_pointer_t<blkid_probe>, void (*)(blkid_probe)> guard(
        probe, ::blkid_free_probe);
    ::blkid_probe_enable_superblocks(probe, 1);
    ::blkid_probe_set_superblocks_flags(probe, BLKID_SUBLKS_LABEL);
    if (::blkid_do_safeprobe(probe) != 0)
        return {};
    const char* value = nullptr;
    std::size_t length = 0;
    if (::blkid_probe_lookup_value(probe, "LABEL", &value, &length) != 0 || !value)
        return {};
    return std::string(value); // length counts the terminating zero
}

bool MultiplyBytes(unsigned long long count, unsigned long long unit, std::int64_t* result) {
    return !__builtin_mul_overflow(count, unit, result);
}

} // namespace

std::vector<MountEntry> ParseMountInfo(const std::string& text) {
    std::vector<MountEntry> result;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        // id parent major:minor root mountpoint options [optional...] - type source superoptions
        std::istringstream fields(line);
        std::vector<std::string> f;
        for (std::string field; fields >> field;)
            f.push_back(field);
        const auto dash = std::find(f.begin(), f.end(), "-");
        if (f.size() < 5 || dash == f.end() || f.end() - dash < 3)
            continue;
        MountEntry m;
        m.mountId = std::strtoull(f[0].c_str(), nullptr, 10);
        m.deviceId = f[2];
        m.fsRoot = DecodeOctal(f[3]);
        m.mountPoint = DecodeOctal(f[4]);
        m.fsType = *(dash + 1);
        m.source = DecodeOctal(*(dash + 2));
        result.push_back(std::move(m));
    }
    return result;
}

VolumeId VolumeOf(const Drive& drive) {
    return {drive.mountId, drive.deviceNumber, drive.mountPoint, drive.uniqueMountId};
}

std::string DriveName(const Drive& drive) {
    return drive.letter ? std::string(1, drive.letter) + ":" : drive.mountPoint;
}

void DriveLettering::Letter(std::vector<Drive>& drives) {
    std::vector<std::pair<VolumeId, char>> kept;
    std::set<char> taken;
    for (Drive& d : drives) {
        d.letter = 0;
        const VolumeId id = VolumeOf(d);
        for (const auto& [known, letter] : FLetters)
            if (known == id) {
                d.letter = letter;
                taken.insert(letter);
                kept.emplace_back(id, letter);
                break;
            }
    }
    char next = 'C';
    for (Drive& d : drives) {
        if (d.letter)
            continue;
        while (next <= 'Z' && taken.count(next))
            ++next;
        if (next > 'Z')
            break; // more volumes than letters: the rest get none
        d.letter = next;
        taken.insert(next);
        kept.emplace_back(VolumeOf(d), next);
    }
    FLetters = std::move(kept);
}

std::vector<Drive> BuildDriveTable(const std::vector<MountEntry>& mounts,
                                   const std::function<bool(const std::string&)>& isRemovable,
                                   DriveLettering* lettering) {
    // A later mount on the same mount point hides the earlier one.
    std::map<std::string, const MountEntry*> byMountPoint;
    for (const auto& m : mounts)
        byMountPoint[m.mountPoint] = &m;

    std::vector<const MountEntry*> candidates;
    for (const auto& [point, m] : byMountPoint)
        if (HoldsRealFileSystem(*m) && !BoundFile(*m))
            candidates.push_back(m);

    // One drive per volume: a bind mount shows a volume (or a folder of it)
    // again. Keep the mount of the whole volume, else the first by place.
    std::map<std::string, const MountEntry*> byVolume;
    for (const MountEntry* m : candidates) { // in mount-point order
        auto [it, fresh] = byVolume.emplace(m->deviceId, m);
        if (!fresh && it->second->fsRoot != "/" && m->fsRoot == "/")
            it->second = m;
    }
    std::vector<const MountEntry*> chosen;
    for (const auto& [id, m] : byVolume)
        chosen.push_back(m);
    std::sort(chosen.begin(), chosen.end(), [](const MountEntry* a, const MountEntry* b) {
        return a->mountPoint < b->mountPoint;
    });

    std::vector<Drive> drives;
    for (const MountEntry* m : chosen)
        drives.push_back(DriveFrom(*m, 0, isRemovable));
    DriveLettering fresh;
    (lettering ? *lettering : fresh).Letter(drives);
    return drives;
}

std::vector<std::string> MountPoints() {
    std::vector<std::string> points;
    for (const auto& m : SystemMounts())
        points.push_back(m.mountPoint);
    return points;
}

std::vector<Drive> ReadDriveTable() {
    if (gInstalledTable)
        return *gInstalledTable;
    const auto mounts = SystemMounts();
    std::lock_guard lock(gLetteringMutex);
    return BuildDriveTable(mounts, {}, &gLettering);
}

std::optional<Drive> FindDrive(char letter) {
    if (letter >= 'a' && letter <= 'z')
        letter = static_cast<char>(letter - 'a' + 'A');
    if (letter < 'A' || letter > 'Z')
        return std::nullopt; // 0 would find a drive without a letter
    for (auto& d : ReadDriveTable())
        if (d.letter == letter)
            return std::move(d);
    return std::nullopt;
}

std::optional<Drive> FindVolume(const VolumeId& id) {
    for (auto& d : ReadDriveTable())
        if (VolumeOf(d) == id)
            return std::move(d);
    return std::nullopt;
}

bool VolumeListed(const VolumeId& id) {
    if (gInstalledTable)
        return FindVolume(id).has_value();
    // The latest mount at the place is the one a path reaches.
    const auto mounts = SystemMounts();
    for (auto it = mounts.rbegin(); it != mounts.rend(); ++it)
        if (it->mountPoint == id.mountPoint)
            return it->mountId == id.mountId;
    return false;
}

bool DriveTableInstalled() {
    return gInstalledTable != nullptr;
}

namespace {

// statx's never reused mount id (Linux 6.8 on); older headers lack the name.
constexpr unsigned kStatxUniqueMountId = 0x4000U;

std::uint64_t UniqueMountIdAt(int dirFd, const char* path, int flags) {
    struct statx sx {};
    if (::statx(dirFd, path, flags, kStatxUniqueMountId, &sx) != 0 ||
        !(sx.stx_mask & kStatxUniqueMountId))
        return 0;
    return sx.stx_mnt_id;
}

} // namespace

std::uint64_t AskUniqueMountId(const Drive& drive) {
    if (gInstalledTable || drive.mountPoint.empty())
        return 0;
    auto id = std::make_shared<std::uint64_t>(0);
    const std::string point = drive.mountPoint;
    const bool answered = AskVolume(point, [point, id] {
                              *id = UniqueMountIdAt(AT_FDCWD, point.c_str(), AT_NO_AUTOMOUNT);
                              return true;
                          }).value_or(false);
    return answered ? *id : 0;
}

std::uint64_t UniqueMountIdOf(int fd) {
    return UniqueMountIdAt(fd, "", AT_EMPTY_PATH);
}

std::optional<Drive> DriveHolding(const std::string& path) {
    auto table = ReadDriveTable();
    const bool installed = DriveTableInstalled();
    struct statx target {};
    const bool seen =
        ::statx(AT_FDCWD, path.c_str(), 0, STATX_BASIC_STATS | STATX_MNT_ID, &target) == 0;
    // The mount the path lies on, as the mount table knows it.
    if (seen && !installed && (target.stx_mask & STATX_MNT_ID))
        for (auto& drive : table)
            if (drive.mountId == target.stx_mnt_id)
                return std::move(drive);
    // A mount the table leaves out (a bind mount of a listed volume): a drive
    // on the same volume, the one whose mount point is the longest start of
    // the path. An installed table stands for folders, not volumes: there
    // the longest start alone decides.
    const auto device = static_cast<dev_t>(::makedev(target.stx_dev_major, target.stx_dev_minor));
    std::string real = RealPath(path);
    if (real.empty())
        real = path;
    std::optional<Drive> found;
    std::size_t best = 0;
    for (auto& drive : table) {
        const bool under = drive.mountPoint == "/" || Below(real, drive.mountPoint);
        if (installed ? !under : !seen || !OnDevice(drive.mountPoint, device))
            continue;
        const std::size_t weight = under ? drive.mountPoint.size() + 1 : 0;
        if (!found || weight > best) {
            best = weight;
            found = std::move(drive);
        }
    }
    return found;
}

std::optional<Drive> CurrentDrive() {
    std::unique_ptr<char, void (*)(void*)> cwd(::getcwd(nullptr, 0), std::free);
    if (!cwd)
        return std::nullopt;
    return DriveHolding(cwd.get());
}

std::optional<DriveSpace> VolumeSpace(const Drive& drive, int* error) {
    if (drive.space)
        return drive.space;
    if (drive.root.empty()) {
        if (error)
            *error = ENOENT;
        return std::nullopt;
    }
    const auto blocks = QueryVolumeBlocks(drive.root, error);
    if (!blocks)
        return std::nullopt;
    // Free space is what a user may fill, as the system's own tools show it;
    // the blocks kept for root are counted apart, for the one who fills
    // them (a wipe run by root).
    DriveSpace space;
    if (!MultiplyBytes(blocks->blocksAvailable, blocks->blockSize, &space.freeBytes) ||
        !MultiplyBytes(blocks->blocksFree, blocks->blockSize, &space.freeBytesForRoot) ||
        !MultiplyBytes(blocks->blocks, blocks->blockSize, &space.totalBytes)) {
        if (error)
            *error = EOVERFLOW;
        return std::nullopt;
    }
    return space;
}

bool VolumeAccessible(const Drive& drive) {
    return QueryVolumeReadable(drive.root);
}

std::string VolumeLabel(const Drive& drive) {
    if (drive.label)
        return *drive.label;
    if (drive.device.rfind("/dev/", 0) != 0)
        return {};
    std::string label = LabelFromUdev(drive.device);
    if (label.empty())
        label = LabelFromDevice(drive.device);
    return label;
}

namespace {

bool ProbeWriteProtectedNow(const std::string& root) {
    // Start from the clock like the system's temporary names do, and step
    // on past names that are taken.
    unsigned number = Platform::TickCount() & 0xFFFF;
    std::string name;
    int fd = -1;
    for (unsigned tries = 0; tries < 0xFFFF && fd < 0; ++tries) {
        if (number == 0 || number > 0xFFFF)
            number = 1;
        char file[16];
        std::snprintf(file, sizeof file, "RWR%04X.TMP", number++);
        name = WithTrailingSlash(root) + file;
        fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST)
            return true; // read-only volume, no permission, no such folder
    }
    if (fd < 0)
        return true;
    struct stat created {};
    const bool known = ::fstat(fd, &created) == 0;
    ::close(fd);
    // Remove the name only while it is still the file we created.
    struct stat now {};
    if (!known || ::lstat(name.c_str(), &now) != 0 || now.st_dev != created.st_dev ||
        now.st_ino != created.st_ino)
        return true;
    return ::unlink(name.c_str()) != 0;
}

} // namespace

bool ProbeWriteProtected(const std::string& root) {
    if (root.empty())
        return true;
    // A volume that does not answer takes no file either.
    return AskVolume(root, [root] { return ProbeWriteProtectedNow(root); }).value_or(true);
}

std::optional<std::pair<std::uint64_t, std::uint64_t>> FolderIdentity(const std::string& path) {
    const auto id = IdentityOf(path);
    if (!id)
        return std::nullopt;
    return std::make_pair(id->device, id->node);
}

ScopedDriveTable::ScopedDriveTable(std::vector<Drive> drives)
    : FDrives(std::move(drives)), FPrevious(gInstalledTable) {
    for (auto& d : FDrives) {
        if (d.letter >= 'a' && d.letter <= 'z')
            d.letter = static_cast<char>(d.letter - 'a' + 'A');
        if (d.root.empty())
            d.root = WithTrailingSlash(d.mountPoint);
        if (d.mountPoint.empty() && !d.root.empty())
            d.mountPoint = WithoutTrailingSlash(d.root);
        if (d.mountId == 0)
            d.mountId = TableMountId(d.mountPoint);
        if (struct stat st{}; d.deviceNumber == 0 && ::stat(d.root.c_str(), &st) == 0)
            d.deviceNumber = static_cast<std::uint64_t>(st.st_dev);
    }
    gInstalledTable = &FDrives;
}

ScopedDriveTable::~ScopedDriveTable() {
    gInstalledTable = FPrevious;
}

Drive DriveForFolder(char letter, const std::string& folder) {
    std::string point = RealPath(folder);
    if (point.empty())
        point = folder;
    const auto mounts = SystemMounts();
    for (auto it = mounts.rbegin(); it != mounts.rend(); ++it)
        if (it->mountPoint == point)
            return DriveFrom(*it, letter, {});
    Drive d;
    d.letter = letter;
    d.mountPoint = point;
    d.root = WithTrailingSlash(point);
    d.kind = DriveKind::Fixed;
    return d;
}

} // namespace Platform
