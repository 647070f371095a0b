#include "platform/DriveWork.h"

#include "platform/VolumeQuery.h"

#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <memory>
#include <pwd.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace Platform {

namespace {

std::string WithSlash(std::string path) {
    if (path.empty() || path.back() != '/')
        path += '/';
    return path;
}

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir)
        return pw->pw_dir;
    return {};
}

bool gLedgerOnly = false;

// The creation time in nanoseconds, 0 where the file system keeps none. An
// inode number is soon reused after a delete; with its birth time it names
// one file only, so a user's file that took a deleted file's node is never
// mistaken for the tool's.
std::uint64_t BirthOf(int dirFd, const char* path, int flags) {
    struct statx sx {};
    if (::statx(dirFd, path, flags, STATX_BTIME, &sx) != 0 || !(sx.stx_mask & STATX_BTIME))
        return 0;
    return static_cast<std::uint64_t>(sx.stx_btime.tv_sec) * 1000000000u + sx.stx_btime.tv_nsec;
}

// The device of the volume at a mount point, asked within the volume time
// limit: a network volume whose server is gone never answers even a stat,
// and the sweep for leftovers at start asks every volume.
std::optional<std::uint64_t> DeviceAt(const std::string& mountPoint) {
    auto device = std::make_shared<std::uint64_t>(0);
    const std::optional<bool> answered = AskVolume(mountPoint, [mountPoint, device] {
        struct stat st {};
        if (::stat(mountPoint.c_str(), &st) != 0)
            return false;
        *device = static_cast<std::uint64_t>(st.st_dev);
        return true;
    });
    if (!answered.value_or(false))
        return std::nullopt;
    return *device;
}

bool Unsupported(int error) {
    return error == ENOTSUP || error == EOPNOTSUPP;
}

} // namespace

