#include "platform/DriveWork.h"

#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/VolumeQuery.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <unordered_set>

namespace Platform {

namespace {

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir)
        return pw->pw_dir;
    return {};
}

bool gLedgerOnly = false;

// A sweep lets the window paint after this many files.
constexpr std::size_t kFilesPerBreath = 256;

// The first word of a ledger of the tool's.
constexpr const char* kLedgerTitle = "ferrovane-marks";

// The file at dirFd/path (AT_EMPTY_PATH: dirFd itself) by its volume, node
// and creation time; *sx gets the rest of what statx told.
std::optional<TToolMarks::FileId> IdOf(int dirFd, const char* path, int flags,
                                       struct statx* sx = nullptr) {
    struct statx own {};
    struct statx& info = sx ? *sx : own;
    if (::statx(dirFd, path, flags, STATX_TYPE | STATX_INO | STATX_SIZE | STATX_BTIME, &info) != 0)
        return std::nullopt;
    TToolMarks::FileId id;
    id.device = makedev(info.stx_dev_major, info.stx_dev_minor);
    id.inode = info.stx_ino;
    if (info.stx_mask & STATX_BTIME)
        id.birth = static_cast<std::uint64_t>(info.stx_btime.tv_sec) * 1000000000u +
                   info.stx_btime.tv_nsec;
    return id;
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
            return WithTrailingSlash(place);
    }
    return std::nullopt;
}

std::string CurrentFolder() {
    std::unique_ptr<char, void (*)(void*)> cwd(::getcwd(nullptr, 0), std::free);
    return cwd ? std::string(cwd.get()) : std::string();
}

TToolMarks::TToolMarks(std::string folder, std::string tool)
    : FFolder(WithoutTrailingSlash(folder)), FTool(std::move(tool)) {}

std::string TToolMarks::PathOf(const std::string& name) const {
    return WithTrailingSlash(FFolder) + name;
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
    const UniqueFd fd(::open(FFolder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd) {
        if (error)
            *error = errno;
        return false;
    }
    return MarkFile(fd.Get(), ".", error);
}

std::string TToolMarks::MarkErrorText(int error) const {
    if (error == EEXIST)
        return "The file \"" + PathOf(LedgerName()) +
               "\" was not made by this program, so it stays; but the program keeps the list of "
               "its own files under that name on this drive. Move the file away.";
    return ErrorText(error);
}

std::string TToolMarks::Header(const FileId& ledger) const {
    return std::string(kLedgerTitle) + ' ' + FTool + ' ' + std::to_string(ledger.device) + ' ' +
           std::to_string(ledger.inode) + ' ' + std::to_string(ledger.birth) + '\n';
}

bool TToolMarks::AppendToLedger(int fd, const std::string& name, int* error) {
    auto failed = [error](int code) {
        if (error)
            *error = code;
        return false;
    };
    const std::optional<FileId> file = IdOf(fd, "", AT_EMPTY_PATH);
    if (!file)
        return failed(errno);
    const std::string path = PathOf(LedgerName());
    std::string text;
    // Made exclusively, the ledger is the tool's, and its first line says
    // so; a file of that name the tool did not make is never written to.
    UniqueFd out(
        ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    std::optional<FileId> created;
    if (out) {
        created = IdOf(out.Get(), "", AT_EMPTY_PATH);
        if (!created) {
            const int code = errno;
            ::unlink(path.c_str()); // just made exclusively: ours
            return failed(code);
        }
        text = Header(*created);
    } else if (errno == EEXIST) {
        // A ledger that cannot be read is no user's file: the reason is the disk's.
        int code = EEXIST;
        out = OpenOwnLedger(O_RDWR | O_APPEND, nullptr, &code);
        if (!out)
            return failed(code);
    } else {
        return failed(errno);
    }
    text += std::to_string(file->device) + ' ' + std::to_string(file->inode) + ' ' +
            std::to_string(file->birth) + ' ' + name + '\n';
    // The line must outlive a power loss that the tool's data may outlive.
    // The system may take the line in parts; a part alone is a broken line.
    errno = 0;
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(out.Get(), text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    if (done < text.size() || ::fdatasync(out.Get()) != 0) {
        const int code = errno == 0 ? ENOSPC : errno;
        // A ledger without its first line would pass for the user's and
        // block the tool for good (a volume that just filled up).
        if (created && IdOf(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW) == created)
            ::unlink(path.c_str());
        return failed(code);
    }
    return true;
}

UniqueFd TToolMarks::OpenOwnLedger(int flags, std::string* text, int* readError) const {
    UniqueFd fd(::open(PathOf(LedgerName()).c_str(), flags | O_NOFOLLOW | O_CLOEXEC));
    if (!fd)
        return fd;
    std::string head;
    std::string& content = text ? *text : head;
    content.clear();
    // The whole ledger for a reader; its first line only for an append.
    char chunk[65536];
    for (off_t at = 0;;) {
        const ssize_t n = ::pread(fd.Get(), chunk, sizeof chunk, at);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && readError) {
            *readError = errno;
            return UniqueFd();
        }
        if (n <= 0)
            break;
        content.append(chunk, static_cast<std::size_t>(n));
        at += n;
        if (!text && content.find('\n') != std::string::npos)
            break;
    }
    const std::size_t end = content.find('\n');
    struct statx sx {};
    const std::optional<FileId> ledger = IdOf(fd.Get(), "", AT_EMPTY_PATH, &sx);
    if (end == std::string::npos || !ledger || !S_ISREG(sx.stx_mode) ||
        content.compare(0, end + 1, Header(*ledger)) != 0)
        return UniqueFd();
    return fd;
}

std::optional<TToolMarks::Marks> TToolMarks::ReadMarks(UniqueFd* keep) const {
    std::string text;
    UniqueFd ledger = OpenOwnLedger(keep ? O_RDWR : O_RDONLY, &text);
    if (!ledger)
        return std::nullopt;
    Marks marks;
    std::size_t at = text.find('\n') + 1; // after the header
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos)
            break; // a line cut short by a power loss marks nothing
        const char* p = text.data() + at;
        const char* last = text.data() + end;
        FileId id;
        bool ok = true;
        for (std::uint64_t* field : {&id.device, &id.inode, &id.birth}) {
            const auto [next, ec] = std::from_chars(p, last, *field);
            ok = ok && ec == std::errc() && next < last && *next == ' ';
            if (!ok)
                break;
            p = next + 1;
        }
        // The name may hold blanks itself.
        if (ok && p < last)
            marks.emplace(std::string(p, last), id);
        at = end + 1;
    }
    if (keep)
        *keep = std::move(ledger);
    return marks;
}

