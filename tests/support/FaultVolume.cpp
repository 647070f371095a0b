#include "FaultVolume.h"

#include "TempDir.h"

#include <chrono>
#include <cstring>
#include <fstream>
#include <mutex>
#include <stdexcept>
#include <thread>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#if FV_HAVE_FUSE
#define FUSE_USE_VERSION 31
#include <dirent.h>
#include <fuse.h>
#include <sys/statvfs.h>
#endif

struct FaultVolume::State {
    TempDir dir;
    std::string backing = dir / "backing";
    std::string mountPoint = dir / "volume";

    std::mutex planLock;
    FaultPlan plan;
    std::atomic<int> writes{0};
    std::atomic<int> reads{0};
    std::atomic<int> syncs{0};
    std::atomic<std::int64_t> bytes{0};
    std::atomic<bool> vanished{false};
    dev_t device = 0;
    bool backingMounted = false;
    // Before the folder goes, also when the mount failed halfway.
    ~State() {
        if (backingMounted)
            ::umount2(backing.c_str(), MNT_DETACH);
    }

#if FV_HAVE_FUSE
    struct fuse* fuse = nullptr;
#endif
    std::thread loop;

    FaultPlan Plan() {
        std::lock_guard lock(planLock);
        return plan;
    }

    std::string Real(const char* path) const {
        return backing + path;
    }

    void Unmount() {
        if (!vanished.exchange(true))
            ::umount2(mountPoint.c_str(), MNT_DETACH);
    }
};