std::optional<PinnedVolume> PinVolume(const VolumeId& id, const std::string& userFolder) {
    std::optional<Drive> drive = FindVolume(id);
    if (!drive)
        return std::nullopt;
    // Opened within the time limit: a server that is gone never answers.
    struct Held {
        UniqueFd fd;
        std::uint64_t device = 0;
        std::uint64_t mountId = 0;
    };
    auto held = std::make_shared<Held>();
    const std::string point = drive->mountPoint;
    const bool opened = AskVolume(point, [point, held] {
                            UniqueFd fd(::open(point.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
                            struct statx sx {};
                            if (!fd || ::statx(fd.Get(), "", AT_EMPTY_PATH,
                                               STATX_BASIC_STATS | STATX_MNT_ID, &sx) != 0)
                                return false;
                            held->device = ::makedev(sx.stx_dev_major, sx.stx_dev_minor);
                            held->mountId = (sx.stx_mask & STATX_MNT_ID) ? sx.stx_mnt_id : 0;
                            held->fd = std::move(fd);
                            return true;
                        }).value_or(false);
    if (!opened)
        return std::nullopt;
    // The open must have reached this very mount: a volume mounted at the
    // place after the table was read is another drive.
    if (!DriveTableInstalled() && held->mountId != 0 && held->mountId != id.mountId)
        return std::nullopt;
    // The mount table's id and the device may have gone to a new mount at
    // the same place after an unmount; the never reused number tells.
    if (!DriveTableInstalled() && id.uniqueMountId != 0) {
        const std::uint64_t unique = UniqueMountIdOf(held->fd.Get());
        if (unique != 0 && unique != id.uniqueMountId)
            return std::nullopt;
    }
    if (!VolumeListed(id))
        return std::nullopt;
    return PinnedVolume{std::move(*drive), held->device, userFolder, std::move(held->fd)};
}

bool StillMounted(const PinnedVolume& volume) {
    return VolumeListed(VolumeOf(volume.drive)) &&
           DeviceAt(volume.drive.mountPoint) == volume.device;
}

bool VolumeReadOnly(const PinnedVolume& volume) {
    struct statvfs st {};
    if (volume.root && ::fstatvfs(volume.root.Get(), &st) == 0)
        return (st.f_flag & ST_RDONLY) != 0;
    return ::access(volume.drive.mountPoint.c_str(), W_OK) != 0 && errno == EROFS;
}

std::optional<std::string> WorkingPlace(const PinnedVolume& volume) {
    for (const std::string& place : {volume.drive.mountPoint, volume.userFolder, HomeFolder(),
                                     std::string("/var/tmp"), std::string("/tmp")}) {
        if (place.empty())
            continue;
        struct stat st {};
        if (::stat(place.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) ||
            static_cast<std::uint64_t>(st.st_dev) != volume.device)
            continue;
        // Creating a folder takes write and search permission; a read-only
        // volume answers EROFS here, for root too. Asked with the rights the
        // process acts with, as the folder will be created.
        if (::faccessat(AT_FDCWD, place.c_str(), W_OK | X_OK, AT_EACCESS) == 0)
            return WithSlash(place);
    }
    return std::nullopt;
}

std::string CurrentFolder() {
    std::unique_ptr<char, void (*)(void*)> cwd(::getcwd(nullptr, 0), std::free);
    return cwd ? std::string(cwd.get()) : std::string();
}

TToolMarks::TToolMarks(std::string folder, std::string tool)
    : FFolder(std::move(folder)), FTool(std::move(tool)) {
    while (FFolder.size() > 1 && FFolder.back() == '/')
        FFolder.pop_back();
}

std::string TToolMarks::PathOf(const std::string& name) const {
    return WithSlash(FFolder) + name;
}

bool TToolMarks::HasAttribute(const std::string& path) const {
    if (gLedgerOnly)
        return false;
    char value[64];
    const ssize_t length = ::lgetxattr(path.c_str(), kAttribute, value, sizeof value);
    return length >= 0 && static_cast<std::size_t>(length) == FTool.size() &&
           FTool.compare(0, FTool.size(), value, static_cast<std::size_t>(length)) == 0;
}

void TToolMarks::UseLedgerOnly(bool ledgerOnly) {
    gLedgerOnly = ledgerOnly;
}

bool TToolMarks::MarkFile(int fd, const std::string& name, int* error) {
    if (!gLedgerOnly && ::fsetxattr(fd, kAttribute, FTool.data(), FTool.size(), 0) == 0)
        return true;
    const int code = gLedgerOnly ? ENOTSUP : errno;
    if (!Unsupported(code)) {
        if (error)
            *error = code;
        return false;
    }
    return AppendToLedger(fd, name, error);
}

bool TToolMarks::MarkFolder(int* error) {
    const int fd = ::open(FFolder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        if (error)
            *error = errno;
        return false;
    }
    const bool marked = MarkFile(fd, ".", error);
    ::close(fd);
    return marked;
}

bool TToolMarks::AppendToLedger(int fd, const std::string& name, int* error) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        if (error)
            *error = errno;
        return false;
    }
    const std::string ledger = PathOf(LedgerName());
    const int out =
        ::open(ledger.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (out < 0) {
        if (error)
            *error = errno;
        return false;
    }
    std::ostringstream line;
    line << static_cast<std::uint64_t>(st.st_dev) << ' ' << static_cast<std::uint64_t>(st.st_ino)
         << ' ' << BirthOf(fd, "", AT_EMPTY_PATH) << ' ' << name << '\n';
    const std::string text = line.str();
    // The line must outlive a power loss that the tool's data may outlive.
    const bool ok = ::write(out, text.data(), text.size()) == static_cast<ssize_t>(text.size()) &&
                    ::fdatasync(out) == 0;
    const int code = errno;
    ::close(out);
    if (!ok && error)
        *error = code;
    return ok;
}

std::vector<TToolMarks::LedgerEntry> TToolMarks::ReadLedger() const {
    std::vector<LedgerEntry> entries;
    const int fd = ::open(PathOf(LedgerName()).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return entries;
    std::string text;
    char chunk[4096];
    for (ssize_t n; (n = ::read(fd, chunk, sizeof chunk)) > 0;)
        text.append(chunk, static_cast<std::size_t>(n));
    ::close(fd);
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        LedgerEntry entry;
        if (fields >> entry.device >> entry.inode >> entry.birth) {
            fields.get(); // the blank before the name, which may hold blanks itself
            std::getline(fields, entry.name);
            if (!entry.name.empty())
                entries.push_back(entry);
        }
    }
    return entries;
}

bool TToolMarks::InLedger(const std::string& name, const std::string& path) const {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return false;
    const std::uint64_t birth = BirthOf(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW);
    for (const LedgerEntry& entry : ReadLedger())
        if (entry.name == name && entry.device == static_cast<std::uint64_t>(st.st_dev) &&
            entry.inode == static_cast<std::uint64_t>(st.st_ino) && entry.birth == birth)
            return true;
    return false;
}

bool TToolMarks::IsOwnFile(const std::string& name) const {
    if (name.empty() || name == "." || name == ".." || name == LedgerName() ||
        name.find('/') != std::string::npos)
        return false;
    const std::string path = PathOf(name);
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    return HasAttribute(path) || InLedger(name, path);
}

bool TToolMarks::IsOwnFolder() const {
    struct stat st {};
    if (::lstat(FFolder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    return HasAttribute(FFolder) || InLedger(".", PathOf("."));
}

std::size_t TToolMarks::RemoveOwn() {
    struct stat folderStat {};
    if (::lstat(FFolder.c_str(), &folderStat) != 0 || !S_ISDIR(folderStat.st_mode))
        return 0; // gone, or a link where the folder was: nothing of ours to touch
    const bool ownFolder = IsOwnFolder();
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(FFolder.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
        ::closedir(dir);
    }
    std::size_t removed = 0;
    bool othersLeft = false;
    bool ledgerFound = false;
    for (const std::string& name : names) {
        if (name == LedgerName()) {
            ledgerFound = true;
            continue;
        }
        if (IsOwnFile(name) && ::unlink(PathOf(name).c_str()) == 0)
            ++removed;
        else
            othersLeft = true;
    }
    if (ledgerFound) {
        // Keep only the lines of what is still ours (the folder, or a file
        // that could not be removed).
        std::string kept;
        for (const LedgerEntry& entry : ReadLedger()) {
            if ((entry.name == "." && ownFolder && othersLeft) ||
                (entry.name != "." && InLedger(entry.name, PathOf(entry.name))))
                kept += std::to_string(entry.device) + ' ' + std::to_string(entry.inode) + ' ' +
                        std::to_string(entry.birth) + ' ' + entry.name + '\n';
        }
        const std::string ledger = PathOf(LedgerName());
        if (kept.empty()) {
            ::unlink(ledger.c_str());
        } else {
            const int fd = ::open(ledger.c_str(), O_WRONLY | O_TRUNC | O_NOFOLLOW | O_CLOEXEC);
            if (fd >= 0) {
                [[maybe_unused]] const ssize_t n = ::write(fd, kept.data(), kept.size());
                ::close(fd);
            }
        }
    }
    if (ownFolder && !othersLeft)
        ::rmdir(FFolder.c_str());
    return removed;
}

} // namespace Platform