bool TToolMarks::IsOwn(int dirFd, const std::string& name, const Marks* marks,
                       std::int64_t* size) const {
    // The folder itself by its own name, so that a link in its place is
    // never taken for it.
    const bool folder = name == ".";
    const std::string path = folder ? FFolder : PathOf(name);
    struct statx sx {};
    const std::optional<FileId> id =
        IdOf(folder ? AT_FDCWD : dirFd, folder || dirFd == AT_FDCWD ? path.c_str() : name.c_str(),
             AT_SYMLINK_NOFOLLOW, &sx);
    if (!id || !(folder ? S_ISDIR(sx.stx_mode) : S_ISREG(sx.stx_mode)))
        return false;
    if (size)
        *size = static_cast<std::int64_t>(sx.stx_size);
    if (HasAttribute(path))
        return true;
    if (!marks)
        return false;
    const auto [from, to] = marks->equal_range(name);
    return std::any_of(from, to, [&](const auto& entry) { return entry.second == *id; });
}

bool TToolMarks::IsOwnFile(const std::string& name) const {
    if (name.empty() || name == "." || name == ".." || name == LedgerName() ||
        name.find('/') != std::string::npos)
        return false;
    const std::optional<Marks> marks = ReadMarks();
    return IsOwn(AT_FDCWD, name, marks ? &*marks : nullptr);
}

bool TToolMarks::IsOwnFolder() const {
    const std::optional<Marks> marks = ReadMarks();
    return IsOwn(AT_FDCWD, ".", marks ? &*marks : nullptr);
}

std::size_t TToolMarks::RemoveOwn(std::int64_t* bytes, const std::function<void()>& breathe,
                                  bool keepFolder) {
    // A link where the folder was is nothing of ours to touch.
    const UniqueFd dir(::open(FFolder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!dir)
        return 0;
    // The marks are read once: a folder of tens of thousands of files (a
    // wipe with a small buffer) is swept in one go.
    UniqueFd ledger;
    const std::optional<Marks> marks = ReadMarks(&ledger);
    const Marks* known = marks ? &*marks : nullptr;
    const bool ownFolder = IsOwn(AT_FDCWD, ".", known);
    std::vector<std::string> names;
    if (DIR* listing = ::fdopendir(::dup(dir.Get()))) {
        while (const dirent* entry = ::readdir(listing)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
        ::closedir(listing);
    }
    std::size_t removed = 0;
    bool othersLeft = false;
    std::unordered_set<std::string> stayed; // the tool's, but not removed
    std::size_t seen = 0;
    for (const std::string& name : names) {
        if (breathe && ++seen % kFilesPerBreath == 0)
            breathe();
        if (name == LedgerName()) {
            othersLeft = othersLeft || !marks; // a user's file of that name
            continue;
        }
        std::int64_t size = 0;
        if (!IsOwn(dir.Get(), name, known, &size)) {
            othersLeft = true;
        } else if (::unlinkat(dir.Get(), name.c_str(), 0) == 0) {
            ++removed;
            if (bytes)
                *bytes += size;
        } else {
            othersLeft = true;
            stayed.insert(name);
        }
    }
    if (marks) {
        // Keep only the lines of what is still ours (the folder, or a file
        // that could not be removed).
        std::string kept;
        for (const auto& [name, id] : *marks) {
            const bool keep =
                name == "." ? ownFolder && (othersLeft || keepFolder) : stayed.count(name) > 0;
            if (keep)
                kept += std::to_string(id.device) + ' ' + std::to_string(id.inode) + ' ' +
                        std::to_string(id.birth) + ' ' + name + '\n';
        }
        const std::optional<FileId> ledgerId = IdOf(ledger.Get(), "", AT_EMPTY_PATH);
        if (kept.empty()) {
            // Only the ledger that was read goes, not a file put in its place.
            if (ledgerId && IdOf(dir.Get(), LedgerName().c_str(), AT_SYMLINK_NOFOLLOW) == ledgerId)
                ::unlinkat(dir.Get(), LedgerName().c_str(), 0);
        } else if (ledgerId) {
            // Rewritten in place: the same file, so its first line still holds.
            kept.insert(0, Header(*ledgerId));
            if (::pwrite(ledger.Get(), kept.data(), kept.size(), 0) ==
                    static_cast<ssize_t>(kept.size()) &&
                ::ftruncate(ledger.Get(), static_cast<off_t>(kept.size())) == 0)
                ::fdatasync(ledger.Get());
        }
    }
    if (ownFolder && !othersLeft && !keepFolder)
        ::rmdir(FFolder.c_str());
    return removed;
}

} // namespace Platform