#if FV_HAVE_FUSE
namespace {

using State = FaultVolume::State;

State& Self() {
    return *static_cast<State*>(fuse_get_context()->private_data);
}

// Every call: the delay, then EIO once the volume is gone.
int Enter() {
    State& s = Self();
    const int delay = s.Plan().delayMs;
    if (delay > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(delay));
    return s.vanished ? -EIO : 0;
}

int Result(int rc) {
    return rc < 0 ? -errno : rc;
}

int DoGetattr(const char* path, struct stat* st, fuse_file_info* fi) {
    if (const int gone = Enter())
        return gone;
    return Result(fi ? ::fstat(static_cast<int>(fi->fh), st)
                     : ::lstat(Self().Real(path).c_str(), st));
}

int DoAccess(const char* path, int mode) {
    if (const int gone = Enter())
        return gone;
    return Result(::access(Self().Real(path).c_str(), mode));
}

int DoReadlink(const char* path, char* buffer, size_t size) {
    if (const int gone = Enter())
        return gone;
    const ssize_t n = ::readlink(Self().Real(path).c_str(), buffer, size - 1);
    if (n < 0)
        return -errno;
    buffer[n] = '\0';
    return 0;
}

int DoReaddir(const char* path, void* buffer, fuse_fill_dir_t fill, off_t, fuse_file_info*,
              fuse_readdir_flags) {
    if (const int gone = Enter())
        return gone;
    DIR* dir = ::opendir(Self().Real(path).c_str());
    if (!dir)
        return -errno;
    while (const dirent* e = ::readdir(dir)) {
        struct stat st {};
        st.st_ino = e->d_ino;
        st.st_mode = static_cast<mode_t>(DTTOIF(e->d_type));
        if (fill(buffer, e->d_name, &st, 0, static_cast<fuse_fill_dir_flags>(0)))
            break;
    }
    ::closedir(dir);
    return 0;
}

int DoMkdir(const char* path, mode_t mode) {
    if (const int gone = Enter())
        return gone;
    return Result(::mkdir(Self().Real(path).c_str(), mode));
}

int DoUnlink(const char* path) {
    if (const int gone = Enter())
        return gone;
    return Result(::unlink(Self().Real(path).c_str()));
}

int DoRmdir(const char* path) {
    if (const int gone = Enter())
        return gone;
    return Result(::rmdir(Self().Real(path).c_str()));
}

int DoSymlink(const char* target, const char* path) {
    if (const int gone = Enter())
        return gone;
    return Result(::symlink(target, Self().Real(path).c_str()));
}

int DoRename(const char* from, const char* to, unsigned int flags) {
    if (const int gone = Enter())
        return gone;
    return Result(
        ::renameat2(AT_FDCWD, Self().Real(from).c_str(), AT_FDCWD, Self().Real(to).c_str(), flags));
}

int DoLink(const char* from, const char* to) {
    if (const int gone = Enter())
        return gone;
    return Result(::link(Self().Real(from).c_str(), Self().Real(to).c_str()));
}

int DoChmod(const char* path, mode_t mode, fuse_file_info*) {
    if (const int gone = Enter())
        return gone;
    return Result(::chmod(Self().Real(path).c_str(), mode));
}

int DoChown(const char* path, uid_t uid, gid_t gid, fuse_file_info*) {
    if (const int gone = Enter())
        return gone;
    return Result(::lchown(Self().Real(path).c_str(), uid, gid));
}

int DoTruncate(const char* path, off_t size, fuse_file_info* fi) {
    if (const int gone = Enter())
        return gone;
    return Result(fi ? ::ftruncate(static_cast<int>(fi->fh), size)
                     : ::truncate(Self().Real(path).c_str(), size));
}

int DoUtimens(const char* path, const timespec times[2], fuse_file_info*) {
    if (const int gone = Enter())
        return gone;
    return Result(::utimensat(AT_FDCWD, Self().Real(path).c_str(), times, AT_SYMLINK_NOFOLLOW));
}

// Every file bypasses the page cache, so each read and write of the tool is
// one call here (split only where it exceeds the largest transfer).
void Opened(fuse_file_info* fi, int fd) {
    fi->fh = static_cast<std::uint64_t>(fd);
    fi->direct_io = 1;
}

int DoOpen(const char* path, fuse_file_info* fi) {
    if (const int gone = Enter())
        return gone;
    const int fd = ::open(Self().Real(path).c_str(), fi->flags & ~O_DIRECT);
    if (fd < 0)
        return -errno;
    Opened(fi, fd);
    return 0;
}

int DoCreate(const char* path, mode_t mode, fuse_file_info* fi) {
    if (const int gone = Enter())
        return gone;
    const int fd = ::open(Self().Real(path).c_str(), (fi->flags & ~O_DIRECT) | O_CREAT, mode);
    if (fd < 0)
        return -errno;
    Opened(fi, fd);
    return 0;
}

int DoRead(const char*, char* buffer, size_t size, off_t offset, fuse_file_info* fi) {
    if (const int gone = Enter())
        return gone;
    State& s = Self();
    const int n = ++s.reads;
    if (n == s.Plan().eioOnRead)
        return -EIO;
    return Result(static_cast<int>(::pread(static_cast<int>(fi->fh), buffer, size, offset)));
}

int DoWrite(const char*, const char* buffer, size_t size, off_t offset, fuse_file_info* fi) {
    if (const int gone = Enter())
        return gone;
    State& s = Self();
    const FaultPlan plan = s.Plan();
    const int n = ++s.writes;
    if (n == plan.vanishOnWrite) {
        s.Unmount();
        return -EIO;
    }
    if (n == plan.eioOnWrite)
        return -EIO;
    if (plan.shortWrites && size > 1)
        size = (size + 1) / 2;
    if (plan.spaceBytes >= 0) {
        const std::int64_t room = plan.spaceBytes - s.bytes;
        if (room <= 0)
            return -ENOSPC;
        size = static_cast<size_t>(std::min<std::int64_t>(room, static_cast<std::int64_t>(size)));
    }
    const ssize_t done = ::pwrite(static_cast<int>(fi->fh), buffer, size, offset);
    if (done < 0)
        return -errno;
    s.bytes += done;
    return static_cast<int>(done);
}

int DoStatfs(const char*, struct statvfs* st) {
    if (const int gone = Enter())
        return gone;
    return Result(::statvfs(Self().backing.c_str(), st));
}

int DoFlush(const char*, fuse_file_info* fi) {
    if (const int gone = Enter())
        return gone;
    if (Self().Plan().eioOnClose)
        return -EIO;
    // The close of a duplicate, as the system does it for the tool's close.
    return Result(::close(::dup(static_cast<int>(fi->fh))));
}

int DoRelease(const char*, fuse_file_info* fi) {
    ::close(static_cast<int>(fi->fh));
    return 0;
}

int DoFsync(const char*, int dataOnly, fuse_file_info* fi) {
    if (const int gone = Enter())
        return gone;
    State& s = Self();
    const int plan = s.Plan().eioOnSync;
    if (plan > 0 && ++s.syncs >= plan)
        return -EIO;
    const int fd = static_cast<int>(fi->fh);
    return Result(dataOnly ? ::fdatasync(fd) : ::fsync(fd));
}

int DoFallocate(const char*, int mode, off_t offset, off_t length, fuse_file_info* fi) {
    if (const int gone = Enter())
        return gone;
    if (mode != 0)
        return -EOPNOTSUPP;
    return -::posix_fallocate(static_cast<int>(fi->fh), offset, length);
}

void* DoInit(fuse_conn_info*, fuse_config* config) {
    // Attributes and names are asked afresh: the tests look at the folder
    // behind the volume, and a vanished volume must not answer from a cache.
    config->entry_timeout = 0;
    config->attr_timeout = 0;
    config->negative_timeout = 0;
    config->use_ino = 1;
    // A file removed while open goes at once, as on a disk, instead of
    // waiting under a hidden name that keeps its folder from being removed.
    config->hard_remove = 1;
    return fuse_get_context()->private_data;
}

fuse_operations Operations() {
    fuse_operations ops{};
    ops.init = DoInit;
    ops.getattr = DoGetattr;
    ops.access = DoAccess;
    ops.readlink = DoReadlink;
    ops.readdir = DoReaddir;
    ops.mkdir = DoMkdir;
    ops.unlink = DoUnlink;
    ops.rmdir = DoRmdir;
    ops.symlink = DoSymlink;
    ops.rename = DoRename;
    ops.link = DoLink;
    ops.chmod = DoChmod;
    ops.chown = DoChown;
    ops.truncate = DoTruncate;
    ops.utimens = DoUtimens;
    ops.open = DoOpen;
    ops.create = DoCreate;
    ops.read = DoRead;
    ops.write = DoWrite;
    ops.statfs = DoStatfs;
    ops.flush = DoFlush;
    ops.release = DoRelease;
    ops.fsync = DoFsync;
    ops.fallocate = DoFallocate;
    return ops;
}

// Ends every request of the connection at once and wakes the serving
// threads, also while a tool still holds files open on it (an unmount alone
// waits for those). The control file system is mounted where it is not.
void AbortConnection(dev_t device) {
    const std::string control = "/sys/fs/fuse/connections";
    const std::string abort = control + "/" + std::to_string(minor(device)) + "/abort";
    if (::access(abort.c_str(), F_OK) != 0)
        ::mount("fusectl", control.c_str(), "fusectl", 0, nullptr);
    std::ofstream(abort) << "1";
}

} // namespace
#endif

