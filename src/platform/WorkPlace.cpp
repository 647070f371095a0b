#include "platform/WorkPlace.h"

#include "platform/FileSystem.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Platform {

namespace {

using Kind = WorkError::Kind;

// Errors of flock that mean "no locks here", not "held by another".
bool LocksUnsupported(int error) {
    return error == EOPNOTSUPP || error == ENOLCK || error == EINVAL;
}

bool SameNode(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

} // namespace

UniqueFd LockFolder(const std::string& folder, int* error) {
    UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd) {
        *error = errno;
        return fd;
    }
    if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0 && !LocksUnsupported(errno)) {
        *error = errno == EWOULDBLOCK ? EBUSY : errno;
        return UniqueFd();
    }
    return fd;
}

WorkPlace::WorkPlace(const PinnedVolume& volume, const std::string& place, const ToolFolder& tool)
    : FVolume(volume), FTool(tool), FFolder(WithTrailingSlash(place) + tool.folder),
      FMarks(FFolder, tool.tool) {}

WorkPlace::~WorkPlace() {
    try {
        Cleanup();
    } catch (...) {
        // Leaving with an error already; the next run removes what stays.
    }
}

WorkError WorkPlace::Take(const std::function<void()>& breathe, FolderMark mark) {
    FLeftovers.reset();
    if (Taken())
        return {};
    struct stat st {};
    if (::lstat(FFolder.c_str(), &st) != 0) {
        if (errno != ENOENT)
            return {Kind::Inspect, errno};
        return CreateFolder(mark);
    }
    if (S_ISLNK(st.st_mode))
        return {Kind::Link, ELOOP};
    if (!S_ISDIR(st.st_mode))
        return {Kind::NotFolder, ENOTDIR};
    // The lock comes first: the files of a run going on are marked as the
    // tool's too, and only a killed run's are leftovers.
    if (const WorkError error = Lock())
        return error;
    RemoveLeftovers(breathe);
    if (FLeftovers && FLeftovers->folderRemoved) {
        // It was the tool's and is gone: made afresh.
        FFolderFd = UniqueFd();
        return CreateFolder(mark);
    }
    return {};
}

WorkError WorkPlace::Lock() {
    int code = 0;
    FFolderFd = LockFolder(FFolder, &code);
    if (!FFolderFd)
        return {code == EBUSY     ? Kind::Busy
                : code == ELOOP   ? Kind::Link
                : code == ENOTDIR ? Kind::NotFolder
                                  : Kind::Open,
                code};
    // The folder was reached by its path: if another volume took the place
    // meanwhile, the run has no business there.
    struct stat opened {};
    if (!StillMounted(FVolume) || ::fstat(FFolderFd.Get(), &opened) != 0 ||
        static_cast<std::uint64_t>(opened.st_dev) != FVolume.device) {
        FFolderFd = UniqueFd();
        return {Kind::NotOnVolume, ENODEV};
    }
    return {};
}

WorkError WorkPlace::CreateFolder(FolderMark mark) {
    if (::mkdir(FFolder.c_str(), 0777) != 0)
        return {Kind::Create, errno};
    // Locked before it is marked: a sweep never meets a marked folder that
    // a live run has not taken yet.
    if (const WorkError error = Lock()) {
        ::rmdir(FFolder.c_str());
        return error;
    }
    FCreated = true;
    if (int code = 0; !FMarks.MarkFolder(&code) && mark == FolderMark::Required) {
        ::rmdir(FFolder.c_str());
        Release();
        return {Kind::MarkFolder, code};
    }
    return {};
}

void WorkPlace::RemoveLeftovers(const std::function<void()>& breathe) {
    RemovedLeftovers removed{WithTrailingSlash(FFolder), FTool.tool, FTool.label};
    removed.files = FMarks.RemoveOwn(&removed.bytes, breathe);
    struct stat st {};
    removed.folderRemoved = ::lstat(FFolder.c_str(), &st) != 0 && errno == ENOENT;
    if (removed.files > 0 || removed.folderRemoved)
        FLeftovers = std::move(removed);
}

