#include "tools/speedtest/SpeedTestRun.h"

#include "platform/AlignedBlock.h"
#include "platform/Clock.h"
#include "platform/DriveWork.h"
#include "platform/Errors.h"
#include "tools/speedtest/Writeback.h"
#include "util/Checks.h"
#include "util/QuillTPU.h"
#include "util/TaskScope.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <new>
#include <optional>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

namespace SpeedTest {

namespace {

constexpr std::int64_t kMegabyte = 1048576;
constexpr long double kGigabyte = 1073741824.0L;

using Platform::AlignedBlock;
using Platform::NewAlignedBlock;

Platform::File OpenDirect(const std::string& path) {
    return Platform::File::Open(path, Platform::OpenMode::Read, O_DIRECT | O_NOFOLLOW);
}

} // namespace

long double SpeedMBps(std::int64_t bytes, std::uint32_t milliseconds) {
    // Under the clock's resolution the phase counts as 1 ms: a lower bound.
    const long double seconds = milliseconds == 0 ? 0.001L : milliseconds / 1000.0L;
    return static_cast<long double>(bytes) / kMegabyte / seconds;
}

std::string SpeedText(std::int64_t bytes, std::uint32_t milliseconds, std::uint8_t decimals) {
    std::string text = QuillTPU::FormatReal(SpeedMBps(bytes, milliseconds), decimals);
    if (milliseconds == 0)
        text.insert(0, 1, '>');
    return text.append("MB/sec");
}

SpeedTestRun::SpeedTestRun(QuillTPU::ITaskHost& host, ISpeedTestInputs& inputs, ISpeedLog& log)
    : FTickCount(&Platform::TickCount),
      FFreeSpace([](const Platform::Drive& drive) { return QuillTPU::VolumeFreeSpace(drive); }),
      FLabel([](const Platform::Drive& drive) { return QuillTPU::VolumeLabelText(drive, false); }),
      FOpenUnbuffered(&OpenDirect), FHost(host), FInputs(inputs), FLog(log) {}

SpeedTestRun::~SpeedTestRun() = default;

RunOutcome SpeedTestRun::Execute() {
    QuillTPU::TaskScope task(FHost);
    FHost.ClearCancel();
    FFigures = {};
    FLogged = false;
    FChosen = FInputs.Drive();
    if (!FChosen) {
        QuillTPU::ShowPlainMessage(kNoDriveMessage);
        return RunOutcome::Declined;
    }
    // The run's files go on every way out, an escaping error too, before
    // the task ends; the volume is let go after its work place.
    struct Release {
        SpeedTestRun& run;
        ~Release() {
            run.FWorkPlace.reset();
            run.FVolume.reset();
        }
    } release{*this};
    return Finish(Phases());
}

RunOutcome SpeedTestRun::Phases() {
    if (const RunOutcome prepared = Prepare(); prepared != RunOutcome::Done)
        return prepared;
    if (const RunOutcome written = WritePhase(); written != RunOutcome::Done)
        return written;
    FHost.PumpMessages();
    if (FHost.CancelRequested())
        return RunOutcome::Canceled;
    return ReadPhase();
}

RunOutcome SpeedTestRun::Finish(RunOutcome outcome) {
    if (FWorkPlace)
        FWorkPlace->Cleanup();
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
}

// The drive is fixed by its volume before anything else: a volume mounted
// or gone meanwhile never redirects the run or its cleanup.
RunOutcome SpeedTestRun::Prepare() {
    FVolume = Platform::PinVolume(Platform::VolumeOf(FChosen->drive), FChosen->userFolder);
    FHost.SetStatus(kWritingStatus);
    if (!FVolume)
        return Fail("Drive " + DriveName() + " is not ready.");
    const std::optional<std::string> place = Platform::WorkingPlace(*FVolume);
    if (!place)
        return Fail("Cannot write to drive " + DriveName() + " (" + FVolume->drive.mountPoint +
                    "): there is no folder on it where you may create one." +
                    (Platform::VolumeReadOnly(*FVolume)
                         ? std::string()
                         : std::string(" ") + QuillTPU::kNoWorkingPlaceAdvice));
    FWorkPlace.emplace(*FVolume, *place, kToolFolder);
    FTestFile = FWorkPlace->PathOf(kTestFileName);
    if (const RunOutcome taken = TakeWorkPlace(); taken != RunOutcome::Done)
        return taken;

    LogHead();
    const std::int32_t mb = FInputs.TestSizeMB();
    if (mb < 1)
        return Fail("The test file size must be at least 1 MB.");
    FSize = CheckedMul<std::int64_t>(mb, kMegabyte);
    if (FSize > FFree)
        return NoSpace();
    return RunOutcome::Done;
}

// The work folder, locked for the run, with no test file in it: the user's
// own files in a folder of that name stay, and so does a file of the test's
// name that the test did not make.
RunOutcome SpeedTestRun::TakeWorkPlace() {
    using Kind = Platform::WorkError::Kind;
    const std::string& folder = FWorkPlace->Folder();
    const Platform::WorkError error = FWorkPlace->Take();
    switch (error.kind) {
    case Kind::None:
        break;
    case Kind::Link:
        return Fail("The folder \"" + folder +
                    "\" is a symbolic link. The speed test does not follow links: remove the "
                    "link or test another drive.");
    case Kind::NotFolder:
        return Fail("\"" + folder +
                    "\" is a file, not a folder. The speed test needs this name for its work "
                    "folder: move the file away.");
    case Kind::Busy:
        return Fail("Another run is using the folder \"" + folder + "\".");
    case Kind::Create:
        return Fail("Cannot create the folder \"" + folder + "\". " +
                    Platform::ErrorText(error.code));
    case Kind::MarkFolder:
        return Fail("Cannot mark the folder \"" + folder + "\" as the speed test's. " +
                    FWorkPlace->Marks().MarkErrorText(error.code));
    case Kind::NotOnVolume:
        return Fail(UnmountedText());
    default:
        return Fail("Cannot use the folder \"" + folder + "\". " + Platform::ErrorText(error.code));
    }
    struct stat st {};
    if (::lstat(FTestFile.c_str(), &st) != 0)
        return RunOutcome::Done;
    if (FWorkPlace->Marks().IsOwnFile(kTestFileName))
        return Fail("The test file \"" + FTestFile +
                    "\" left by an earlier run cannot be removed.");
    return Fail("The file \"" + FTestFile +
                "\" was not made by the speed test, so it stays. Move it away to test this drive.");
}

// The log's lines come once the work folder is there, so the free space
// they show is what is left for the test file; a failure on the way writes
// them before its message.
void SpeedTestRun::LogHead() {
    if (std::exchange(FLogged, true))
        return;
    FFree = FVolume ? FFreeSpace(FVolume->drive) : 0;
    FLog.AppendLine("");
    FLog.AppendLine("");
    FLog.AppendLine("Drive " + DriveName() + "   -   " +
                    (FVolume ? FLabel(FVolume->drive) : std::string("[]")));
    FLog.AppendLine("Free space: " + QuillTPU::FormatReal(FFree / kGigabyte, 2) + "GB");
    FLog.AppendLine("OS buffer: disabled");
    FLog.AppendLine("");
    // The phases block the window; the lines must be visible meanwhile.
    FHost.RepaintNow();
}

RunOutcome SpeedTestRun::WritePhase() {
    if (!FWorkPlace->OnPinnedVolume())
        return Fail(UnmountedText());
    FLastPump = Platform::NanoClock();
    // The file is zeros: one zero block written again and again gives the
    // same file, and the same timing, as a buffer of the whole size.
    const auto blockBytes = static_cast<std::size_t>(
        std::min<std::int64_t>(FSize, static_cast<std::int64_t>(kWriteBlockBytes)));
    AlignedBlock block = NewAlignedBlock(blockBytes);
    std::memset(block.get(), 0, blockBytes);

    Platform::WorkError error;
    Platform::UniqueFd file = FWorkPlace->CreateFile(kTestFileName, O_WRONLY, &error);
    if (error.kind == Platform::WorkError::Kind::MarkFile)
        return Fail("Cannot mark the file \"" + FTestFile + "\" as the speed test's. " +
                    FWorkPlace->Marks().MarkErrorText(error.code));
    if (!file)
        return FileFailure("create", error.code);
    if (const RunOutcome reserved = Reserve(file.Get()); reserved != RunOutcome::Done)
        return reserved;

    const std::uint32_t t0 = FTickCount();
    if (const RunOutcome written = WriteBlocks(file.Get(), block.get(), blockBytes);
        written != RunOutcome::Done)
        return written;
    // The data reach the drive inside the timing: without the flush a
    // machine with memory to spare would time its memory.
    if (::fsync(file.Get()) != 0 && errno != EINVAL && errno != EROFS)
        return FileFailure("flush", errno);
    // Linux releases the descriptor even when close fails: no retry.
    if (const int code = file.Close(); code != 0 && code != EINTR)
        return FileFailure("close", code);
    const std::uint32_t t1 = FTickCount();
    FFigures.write = PhaseFigure{FSize, t1 - t0};
    FLog.AppendLine("          Write speed: " + SpeedText(FSize, t1 - t0, 1));
    return RunOutcome::Done;
}

// The file's blocks, and the blocks that keep track of them, are reserved
// before the clock starts, so the timing is the data's; a volume that
// cannot take the file after all says so before anything is timed, not
// halfway through.
RunOutcome SpeedTestRun::Reserve(int fd) {
    const int code = Platform::ReserveBlocks(fd, FSize);
    if (code == 0 || code == EOPNOTSUPP)
        return RunOutcome::Done;
    if (code == ENOSPC || code == EDQUOT)
        return NoSpace();
    return FileFailure("write", code);
}

RunOutcome SpeedTestRun::WriteBlocks(int fd, const std::uint8_t* block, std::size_t blockBytes) {
    Writeback writeback(fd);
    for (std::int64_t written = 0; written < FSize;) {
        const auto piece = static_cast<std::size_t>(
            std::min<std::int64_t>(FSize - written, static_cast<std::int64_t>(blockBytes)));
        int error = 0;
        Platform::WriteAll(fd, block, piece, &error);
        if (error == 0)
            error = writeback.Written(written, static_cast<std::int64_t>(piece));
        if (error)
            return FileFailure("write", error);
        written += static_cast<std::int64_t>(piece);
        if (StopAsked())
            return RunOutcome::Canceled;
    }
    // What is still on its way goes in steps, so Cancel is seen meanwhile.
    while (!writeback.Done()) {
        if (const int error = writeback.WaitSome(static_cast<std::int64_t>(blockBytes)))
            return FileFailure("write", error);
        if (StopAsked())
            return RunOutcome::Canceled;
    }
    return RunOutcome::Done;
}

RunOutcome SpeedTestRun::ReadPhase() {
    FHost.SetStatus(kReadingStatus);
    FHost.RepaintStatus();
    if (!FWorkPlace->OnPinnedVolume())
        return Fail(UnmountedText());
    Platform::File file;
    if (const RunOutcome opened = OpenForReading(file); opened != RunOutcome::Done)
        return opened;
    std::int64_t bytes = 0;
    try {
        bytes = file.Size();
    } catch (const SystemError& e) {
        return Fail(e.what());
    }
    AlignedBlock chunk = NewAlignedBlock(kReadChunkBytes);
    ::sched_yield(); // start the clock on a fresh time slice
    const std::uint32_t t0 = FTickCount();
    for (std::int64_t left = bytes; left > 0;) {
        const auto piece = static_cast<std::size_t>(
            std::min<std::int64_t>(left, static_cast<std::int64_t>(kReadChunkBytes)));
        try {
            if (file.Read(chunk.get(), piece) != piece)
                return Fail("Cannot read file \"" + FTestFile + "\". It ended before its size.");
        } catch (const SystemError& e) {
            return FileFailure("read", e.Code());
        }
        left -= static_cast<std::int64_t>(piece);
        if (StopAsked())
            return RunOutcome::Canceled;
    }
    const std::uint32_t t1 = FTickCount();
    FFigures.read = PhaseFigure{bytes, t1 - t0};
    FLog.AppendLine("          Read speed: " + SpeedText(bytes, t1 - t0, 2));
    return RunOutcome::Done;
}

// Around the file cache: unbuffered where the file system allows it;
// elsewhere the file is flushed and its cached pages dropped, so the read
// still comes from the drive.
RunOutcome SpeedTestRun::OpenForReading(Platform::File& file) {
    try {
        file = FOpenUnbuffered(FTestFile);
        return RunOutcome::Done;
    } catch (const FileOpenError& e) {
        if (e.Code() != EINVAL)
            return Fail(e.what());
    }
    try {
        file = Platform::File::Open(FTestFile, Platform::OpenMode::Read, O_NOFOLLOW);
        file.Flush();
    } catch (const SystemError& e) {
        return Fail(e.what());
    }
    if (const int code = ::posix_fadvise(file.Descriptor(), 0, 0, POSIX_FADV_DONTNEED))
        return Fail("Cannot read the file \"" + FTestFile + "\" around the file cache. " +
                    Platform::ErrorText(code));
    return RunOutcome::Done;
}

RunOutcome SpeedTestRun::Fail(const std::string& message) {
    LogHead();
    QuillTPU::ShowErrorMessage(message);
    return RunOutcome::Failed;
}

RunOutcome SpeedTestRun::FileFailure(const char* action, int code) {
    return Fail(Platform::FileErrorText(action, FTestFile, code));
}

RunOutcome SpeedTestRun::NoSpace() {
    QuillTPU::ShowWarningMessage(kNoSpaceMessage);
    return RunOutcome::Declined;
}

std::string SpeedTestRun::DriveName() const {
    // The drive as the user chose it; its letter only names it.
    return Platform::DriveName(FChosen->drive);
}

std::string SpeedTestRun::UnmountedText() const {
    return "Drive " + DriveName() + " (" + FVolume->drive.mountPoint +
           ") is no longer mounted; the test stopped.";
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