std::optional<std::string> FaultVolume::Unavailable() {
#if FV_HAVE_FUSE
    if (::geteuid() != 0)
        return "a fault volume is mounted in the test's own mount namespace, which needs root";
    const int fd = ::open("/dev/fuse", O_RDWR);
    if (fd < 0)
        return std::string("cannot open /dev/fuse: ") + std::strerror(errno);
    ::close(fd);
    return std::nullopt;
#else
    return "built without libfuse3 (install libfuse3-dev and fuse3, then configure again)";
#endif
}

FaultVolume::FaultVolume(const FaultPlan& plan) : FState(std::make_unique<State>()) {
    State& s = *FState;
    s.plan = plan;
    ::mkdir(s.backing.c_str(), 0755);
    ::mkdir(s.mountPoint.c_str(), 0755);
#if FV_HAVE_FUSE
    if (const auto why = Unavailable())
        throw std::runtime_error(*why);
    if (plan.capacity > 0) {
        const std::string size = "size=" + std::to_string(plan.capacity);
        if (::mount("tmpfs", s.backing.c_str(), "tmpfs", 0, size.c_str()) != 0)
            throw std::runtime_error("cannot mount a tmpfs at " + s.backing + ": " +
                                     std::strerror(errno));
        s.backingMounted = true;
    }
    // A source under /dev, as a FUSE driver of a disk shows it: the volume
    // is a drive then, which the drive tools accept by their volume.
    const char* argv[] = {"faultfs", "-o", "fsname=/dev/faultfs,subtype=faultfs"};
    fuse_args args = FUSE_ARGS_INIT(3, const_cast<char**>(argv));
    const fuse_operations ops = Operations();
    s.fuse = fuse_new(&args, &ops, sizeof ops, &s);
    fuse_opt_free_args(&args); // fuse_new copies what it keeps
    if (!s.fuse)
        throw std::runtime_error("fuse_new failed");
    if (fuse_mount(s.fuse, s.mountPoint.c_str()) != 0) {
        fuse_destroy(s.fuse);
        s.fuse = nullptr;
        throw std::runtime_error("cannot mount the fault volume at " + s.mountPoint);
    }
    s.loop = std::thread([fuse = s.fuse] { fuse_loop_mt(fuse, 0); });
    struct stat st {};
    ::stat(s.mountPoint.c_str(), &st); // answered by the loop
    s.device = st.st_dev;
#else
    throw std::runtime_error(*Unavailable());
#endif
}

FaultVolume::~FaultVolume() {
#if FV_HAVE_FUSE
    State& s = *FState;
    if (!s.fuse)
        return;
    fuse_exit(s.fuse);
    s.Unmount();
    AbortConnection(s.device);
    if (s.loop.joinable())
        s.loop.join();
    fuse_unmount(s.fuse);
    fuse_destroy(s.fuse);
#endif
}

const std::string& FaultVolume::Path() const {
    return FState->mountPoint;
}

const std::string& FaultVolume::Backing() const {
    return FState->backing;
}

void FaultVolume::SetPlan(const FaultPlan& plan) {
    std::lock_guard lock(FState->planLock);
    FState->plan = plan;
}

void FaultVolume::Vanish() {
    FState->Unmount();
}

bool FaultVolume::Vanished() const {
    return FState->vanished;
}

int FaultVolume::Writes() const {
    return FState->writes;
}

std::int64_t FaultVolume::BytesWritten() const {
    return FState->bytes;
}
