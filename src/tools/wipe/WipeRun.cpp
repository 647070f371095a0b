#include "tools/wipe/WipeRun.h"

#include "platform/Clock.h"
#include "platform/DriveWork.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/WorkPlace.h"
#include "tools/wipe/MemoryLimit.h"
#include "tools/wipe/WipeFolder.h"
#include "util/QuillTPU.h"
#include "util/TaskScope.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace Wipe {

namespace {

constexpr std::int64_t kMegabyte = 1048576;
// A pass ends after the first round that began with less than this free.
constexpr std::int64_t kMinimumFree = 1024;
// Rounds in a row whose free space did not shrink before the run gives up:
// such a volume takes the files without giving up its free space
// (deduplication, say), and the rounds would never end.
constexpr int kStallRounds = 8;
// Names in a row taken by files that are not the run's before it gives up.
constexpr int kMaxTakenNames = 10000;

// A full volume (or quota) ends a pass; it is no failure.
bool VolumeFull(int error) {
    return error == ENOSPC || error == EDQUOT;
}

} // namespace

struct WipeRun::Volume {
    Platform::PinnedVolume pinned;
};

WipeRun::WipeRun(QuillTPU::ITaskHost& host, IWipeInputs& inputs)
    : FHost(host), FInputs(inputs), FTickCount(&Platform::TickCount),
      FMemory([] { return AvailableMemory(); }) {}

WipeRun::~WipeRun() {
    CloseFile();
    DropVolume();
}

// The work place lets go of its folder first; then the volume may be
// unmounted again.
void WipeRun::DropVolume() {
    FWorkPlace.reset();
    FVolume.reset();
}

RunOutcome WipeRun::Execute() {
    QuillTPU::TaskScope scope(FHost);
    FScope = &scope;
    try {
        const RunOutcome outcome = Run();
        FScope = nullptr;
        DropVolume();
        return outcome;
    } catch (...) {
        // Whatever went wrong, the fill must not stay on the disk, and the
        // task ends before the error is shown.
        CloseFile();
        RemoveOwnFiles();
        if (scope.Open()) {
            FHost.SetStatus(QuillTPU::kFailedStatus);
            scope.End();
        }
        FScope = nullptr;
        DropVolume();
        throw;
    }
}

RunOutcome WipeRun::Run() {
    FHost.RepaintNow();
    FHost.ClearCancel();
    FFolder.clear();
    FCounter = 0;
    FBytesPerPass.clear();
    if (const RunOutcome checked = CheckVolume(); checked != RunOutcome::Done)
        return checked;
    RemoveLeftovers();
    if (const RunOutcome checked = CheckMemory(); checked != RunOutcome::Done)
        return checked;
    if (!TakeWorkFolder())
        return Decline({});
    PreparePattern();

    const std::int32_t passes = FInputs.Passes();
    for (std::int32_t pass = 1; pass <= passes; ++pass) {
        // The previous pass removed the folder it created.
        if (pass > 1 && !TakeWorkFolder()) {
            FHost.SetStatus(QuillTPU::kFailedStatus);
            FScope->End();
            return RunOutcome::Failed;
        }
        if (const RunOutcome outcome = WipePass(pass); outcome != RunOutcome::Done)
            return outcome;
        RemoveOwnFiles();
    }
    RemoveOwnFiles(); // the folder, when no pass ran
    FHost.SetStatus(kDoneStatus);
    FScope->End();
    return RunOutcome::Done;
}

