#include "tools/speedtest/SpeedTestRun.h"

#include "platform/Clock.h"
#include "platform/DriveWork.h"
#include "platform/Errors.h"
#include "util/Checks.h"
#include "util/QuillTPU.h"
#include "util/TaskScope.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <new>
#include <optional>
#include <sched.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace SpeedTest {

namespace {

constexpr std::int64_t kMegabyte = 1048576;
constexpr long double kGigabyte = 1073741824.0L;
// O_DIRECT wants buffers aligned to the sector size; a page covers them all.
constexpr std::size_t kAlignment = 4096;

struct FreeAligned {
    void operator()(std::uint8_t* block) const { std::free(block); }
};
using AlignedBlock = std::unique_ptr<std::uint8_t, FreeAligned>;

AlignedBlock NewAlignedBlock(std::size_t size) {
    void* block = std::aligned_alloc(kAlignment, size);
    if (!block)
        throw std::bad_alloc();
    return AlignedBlock(static_cast<std::uint8_t*>(block));
}

std::string FileErrorText(const char* action, const std::string& name, int code) {
    return std::string("Cannot ") + action + " file \"" + name + "\". " + Platform::ErrorText(code);
}

Platform::File OpenDirect(const std::string& path) {
    return Platform::File::Open(path, Platform::OpenMode::Read, O_DIRECT | O_NOFOLLOW);
}

// One run's state on the drive: the pinned volume, the work folder and what
// the run created there. Cleanup removes only the run's own files, and only
// on the pinned volume; it also runs when an error leaves the run.
class Session {
public:
    explicit Session(Platform::Drive chosen) : FChosen(std::move(chosen)) {}
    ~Session() {
        try {
            Cleanup();
        } catch (...) {
            // Already leaving with an error; the next run removes what stays.
        }
        if (lockFd >= 0)
            ::close(lockFd);
    }
    // The work folder, locked while the run lasts: the search for leftovers
    // of killed runs (at the start of another instance of the program)
    // leaves a locked folder alone. False when another run holds it.
    bool LockFolder(int* error) {
        lockFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (lockFd < 0 || ::flock(lockFd, LOCK_EX | LOCK_NB) != 0) {
            *error = errno;
            Unlock(); // an open folder is not a held lock
            return false;
        }
        return true;
    }
    void Unlock() {
        if (lockFd >= 0)
            ::close(lockFd);
        lockFd = -1;
    }
    int lockFd = -1;
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    std::optional<Platform::PinnedVolume> volume;
    std::string folder;   // without a trailing "/"
    std::string testFile; // folder + "/SpeedTest.bin"
    std::optional<Platform::TToolMarks> marks;

    // The drive as the user chose it; its letter only names it.
    std::string DriveName() const { return Platform::DriveName(FChosen); }

    // True while the work folder still lies on the pinned volume.
    bool OnPinnedVolume() const {
        if (!volume || !Platform::StillMounted(*volume))
            return false;
        struct stat st {};
        return ::lstat(folder.c_str(), &st) == 0 &&
               static_cast<std::uint64_t>(st.st_dev) == volume->device;
    }

    void Cleanup() {
        // Without the folder's lock the files there may be another run's.
        if (!marks || lockFd < 0)
            return;
        // Something mounted over the folder meanwhile: what we made lies
        // beneath it, marked, and the next run on that volume removes it.
        if (OnPinnedVolume())
            marks->RemoveOwn();
        marks.reset();
    }

private:
    Platform::Drive FChosen;
};

// Sends the written data on to the drive as the write goes and keeps only a
// few megabytes on their way: the flush at the end then waits for these
// alone, and a Cancel in between is seen within a second, however large
// the test and the memory. The drive's work stays inside the timing.
class Writeback {
public:
    explicit Writeback(int fd) : FFd(fd) {}
    // The bytes at offset were just written. An errno when the drive failed.
    int Written(std::int64_t offset, std::int64_t count) {
        FWritten = offset + count;
        if (!Sync(offset, count, SYNC_FILE_RANGE_WRITE))
            return FError;
        while (FWritten - FOnDrive > kInFlightBytes)
            if (const int error = WaitSome(count))
                return error;
        return 0;
    }
    // Waits until up to `count` more bytes are on the drive.
    int WaitSome(std::int64_t count) {
        const std::int64_t part = std::min(count, FWritten - FOnDrive);
        if (!Sync(FOnDrive, part,
                  SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER))
            return FError;
        FOnDrive += part;
        return 0;
    }
    bool Done() const { return FOnDrive >= FWritten; }

private:
    static constexpr std::int64_t kInFlightBytes = 16 * kMegabyte;