UniqueFd WorkPlace::CreateFile(const std::string& name, int flags, WorkError* error) {
    if (!Taken()) {
        *error = {Kind::Open, EBADF};
        return {};
    }
    int fd;
    do
        fd = ::openat(FFolderFd.Get(), name.c_str(),
                      flags | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        *error = {Kind::Create, errno};
        return {};
    }
    UniqueFd file(fd);
    // An unmarked file would be the user's for every later clean-up.
    if (int code = 0; !FMarks.MarkFile(file.Get(), name, &code)) {
        struct stat created {
        }, now{};
        // Only the file just made goes, not one put under its name since.
        if (::fstat(file.Get(), &created) == 0 &&
            ::fstatat(FFolderFd.Get(), name.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
            SameNode(created, now))
            ::unlinkat(FFolderFd.Get(), name.c_str(), 0);
        *error = {Kind::MarkFile, code};
        return {};
    }
    return file;
}

std::size_t WorkPlace::RemoveOwnFiles(std::int64_t* bytes, const std::function<void()>& breathe) {
    if (!Taken() || !OnPinnedVolume())
        return 0;
    return FMarks.RemoveOwn(bytes, breathe, true);
}

void WorkPlace::Cleanup(const std::function<void()>& breathe) {
    // Without the folder's lock the files there may be another run's.
    if (!Taken())
        return;
    // Something mounted over the folder meanwhile: what the run made lies
    // beneath it, marked, and the next run on that volume removes it.
    if (OnPinnedVolume()) {
        FMarks.RemoveOwn(nullptr, breathe);
        // A folder this run made goes when empty, even if it took no mark.
        if (FCreated)
            ::rmdir(FFolder.c_str());
    }
    Release();
}

void WorkPlace::Release() {
    FFolderFd = UniqueFd();
    FCreated = false;
}

bool WorkPlace::OnPinnedVolume() const {
    if (!Taken() || !StillMounted(FVolume))
        return false;
    struct stat held {
    }, named{};
    return ::fstat(FFolderFd.Get(), &held) == 0 && ::lstat(FFolder.c_str(), &named) == 0 &&
           S_ISDIR(named.st_mode) && SameNode(held, named) &&
           static_cast<std::uint64_t>(named.st_dev) == FVolume.device;
}

std::optional<RemovedLeftovers> RemoveLeftoversIn(const std::string& folder, const ToolFolder& tool,
                                                  const std::function<void()>& breathe) {
    int error = 0;
    const UniqueFd held = LockFolder(folder, &error);
    if (!held)
        return std::nullopt;
    RemovedLeftovers result{WithTrailingSlash(folder), tool.tool, tool.label};
    result.files = TToolMarks(folder, tool.tool).RemoveOwn(&result.bytes, breathe);
    struct stat st {};
    result.folderRemoved = ::lstat(folder.c_str(), &st) != 0 && errno == ENOENT;
    if (result.files == 0 && !result.folderRemoved)
        return std::nullopt;
    if (result.files == 0)
        result.bytes = 0;
    return result;
}

std::vector<RemovedLeftovers> RemoveToolLeftovers(const std::vector<ToolFolder>& tools) {
    // The runs of this window work in its current folder where the volume's
    // root is closed to the user.
    const std::string userFolder = CurrentFolder();
    // The volumes stay pinned for the whole sweep.
    std::vector<std::pair<PinnedVolume, std::string>> places;
    for (const Drive& drive : ReadDriveTable()) {
        auto volume = PinVolume(VolumeOf(drive), userFolder);
        if (!volume)
            continue;
        if (auto place = WorkingPlace(*volume))
            places.emplace_back(std::move(*volume), std::move(*place));
    }
    std::vector<RemovedLeftovers> removed;
    for (const ToolFolder& tool : tools)
        for (const auto& [volume, place] : places)
            if (auto found = RemoveLeftoversIn(WithTrailingSlash(place) + tool.folder, tool))
                removed.push_back(std::move(*found));
    return removed;
}

} // namespace Platform