// The run keeps to the chosen volume from here on, whatever is mounted
// meanwhile; a volume gone or replaced since it was chosen is not ready.
RunOutcome WipeRun::CheckVolume() {
    const std::optional<Platform::ChosenDrive> chosen = FInputs.Drive();
    if (!chosen)
        return Decline(kNotReadyMessage);
    auto pinned = Platform::PinVolume(Platform::VolumeOf(chosen->drive), chosen->userFolder);
    if (!pinned || !Platform::VolumeAccessible(pinned->drive) ||
        !Platform::VolumeSpace(pinned->drive))
        return Decline(kNotReadyMessage);
    FVolume = std::make_unique<Volume>(Volume{std::move(*pinned)});
    const Platform::PinnedVolume& volume = FVolume->pinned;
    // The probe and the work folder go where the run may write on that
    // volume; a volume without such a place takes no file at all.
    const auto place = Platform::WorkingPlace(volume);
    if (!place || Platform::ProbeWriteProtected(*place)) {
        // A volume that takes writes, only none of the user's: say what he can do.
        if (!place && !Platform::VolumeReadOnly(volume))
            return Decline(std::string(kWriteProtectedMessage) + "\r\n" + kNoWorkingPlaceMessage +
                           " " + QuillTPU::kNoWorkingPlaceAdvice);
        return Decline(kWriteProtectedMessage);
    }
    FWorkPlace = std::make_unique<Platform::WorkPlace>(volume, *place, kToolFolder);
    FFolder = Platform::WithTrailingSlash(FWorkPlace->Folder());
    return RunOutcome::Done;
}

// An earlier wipe killed hard may have left the disk full.
void WipeRun::RemoveLeftovers() {
    // Before the free space is read: they may be most of what is taken.
    if (const auto removed = Platform::RemoveLeftoversIn(FWorkPlace->Folder(), kToolFolder,
                                                         [this] { FHost.PumpPaint(); })) {
        FHost.SetStatus(QuillTPU::LeftoverStatus({*removed}));
        FHost.RepaintStatus();
    }
}

// The pattern is as long as a file of the first round: the buffer size,
// or the free space when that is less.
RunOutcome WipeRun::CheckMemory() {
    int error = 0;
    const auto freeBytes = FreeBytes(&error);
    if (!freeBytes)
        return Fail(FreeSpaceErrorText(error));
    FPatternLength = std::max<std::int64_t>(std::min(BufferMB() * kMegabyte, *freeBytes), 0);
    // Linux grants a buffer it cannot back and kills the program once the
    // pattern is written into it: ask before anything is allocated.
    if (const auto memory = FMemory(); memory && FPatternLength > *memory)
        return Decline("The wipe needs " + QuillTPU::FormatSize(FPatternLength) +
                       " of memory for its pattern, but only " + QuillTPU::FormatSize(*memory) +
                       " are available.\r\nPlease choose a smaller buffer size on "
                       "the Settings tab.");
    return RunOutcome::Done;
}

void WipeRun::PreparePattern() {
    FPattern = std::make_unique_for_overwrite<std::uint8_t[]>(
        static_cast<std::size_t>(std::max<std::int64_t>(FPatternLength, 1)));
    QuillTPU::FillRandom255(FPattern.get(), static_cast<std::size_t>(FPatternLength));
}

// Rounds until the volume is full; a volume whose free space does not
// shrink stops the run instead of taking files for ever.
RunOutcome WipeRun::WipePass(std::int32_t pass) {
    std::int64_t& written = FBytesPerPass.emplace_back(0);
    std::optional<std::int64_t> previous;
    int stalled = 0;
    for (;;) {
        int error = 0;
        const auto free = FreeBytes(&error);
        if (!free)
            return Fail(FreeSpaceErrorText(error));
        if (*free <= 0)
            return RunOutcome::Done;
        stalled = previous && *free >= *previous ? stalled + 1 : 0;
        if (stalled >= kStallRounds)
            return Fail("The free space of \"" + FVolume->pinned.drive.mountPoint +
                        "\" does not shrink: " + QuillTPU::FormatSize(*free) +
                        " are still free after \"" + FilePath() +
                        "\" and the files before it were written.");
        previous = free;
        const Round round = WriteRound(pass, written, *free);
        if (round == Round::Canceled)
            return RunOutcome::Canceled;
        if (round == Round::Failed)
            return RunOutcome::Failed;
        if (round == Round::PassEnds || *free < kMinimumFree)
            return RunOutcome::Done;
    }
}