    bool Sync(std::int64_t offset, std::int64_t count, unsigned flags) {
        if (!FAvailable)
            return true;
        int done;
        do
            done = ::sync_file_range(FFd, offset, count, flags);
        while (done != 0 && errno == EINTR);
        if (done == 0)
            return true;
        if (errno == EINVAL || errno == ESPIPE || errno == ENOSYS || errno == EOPNOTSUPP) {
            // Not for this file system: the flush at the end does it all.
            FAvailable = false;
            FOnDrive = FWritten;
            return true;
        }
        FError = errno;
        return false;
    }

    int FFd;
    bool FAvailable = true;
    int FError = 0;
    std::int64_t FWritten = 0;
    std::int64_t FOnDrive = 0;
};

} // namespace

std::string SpeedText(std::int64_t bytes, std::uint32_t milliseconds, std::uint8_t decimals) {
    const long double mb = static_cast<long double>(bytes) / kMegabyte;
    if (milliseconds == 0)
        return '>' + QuillTPU::FormatReal(mb / 0.001L, decimals) + "MB/sec";
    return QuillTPU::FormatReal(mb / (milliseconds / 1000.0L), decimals) + "MB/sec";
}

SpeedTestRun::SpeedTestRun(QuillTPU::ITaskHost& host, ISpeedTestInputs& inputs, ISpeedLog& log)
    : FTickCount(&Platform::TickCount),
      FFreeSpace([](const Platform::Drive& drive) { return QuillTPU::VolumeFreeSpace(drive); }),
      FLabel([](const Platform::Drive& drive) { return QuillTPU::VolumeLabelText(drive, false); }),
      FOpenUnbuffered(&OpenDirect), FHost(host), FInputs(inputs), FLog(log) {}