// The folder is taken afresh for every pass, as the pass before removed
// it with its files. A folder that cannot be marked is still the run's and
// goes at the end when empty.
bool WipeRun::TakeWorkFolder() {
    const Platform::WorkError error =
        FWorkPlace->Take([this] { FHost.PumpPaint(); }, Platform::FolderMark::BestEffort);
    if (!error)
        return true;
    using Kind = Platform::WorkError::Kind;
    const std::string& path = FWorkPlace->Folder();
    switch (error.kind) {
    case Kind::NotOnVolume:
        // Another volume took the place since the run pinned its own.
        QuillTPU::ShowErrorMessage(kNotReadyMessage);
        return false;
    case Kind::Link:
    case Kind::NotFolder:
        QuillTPU::ShowErrorMessage("\"" + path +
                                   "\" is a link or a file, not a folder. The wipe writes only "
                                   "into a folder of its own.");
        break;
    case Kind::Busy:
        QuillTPU::ShowErrorMessage("Another wipe is using \"" + path + "\".");
        break;
    case Kind::Create:
        QuillTPU::ShowErrorMessage(QuillTPU::FolderCreateErrorText(FFolder, error.code));
        break;
    default:
        QuillTPU::ShowErrorMessage("Cannot open folder \"" + path + "\". " +
                                   Platform::ErrorText(error.code));
    }
    QuillTPU::ShowErrorMessage(kCannotWriteMessage);
    return false;
}

WipeRun::Round WipeRun::WriteRound(std::int32_t pass, std::int64_t& written,
                                   std::int64_t freeBytes) {
    const std::int64_t length = std::min({BufferMB() * kMegabyte, freeBytes, FPatternLength});
    if (length <= 0)
        return Round::PassEnds; // a volume that was full when the pattern was made
    const std::uint32_t t0 = FTickCount();
    if (const Round created = CreateFile(freeBytes); created != Round::Next)
        return created;
    std::int64_t done = 0;
    if (const Round filled = FillFile(length, done); filled != Round::Next)
        return filled;
    // What went to the volume, not the buffer size: the last file of a pass
    // is shorter, and a buffer larger than the free space is never filled.
    written += done;
    FHost.PumpMessages();
    if (FHost.CancelRequested())
        return CancelRound();
    ShowProgress(pass, written, freeBytes, done, t0);
    if (const Round closed = FinishFile(); closed != Round::Next)
        return closed;
    // Not a byte went: the volume takes nothing more.
    return done == 0 ? Round::PassEnds : Round::Next;
}

// Only a new file is ever written: a name that is taken, by a user's file
// or a link, is skipped. The work place marks it as the wipe's, and removes
// it again when it cannot.
WipeRun::Round WipeRun::CreateFile(std::int64_t freeBytes) {
    Platform::WorkError error;
    for (int taken = 0;; ++taken) {
        ++FCounter;
        FFileName = std::to_string(FCounter);
        FFile = FWorkPlace->CreateFile(FFileName, O_WRONLY, &error);
        if (FFile)
            return Round::Next;
        if (error.kind != Platform::WorkError::Kind::Create || error.code != EEXIST ||
            taken >= kMaxTakenNames)
            break;
    }
    if (error.kind == Platform::WorkError::Kind::MarkFile) {
        if (VolumeFull(error.code))
            return Round::PassEnds;
        return FailRound("Cannot mark file \"" + FilePath() + "\" as the wipe's own. " +
                         FWorkPlace->Marks().MarkErrorText(error.code));
    }
    if (!VolumeFull(error.code))
        return FailRound(Platform::FileErrorText("create", FilePath(), error.code));
    // Not even a new file fits: the space is taken, unless the volume ran
    // out of files (a fixed number of inodes, all used) with room left,
    // which must not pass for a finished wipe.
    if (OutOfFiles() && freeBytes >= kMegabyte)
        return FailRound("No more files can be created on the drive (it has no free "
                         "file entries left), so " +
                         QuillTPU::FormatSize(freeBytes) +
                         " of its free space could not be wiped.");
    return Round::PassEnds;
}

// One write of the pattern (the system may take it in parts), flushed: a
// full volume ends the round with what went.
WipeRun::Round WipeRun::FillFile(std::int64_t length, std::int64_t& done) {
    int error = 0;
    done = static_cast<std::int64_t>(
        Platform::WriteAll(FFile.Get(), FPattern.get(), static_cast<std::size_t>(length), &error));
    if (error != 0 && !VolumeFull(error))
        return FailRound(Platform::FileErrorText("write", FilePath(), error));
    // Through the file cache alone, the fill might never reach the disk
    // before it is deleted; flushing belongs to the round and its speed.
    if (::fdatasync(FFile.Get()) != 0) {
        error = errno;
        if (error != EINVAL && !VolumeFull(error))
            return FailRound(Platform::FileErrorText("write", FilePath(), error));
    }
    return Round::Next;
}