RunOutcome SpeedTestRun::Execute() {
    QuillTPU::TaskScope task(FHost);
    FHost.ClearCancel();

    const std::optional<Platform::ChosenDrive> chosen = FInputs.Drive();
    if (!chosen) {
        QuillTPU::ShowPlainMessage(kNoDriveMessage);
        return RunOutcome::Declined;
    }
    Session session(chosen->drive);
    // The drive is fixed here by its volume, before anything else: a volume
    // mounted or gone meanwhile never redirects the run or its cleanup.
    session.volume = Platform::PinVolume(Platform::VolumeOf(chosen->drive), chosen->userFolder);

    FHost.SetStatus(kWritingStatus);
    // The log's lines come once the work folder is there, so the free space
    // they show is what is left for the test file; a failure on the way
    // writes them before its message.
    std::int64_t free = 0;
    bool logged = false;
    auto logHead = [&] {
        if (std::exchange(logged, true))
            return;
        free = session.volume ? FFreeSpace(session.volume->drive) : 0;
        FLog.AppendLine("");
        FLog.AppendLine("");
        FLog.AppendLine("Drive " + session.DriveName() + "   -   " +
                        (session.volume ? FLabel(session.volume->drive) : std::string("[]")));
        FLog.AppendLine("Free space: " + QuillTPU::FormatReal(free / kGigabyte, 2) + "GB");
        FLog.AppendLine("OS buffer: disabled");
        FLog.AppendLine("");
        // The phases block the window; the lines must be visible meanwhile.
        FHost.RepaintNow();
    };

    auto finish = [&](RunOutcome outcome) {
        session.Cleanup();
        switch (outcome) {
        case RunOutcome::Done:
        case RunOutcome::Declined:
            FHost.SetStatus(kDoneStatus);
            break;
        case RunOutcome::Canceled:
            FHost.SetStatus(QuillTPU::kCanceledStatus);
            break;
        case RunOutcome::Failed:
            FHost.SetStatus(QuillTPU::kFailedStatus);
            break;
        }
        return outcome;
    };
    auto fail = [&](const std::string& message) {
        logHead();
        QuillTPU::ShowErrorMessage(message);
        return finish(RunOutcome::Failed);
    };
    auto noSpace = [&] {
        QuillTPU::ShowWarningMessage(kNoSpaceMessage);
        return finish(RunOutcome::Declined);
    };
    const std::string drive = session.DriveName();

    // ---- Preparation --------------------------------------------------------
    if (!session.volume)
        return fail("Drive " + drive + " is not ready.");
    const std::string mountPoint = session.volume->drive.mountPoint;
    const std::optional<std::string> place = Platform::WorkingPlace(*session.volume);
    if (!place)
        return fail("Cannot write to drive " + drive + " (" + mountPoint +
                    "): there is no folder on it where you may create one." +
                    (Platform::VolumeReadOnly(*session.volume)
                         ? std::string()
                         : std::string(" ") + QuillTPU::kNoWorkingPlaceAdvice));
    session.folder = *place + kWorkFolderName;
    session.testFile = session.folder + "/" + kTestFileName;
    const std::string& folder = session.folder;
    session.marks.emplace(folder, kToolName);

    struct stat st {};
    if (::lstat(folder.c_str(), &st) == 0) {
        if (S_ISLNK(st.st_mode))
            return fail("The folder \"" + folder +
                        "\" is a symbolic link. The speed test does not follow links: remove the "
                        "link or test another drive.");
        if (!S_ISDIR(st.st_mode))
            return fail("\"" + folder +
                        "\" is a file, not a folder. The speed test needs this "
                        "name for its work folder: move the file away.");
    } else if (errno != ENOENT) {
        const int code = errno;
        return fail("Cannot use the folder \"" + folder + "\". " + Platform::ErrorText(code));
    }
    auto busy = [&](int code) {
        return fail(code == EWOULDBLOCK
                        ? "Another run is using the folder \"" + folder + "\"."
                        : "Cannot use the folder \"" + folder + "\". " + Platform::ErrorText(code));
    };
    if (::lstat(folder.c_str(), &st) == 0) {
        // The lock comes first: the files of a run that is going on are
        // marked as the speed test's too, and only a killed run's are
        // leftovers. The user's own files in a folder of this name stay.
        if (int code = 0; !session.LockFolder(&code))
            return busy(code);
        session.marks->RemoveOwn();
        if (::lstat(folder.c_str(), &st) != 0)
            session.Unlock(); // it was the tool's and is gone: made afresh below
    }
    if (::lstat(folder.c_str(), &st) != 0) {
        if (::mkdir(folder.c_str(), 0777) != 0) {
            const int code = errno;
            return fail("Cannot create the folder \"" + folder + "\". " +
                        Platform::ErrorText(code));
        }
        int code = 0;
        if (!session.marks->MarkFolder(&code)) {
            ::rmdir(folder.c_str());
            return fail("Cannot mark the folder \"" + folder + "\" as the speed test's. " +
                        session.marks->MarkErrorText(code));
        }
        if (!session.LockFolder(&code))
            return busy(code);
    }
    if (::lstat(session.testFile.c_str(), &st) == 0) {
        if (session.marks->IsOwnFile(kTestFileName))
            return fail("The test file \"" + session.testFile +
                        "\" left by an earlier run cannot be removed.");
        return fail("The file \"" + session.testFile +
                    "\" was not made by the speed test, so it stays. Move it away to test this "
                    "drive.");
    }

    logHead();

    const std::int32_t mb = FInputs.TestSizeMB();
    if (mb < 1)
        return fail("The test file size must be at least 1 MB.");
    const std::int64_t size = CheckedMul<std::int64_t>(mb, kMegabyte);
    if (size > free)
        return noSpace();

    // ---- Write phase -----------------------------------------------------------
    const std::string unmounted =
        "Drive " + drive + " (" + mountPoint + ") is no longer mounted; the test stopped.";
    if (!session.OnPinnedVolume())
        return fail(unmounted);
    FLastPump = Platform::NanoClock();
    {
        // The file is zeros: one zero block written again and again gives the
        // same file, and the same timing, as a buffer of the whole size.
        const auto blockBytes = static_cast<std::size_t>(
            std::min<std::int64_t>(size, static_cast<std::int64_t>(kWriteBlockBytes)));
        AlignedBlock block = NewAlignedBlock(blockBytes);
        std::memset(block.get(), 0, blockBytes);

        Platform::File file;
        try {
            file = Platform::File::Create(session.testFile, true, O_NOFOLLOW);
        } catch (const FileCreateError& e) {
            return fail(e.what());
        }
        int code = 0;
        if (!session.marks->MarkFile(file.Descriptor(), kTestFileName, &code)) {
            file = Platform::File();
            ::unlink(session.testFile.c_str()); // just made exclusively: ours
            return fail("Cannot mark the file \"" + session.testFile + "\" as the speed test's. " +
                        session.marks->MarkErrorText(code));
        }

        // The file's blocks, and the blocks that keep track of them, are
        // reserved before the clock starts, so the timing is the data's; a
        // volume that cannot take the file after all says so before anything
        // is timed, not halfway through.
        int reserved;
        do
            reserved = ::fallocate(file.Descriptor(), 0, 0, size);
        while (reserved != 0 && errno == EINTR);
        if (reserved != 0 && (errno == ENOSPC || errno == EDQUOT))
            return noSpace();
        if (reserved != 0 && errno != EOPNOTSUPP && errno != ENOSYS)
            return fail(FileErrorText("write", session.testFile, errno));

        Writeback writeback(file.Descriptor());
        const std::uint32_t t0 = FTickCount();
        for (std::int64_t written = 0; written < size;) {
            const auto piece = static_cast<std::size_t>(
                std::min<std::int64_t>(size - written, static_cast<std::int64_t>(blockBytes)));
            int error = 0;
            file.WriteSome(block.get(), piece, &error);
            if (error == 0)
                error = writeback.Written(written, static_cast<std::int64_t>(piece));
            if (error)
                return fail(FileErrorText("write", session.testFile, error));
            written += static_cast<std::int64_t>(piece);
            if (StopAsked())
                return finish(RunOutcome::Canceled);
        }
        // What is still on its way goes in steps, so Cancel is seen meanwhile.
        while (!writeback.Done()) {
            if (const int error = writeback.WaitSome(static_cast<std::int64_t>(blockBytes)))
                return fail(FileErrorText("write", session.testFile, error));
            if (StopAsked())
                return finish(RunOutcome::Canceled);
        }
        // The data reach the drive inside the timing: without the flush a
        // machine with memory to spare would time its memory.
        try {
            file.Flush();
        } catch (const SystemError& e) {
            return fail(FileErrorText("flush", session.testFile, e.Code()));
        }
        try {
            file.Close();
        } catch (const SystemError& e) {
            return fail(FileErrorText("close", session.testFile, e.Code()));
        }
        const std::uint32_t t1 = FTickCount();
        FLog.AppendLine("          Write speed: " + SpeedText(size, t1 - t0, 1));
    }

    FHost.PumpMessages();
    if (FHost.CancelRequested())
        return finish(RunOutcome::Canceled);

    // ---- Read phase --------------------------------------------------------------
    FHost.SetStatus(kReadingStatus);
    FHost.RepaintStatus();
    if (!session.OnPinnedVolume())
        return fail(unmounted);
    Platform::File file;
    try {
        file = FOpenUnbuffered(session.testFile);
    } catch (const FileOpenError& e) {
        if (e.Code() != EINVAL)
            return fail(e.what());
        // The file system refuses unbuffered reads: flush the file and drop
        // its cached pages, so the read still comes from the drive.
        try {
            file = Platform::File::Open(session.testFile, Platform::OpenMode::Read, O_NOFOLLOW);
            file.Flush();
        } catch (const SystemError& e2) {
            return fail(e2.what());
        }
        if (const int code = ::posix_fadvise(file.Descriptor(), 0, 0, POSIX_FADV_DONTNEED))
            return fail("Cannot read the file \"" + session.testFile +
                        "\" around the file cache. " + Platform::ErrorText(code));
    }
    std::int64_t bytes = 0;
    try {
        bytes = file.Size();
    } catch (const SystemError& e) {
        return fail(e.what());
    }
    {
        AlignedBlock chunk = NewAlignedBlock(kReadChunkBytes);
        ::sched_yield(); // start the clock on a fresh time slice
        const std::uint32_t t0 = FTickCount();
        for (std::int64_t left = bytes; left > 0;) {
            const auto piece = static_cast<std::size_t>(
                std::min<std::int64_t>(left, static_cast<std::int64_t>(kReadChunkBytes)));
            try {
                if (file.Read(chunk.get(), piece) != piece)
                    return fail("Cannot read file \"" + session.testFile +
                                "\". It ended before its size.");
            } catch (const SystemError& e) {
                return fail(FileErrorText("read", session.testFile, e.Code()));
            }
            left -= static_cast<std::int64_t>(piece);
            if (StopAsked())
                return finish(RunOutcome::Canceled);
        }
        const std::uint32_t t1 = FTickCount();
        FLog.AppendLine("          Read speed: " + SpeedText(bytes, t1 - t0, 2));
    }
    file = Platform::File();
    return finish(RunOutcome::Done);
}

bool SpeedTestRun::StopAsked() {
    // The window gets its turn a few times a second (Cancel, closing it);
    // more often would take the drive's time. A stop signal to the command
    // line is seen at once.
    const std::uint64_t now = Platform::NanoClock();
    if (now - FLastPump >= FPumpInterval) {
        FHost.PumpMessages();
        FLastPump = Platform::NanoClock();
    }
    return FHost.CancelRequested();
}

} // namespace SpeedTest