// The close of a written file can still report a failed write-back.
WipeRun::Round WipeRun::FinishFile() {
    if (const int error = FFile.Close(); error != 0 && error != EINTR && !VolumeFull(error))
        return FailRound(Platform::FileErrorText("close", FilePath(), error));
    return Round::Next;
}

WipeRun::Round WipeRun::CancelRound() {
    CloseFile();
    FScope->End();
    FHost.SetStatus(QuillTPU::kCanceledStatus);
    RemoveOwnFiles();
    return Round::Canceled;
}

void WipeRun::ShowProgress(std::int32_t pass, std::int64_t written, std::int64_t freeBytes,
                           std::int64_t done, std::uint32_t t0) {
    // A round within one tick counts as one millisecond.
    const std::uint32_t elapsed = std::max<std::uint32_t>(FTickCount() - t0, 1);
    const long double speed = static_cast<long double>(done) / kMegabyte / (elapsed / 1000.0L);
    FHost.SetStatus("Pass: " + QuillTPU::FormatInteger(pass) + "    -    " +
                    QuillTPU::FormatInteger(written / kMegabyte) + " of " +
                    QuillTPU::FormatInteger(freeBytes / kMegabyte) +
                    ".  Speed: " + QuillTPU::FormatReal(speed, 1) + "MB/sec");
    FHost.RepaintStatus();
}

bool WipeRun::OutOfFiles() const {
    struct statvfs volume {};
    if (::fstatvfs(FWorkPlace->Descriptor(), &volume) != 0 || volume.f_files == 0)
        return false; // unknown, or inodes made as needed (btrfs)
    return (::geteuid() == 0 ? volume.f_ffree : volume.f_favail) == 0;
}

std::optional<std::int64_t> WipeRun::FreeBytes(int* error) {
    if (FFreeSpace)
        return FFreeSpace(error);
    // A volume unmounted, or another mounted over it, is not the run's.
    if (!Platform::StillMounted(FVolume->pinned)) {
        *error = ENODEV;
        return std::nullopt;
    }
    const auto space = Platform::VolumeSpace(FVolume->pinned.drive, error);
    if (!space)
        return std::nullopt;
    // Root's wipe fills the blocks kept for root as well: deleted data there
    // would stay readable otherwise.
    if (::geteuid() == 0)
        return std::max(space->freeBytes, space->freeBytesForRoot);
    return space->freeBytes;
}

std::string WipeRun::FreeSpaceErrorText(int error) const {
    return "Cannot read the free space of \"" + FVolume->pinned.drive.mountPoint + "\". " +
           Platform::ErrorText(error);
}

std::int64_t WipeRun::BufferMB() {
    return std::max<std::int64_t>(FInputs.BufferSizeMB(), 1);
}

RunOutcome WipeRun::Decline(const std::string& message) {
    if (!message.empty())
        QuillTPU::ShowErrorMessage(message);
    FScope->End();
    return RunOutcome::Declined;
}

WipeRun::Round WipeRun::FailRound(const std::string& message) {
    Fail(message);
    return Round::Failed;
}

RunOutcome WipeRun::Fail(const std::string& message) {
    CloseFile();
    RemoveOwnFiles();
    FHost.SetStatus(QuillTPU::kFailedStatus);
    FScope->End();
    QuillTPU::ShowErrorMessage(message);
    return RunOutcome::Failed;
}

// Quietly: only a file whose fill went is closed with its check.
void WipeRun::CloseFile() {
    FFile.Close();
}

// The files of the pass, and the folder when the run made it and it is
// empty: a pass of a small buffer leaves tens of thousands of files.
void WipeRun::RemoveOwnFiles() {
    if (FWorkPlace)
        FWorkPlace->Cleanup([this] { FHost.PumpPaint(); });
}

} // namespace Wipe
