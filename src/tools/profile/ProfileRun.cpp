#include "tools/profile/ProfileRun.h"

#include "platform/AlignedBlock.h"
#include "platform/Clock.h"
#include "platform/DriveWork.h"
#include "platform/Errors.h"
#include "platform/File.h"
#include "platform/UniqueFd.h"
#include "tools/speedtest/SpeedTestRun.h"
#include "util/Checks.h"
#include "util/QuillTPU.h"
#include "util/Random.h"
#include "util/TaskScope.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <optional>

#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace Profile {

namespace {

constexpr std::int64_t kMegabyte = 1048576;
constexpr std::size_t kSeqBlock = 1048576;
constexpr std::size_t kRandBlock = 4096;
constexpr unsigned kMaxDepth = 32;
// The longest wait for a completion: Cancel is seen well within half a second.
constexpr std::uint64_t kReapTimeoutNs = 50'000'000;
// How long the requests still in flight are waited for after a pass.
constexpr std::uint64_t kGiveUpNs = 10ull * 1000 * 1000 * 1000;

using Platform::AlignedBlock;
using Platform::NewAlignedBlock;

// Offsets of the random figures: a small generator of our own, so the fill
// of the write buffers and the offsets do not step one sequence.
class OffsetSequence {
public:
    explicit OffsetSequence(std::uint64_t seed) : FState(seed | 1) {}
    std::uint64_t Next() {
        FState ^= FState << 13;
        FState ^= FState >> 7;
        FState ^= FState << 17;
        return FState;
    }

private:
    std::uint64_t FState;
};

std::string Fixed(double value, int width, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%*.*f", width, decimals, value);
    return text;
}

} // namespace

const std::array<Figure, 8>& Figures() {
    static const std::array<Figure, 8> figures{{
        {false, false, kSeqBlock, 8},
        {false, false, kSeqBlock, 1},
        {true, false, kRandBlock, 32},
        {true, false, kRandBlock, 1},
        {false, true, kSeqBlock, 8},
        {false, true, kSeqBlock, 1},
        {true, true, kRandBlock, 32},
        {true, true, kRandBlock, 1},
    }};
    return figures;
}

std::string FigureName(const Figure& figure) {
    const std::string block = figure.blockSize >= static_cast<std::size_t>(kMegabyte)
                                  ? std::to_string(figure.blockSize / kMegabyte) + " MiB"
                                  : std::to_string(figure.blockSize / 1024) + " KiB";
    return std::string(figure.random ? "Random " : "Sequential ") + block + " Q" +
           std::to_string(figure.queueDepth) + (figure.write ? " write" : " read");
}

// ---- Latencies ---------------------------------------------------------------

namespace {
constexpr unsigned kSubBits = 6; // 64 buckets per power of two
constexpr std::uint64_t kLinear = 2u << kSubBits;
constexpr std::size_t kBucketCount = kLinear + (64 - kSubBits - 1) * (1u << kSubBits);
} // namespace

LatencyHistogram::LatencyHistogram() : FBuckets(kBucketCount, 0) {}

std::size_t LatencyHistogram::Bucket(std::uint64_t value) {
    if (value < kLinear)
        return static_cast<std::size_t>(value);
    const unsigned exponent = 63u - static_cast<unsigned>(std::countl_zero(value));
    const unsigned shift = exponent - kSubBits;
    const std::uint64_t sub = (value >> shift) - (1u << kSubBits);
    return static_cast<std::size_t>(kLinear + (exponent - kSubBits - 1) * (1u << kSubBits) + sub);
}

double LatencyHistogram::Middle(std::size_t bucket) {
    if (bucket < kLinear)
        return static_cast<double>(bucket);
    const std::size_t above = bucket - kLinear;
    const unsigned shift = static_cast<unsigned>(above >> kSubBits) + 1;
    const std::uint64_t low = ((1u << kSubBits) + (above & ((1u << kSubBits) - 1))) << shift;
    return static_cast<double>(low) + static_cast<double>(std::uint64_t{1} << shift) / 2;
}

void LatencyHistogram::Add(std::uint64_t nanoseconds) {
    ++FBuckets[Bucket(nanoseconds)];
    ++FCount;
    FSum += nanoseconds;
}

double LatencyHistogram::MeanNs() const {
    return FCount ? static_cast<double>(FSum / FCount) : 0.0;
}

double LatencyHistogram::QuantileNs(double q) const {
    if (FCount == 0)
        return 0;
    const auto rank = static_cast<std::uint64_t>(std::ceil(q * static_cast<double>(FCount)));
    std::uint64_t seen = 0;
    for (std::size_t bucket = 0; bucket < FBuckets.size(); ++bucket) {
        seen += FBuckets[bucket];
        if (seen >= rank && FBuckets[bucket] != 0)
            return Middle(bucket);
    }
    return Middle(FBuckets.size() - 1);
}

// ---- The run -------------------------------------------------------------------

// One pass of requests: a figure, or the fill of the test file, with the
// requests it has in flight.
struct ProfileRun::Pass {
    Pass(const Figure& taken, int file, std::int64_t size, bool isTimed, std::uint64_t seed)
        : figure(taken), fd(file), fileSize(size), timed(isTimed),
          blocks(static_cast<std::uint64_t>(size) / taken.blockSize),
          buffers(NewAlignedBlock(taken.blockSize * taken.queueDepth)), sentAt(taken.queueDepth, 0),
          offsets(seed) {}

    // The next request's offset; -1 when the fill has sent the whole file.
    std::int64_t NextOffset() {
        const std::size_t block = figure.blockSize;
        if (figure.random)
            return static_cast<std::int64_t>((offsets.Next() % blocks) * block);
        if (!timed && nextBlock >= blocks)
            return -1;
        const std::uint64_t at = nextBlock++ % blocks;
        return static_cast<std::int64_t>(at * block);
    }
    // The window's length: a figure whose requests all outlast the time
    // waits for its first one, and takes the longer time.
    std::uint64_t MeasuredNs() const { return std::max(stopAt, lastCounted) - countFrom; }

    Figure figure;
    int fd;
    std::int64_t fileSize;
    bool timed;                  // a figure; else the fill: the file once, untimed
    std::uint64_t blocks;        // whole blocks in the file
    std::uint64_t countFrom = 0; // completions from here on count
    std::uint64_t stopAt = 0;    // nothing new is sent from here on
    LatencyHistogram latencies;
    std::uint64_t counted = 0;
    std::uint64_t lastCounted = 0;
    // The one buffer of the pass: a block per request in flight.
    AlignedBlock buffers;
    std::vector<std::uint64_t> sentAt;
    OffsetSequence offsets;
    std::uint64_t nextBlock = 0;
    unsigned inFlight = 0;
    RunOutcome outcome = RunOutcome::Done;
    bool stopping = false; // nothing new goes out; what is in flight comes back
    bool first = true;     // no request has come back whole yet
};

ProfileRun::ProfileRun(QuillTPU::ITaskHost& host, IProfileInputs& inputs)
    : FHost(host), FInputs(inputs), FClock(&Platform::NanoClock) {}

RunOutcome ProfileRun::Execute() {
    QuillTPU::TaskScope task(FHost);
    FHost.ClearCancel();
    FResults.clear();
    FFillNs = FFillBytes = 0;
    FEngine.reset();
    FEngineName.clear();
    FLastPump = FClock();

    std::optional<Platform::PinnedVolume> volume;
    RunOutcome outcome = PinDrive(volume);
    if (outcome == RunOutcome::Done) {
        // The volume outlives its work place, and the file is closed before
        // the folder is cleaned, however the run ends.
        Platform::WorkPlace work(*volume, FPlace, SpeedTest::kToolFolder);
        Platform::UniqueFd direct;
        outcome = Prepare(work, direct);
        if (outcome == RunOutcome::Done)
            outcome = FillTestFile(direct.Get(), work.PathOf(kTestFileName));
        if (outcome == RunOutcome::Done)
            outcome = TakeFigures(direct.Get());
        direct = Platform::UniqueFd();
        work.Cleanup();
    }
    FHost.SetStatus(outcome == RunOutcome::Canceled ? QuillTPU::kCanceledStatus
                    : outcome == RunOutcome::Failed ? QuillTPU::kFailedStatus
                                                    : SpeedTest::kDoneStatus);
    return outcome;
}

// The chosen drive, pinned by its volume until the run is over, and the
// folder on it where the run may work.
RunOutcome ProfileRun::PinDrive(std::optional<Platform::PinnedVolume>& volume) {
    FDrive = FInputs.DriveName();
    const std::optional<Platform::ChosenDrive> chosen = FInputs.Drive();
    if (!chosen) {
        QuillTPU::ShowPlainMessage(SpeedTest::kNoDriveMessage);
        return RunOutcome::Declined;
    }
    volume = Platform::PinVolume(Platform::VolumeOf(chosen->drive), chosen->userFolder);
    const std::optional<std::string> place =
        volume ? Platform::WorkingPlace(*volume) : std::nullopt;
    if (!place)
        return Fail(FDrive + " is not ready.");
    FPlace = *place;
    return RunOutcome::Done;
}

// The work folder taken, the test file made and opened for direct I/O, its
// room reserved and an engine to drive it: nothing is measured before all
// stand.
RunOutcome ProfileRun::Prepare(Platform::WorkPlace& work, Platform::UniqueFd& direct) {
    if (const Platform::WorkError error = work.Take())
        return Fail(WorkFailure(work, error));
    const std::int32_t mb = FInputs.TestSizeMB();
    if (mb < 1)
        return Fail("The test file size must be at least 1 MB.");
    FFileSize = CheckedMul<std::int64_t>(mb, kMegabyte);
    const std::string file = work.PathOf(kTestFileName);
    RunOutcome outcome = CreateTestFile(work);
    if (outcome == RunOutcome::Done)
        outcome = OpenDirect(file, direct);
    if (outcome == RunOutcome::Done)
        outcome = ReserveRoom(direct.Get(), file);
    if (outcome != RunOutcome::Done)
        return outcome;
    std::string why;
    FEngine = OpenEngine(FChoice, kMaxDepth, &why);
    if (!FEngine)
        return Fail(why);
    FEngineName = FEngine->Name();
    return RunOutcome::Done;
}

// Made with ordinary I/O and marked first: a file system that refuses
// direct I/O may still create the file before it refuses. The leftovers of
// a killed run are gone by now, so a file of this name is the user's.
RunOutcome ProfileRun::CreateTestFile(Platform::WorkPlace& work) {
    const std::string path = work.PathOf(kTestFileName);
    Platform::WorkError error;
    Platform::UniqueFd file = work.CreateFile(kTestFileName, O_WRONLY, &error);
    if (error.kind == Platform::WorkError::Kind::Create && error.code == EEXIST)
        return Fail("The file \"" + path +
                    "\" was not made by the full test, so it stays. Move it away to test this "
                    "drive.");
    if (error.kind == Platform::WorkError::Kind::MarkFile)
        return Fail("Cannot mark the file \"" + path + "\" as the speed test's. " +
                    work.Marks().MarkErrorText(error.code));
    if (error)
        return Fail(Platform::FileErrorText("create", path, error.code));
    if (const int code = file.Close())
        return Fail(Platform::FileErrorText("close", path, code));
    return RunOutcome::Done;
}

RunOutcome ProfileRun::OpenDirect(const std::string& file, Platform::UniqueFd& direct) {
    direct = Platform::UniqueFd(::open(file.c_str(), O_RDWR | O_DIRECT | O_NOFOLLOW | O_CLOEXEC));
    if (direct)
        return RunOutcome::Done;
    if (errno == EINVAL || errno == EOPNOTSUPP)
        return Refused();
    return Fail(Platform::FileErrorText("open", file, errno));
}

// Only now the room, so that a volume without direct I/O hears that first;
// nothing is written before both are known.
RunOutcome ProfileRun::ReserveRoom(int fd, const std::string& file) {
    struct statvfs vfs {};
    if (::fstatvfs(fd, &vfs) != 0)
        return Fail("Cannot read the free space of " + FDrive + ". " + Platform::ErrorText(errno));
    if (FFileSize > static_cast<std::int64_t>(vfs.f_bavail * vfs.f_frsize))
        return NoSpace();
    const int code = Platform::ReserveBlocks(fd, FFileSize);
    if (code == ENOSPC || code == EDQUOT)
        return NoSpace();
    if (code != 0 && code != EOPNOTSUPP)
        return Fail(Platform::FileErrorText("write", file, code));
    // Where nothing can be reserved the file still takes its length.
    if (code != 0 && ::ftruncate(fd, FFileSize) != 0)
        return Fail(Platform::FileErrorText("write", file, errno));
    return RunOutcome::Done;
}

// Random data before the first read: a drive that stores zeros or repeats
// cheaply would otherwise read faster than it can.
RunOutcome ProfileRun::FillTestFile(int fd, const std::string& file) {
    FHost.SetStatus(kFillStatus);
    FHost.RepaintStatus();
    Pass fill({false, true, kSeqBlock, 8}, fd, FFileSize, false, FClock());
    const RunOutcome outcome = Take(fill);
    if (outcome == RunOutcome::Declined)
        return Refused();
    if (outcome == RunOutcome::Failed)
        return Fail(FFailure);
    if (outcome != RunOutcome::Done)
        return outcome;
    if (::fdatasync(fd) != 0)
        return Fail(Platform::FileErrorText("flush", file, errno));
    return RunOutcome::Done;
}

RunOutcome ProfileRun::TakeFigures(int fd) {
    const auto& figures = Figures();
    for (std::size_t i = 0; i < figures.size(); ++i) {
        FHost.SetStatus(FigureName(figures[i]) + ", " + std::to_string(i + 1) + " of " +
                        std::to_string(figures.size()));
        FHost.RepaintStatus();
        Pass pass(figures[i], fd, FFileSize, true, FClock());
        const RunOutcome outcome = Take(pass);
        if (outcome == RunOutcome::Failed)
            return Fail(FFailure);
        if (outcome != RunOutcome::Done)
            return outcome;
        const double seconds = static_cast<double>(pass.MeasuredNs()) / 1e9;
        FigureResult result;
        result.figure = figures[i];
        result.iops = static_cast<double>(pass.counted) / seconds;
        result.bytesPerSecond = result.iops * static_cast<double>(figures[i].blockSize);
        result.meanLatencyUs = pass.latencies.MeanNs() / 1000;
        result.p99LatencyUs = pass.latencies.QuantileNs(0.99) / 1000;
        FResults.push_back(result);
        if (FOnFigure)
            FOnFigure(result);
    }
    return RunOutcome::Done;
}

// The queue kept full until the figure's time is up (or, for the fill, the
// file is sent), then every request waited for.
RunOutcome ProfileRun::Take(Pass& pass) {
    pass.countFrom = FClock() + FWarmupNs;
    pass.stopAt = pass.countFrom + FMeasureNs;
    for (std::size_t slot = 0; slot < pass.figure.queueDepth && Send(pass, slot); ++slot)
        ++pass.inFlight;
    std::vector<Completion> done;
    done.reserve(pass.figure.queueDepth);
    while (pass.inFlight > 0 && Exchange(pass, done)) {
        const std::uint64_t now = FClock();
        for (const Completion& completion : done)
            Complete(pass, completion, now);
        if (!pass.stopping && StopAsked()) {
            pass.stopping = true;
            pass.outcome = RunOutcome::Canceled;
        }
    }
    return Drain(pass);
}

// Queues the slot's next request; false when the pass has nothing more.
bool ProfileRun::Send(Pass& pass, std::size_t slot) {
    const std::int64_t offset = pass.NextOffset();
    if (offset < 0)
        return false;
    const std::size_t block = pass.figure.blockSize;
    std::uint8_t* buffer = pass.buffers.get() + slot * block;
    if (pass.figure.write) {
        // Fresh random data for every request, so that a drive that
        // compresses or skips repeated blocks cannot gain by it.
        const std::uint64_t t0 = FClock();
        QuillTPU::FillRandom255(buffer, block);
        if (pass.timed) {
            FFillNs += FClock() - t0;
            FFillBytes += block;
        }
    }
    FEngine->Prepare(slot, pass.figure.write, pass.fd, buffer, block, offset);
    pass.sentAt[slot] = FClock();
    return true;
}

// Hands the queued requests to the kernel and takes what has come back;
// false when the engine fails (nothing queued went out then).
bool ProfileRun::Exchange(Pass& pass, std::vector<Completion>& done) {
    done.clear();
    int error = FEngine->Submit();
    if (error != 0) {
        FFailure = "Cannot send requests to the drive. " + Platform::ErrorText(error);
    } else if ((error = FEngine->Reap(&done, kReapTimeoutNs)) != 0) {
        FFailure = "Cannot wait for the drive. " + Platform::ErrorText(error);
    }
    if (error != 0)
        pass.outcome = RunOutcome::Failed;
    return error == 0;
}

// One request back: counted when it ends inside the figure's time, and its
// slot sent again while the pass goes on.
void ProfileRun::Complete(Pass& pass, const Completion& completion, std::uint64_t now) {
    --pass.inFlight;
    if (completion.result != static_cast<std::int64_t>(pass.figure.blockSize)) {
        if (pass.outcome == RunOutcome::Done) {
            // A refusal shows at the first request on some file systems.
            if (pass.first && completion.result == -EINVAL) {
                pass.outcome = RunOutcome::Declined;
            } else {
                pass.outcome = RunOutcome::Failed;
                FFailure = std::string("Cannot ") + (pass.figure.write ? "write" : "read") +
                           " the test file. " +
                           (completion.result < 0
                                ? Platform::ErrorText(static_cast<int>(-completion.result))
                                : std::string("A request came back short."));
            }
        }
        pass.stopping = true;
        return;
    }
    pass.first = false;
    const bool open = now <= pass.stopAt || pass.counted == 0;
    if (pass.timed && now >= pass.countFrom && open) {
        pass.latencies.Add(now - pass.sentAt[completion.slot]);
        ++pass.counted;
        pass.lastCounted = now;
    }
    if (!pass.stopping && (!pass.timed || now < pass.stopAt || pass.counted == 0) &&
        Send(pass, completion.slot))
        ++pass.inFlight;
}

// The buffers stay until every request is back, however the pass ended.
RunOutcome ProfileRun::Drain(Pass& pass) {
    std::vector<Completion> done;
    const std::uint64_t giveUp = FClock() + kGiveUpNs;
    while (pass.inFlight > 0 && FClock() < giveUp) {
        done.clear();
        if (FEngine->Reap(&done, kReapTimeoutNs) != 0)
            break;
        pass.inFlight -= static_cast<unsigned>(done.size());
    }
    if (pass.inFlight > 0) {
        // Requests that never went out, or a drive that hangs: the kernel
        // may still write into the buffers, so they are never freed.
        (void)pass.buffers.release();
        FEngine.reset();
        if (pass.outcome == RunOutcome::Done || pass.outcome == RunOutcome::Canceled) {
            FFailure = "The drive did not answer for 10 seconds.";
            pass.outcome = RunOutcome::Failed;
        }
    }
    return pass.outcome;
}

RunOutcome ProfileRun::Fail(const std::string& message) {
    QuillTPU::ShowErrorMessage(message);
    return RunOutcome::Failed;
}

// What keeps the run out of its work folder, in the full test's words.
std::string ProfileRun::WorkFailure(const Platform::WorkPlace& work,
                                    const Platform::WorkError& error) const {
    using Kind = Platform::WorkError::Kind;
    const std::string folder = "\"" + work.Folder() + "\"";
    switch (error.kind) {
    case Kind::Link:
    case Kind::NotFolder:
        return folder + " is not a folder. The full test needs this name for its work folder: " +
               "move it away.";
    case Kind::Busy:
        return "Another run is using the folder " + folder + ".";
    case Kind::Create:
        return "Cannot create the folder " + folder + ". " + Platform::ErrorText(error.code);
    case Kind::MarkFolder:
        return "Cannot mark the folder " + folder + " as the speed test's. " +
               work.Marks().MarkErrorText(error.code);
    case Kind::NotOnVolume:
        return FDrive + " is not ready.";
    default:
        return "Cannot use the folder " + folder + ". " + Platform::ErrorText(error.code);
    }
}

RunOutcome ProfileRun::NoSpace() {
    QuillTPU::ShowWarningMessage(SpeedTest::kNoSpaceMessage);
    return RunOutcome::Declined;
}

// No honest figure can be taken where the file cache stands in for the drive.
RunOutcome ProfileRun::Refused() {
    QuillTPU::ShowErrorMessage(FDrive + " refuses direct I/O (" + FPlace +
                               "): its figures would be the memory's, not the drive's, so the "
                               "full test does not run there.");
    return RunOutcome::Declined;
}

bool ProfileRun::StopAsked() {
    // The window gets its turn a few times a second; more often would take
    // the drive's time.
    const std::uint64_t now = FClock();
    if (now - FLastPump >= 50'000'000) {
        FHost.PumpMessages();
        FLastPump = FClock();
    }
    return FHost.CancelRequested();
}

std::vector<std::string> ResultTable(const ProfileRun& run) {
    std::vector<std::string> lines;
    lines.push_back("Full test: " + run.EngineName() + ", test file " +
                    std::to_string(run.FileSize() / kMegabyte) + "MB, " +
                    QuillTPU::FormatReal(run.Seconds(), 2) + " s per figure");
    // Sixty columns: the log of the window at its smallest holds them
    // without wrapping, in its fixed-pitch font; the longest name is 25.
    lines.push_back("Test                         MB/s    IOPS  Mean us    99% us");
    for (const FigureResult& r : run.Results()) {
        std::string name = FigureName(r.figure);
        name.resize(25, ' ');
        lines.push_back(name + Fixed(r.bytesPerSecond / kMegabyte, 8, 1) + Fixed(r.iops, 8, 0) +
                        Fixed(r.meanLatencyUs, 9, 1) + Fixed(r.p99LatencyUs, 10, 1));
    }
    if (run.FillBytes() > 0)
        lines.push_back("Random data for the writes: " +
                        QuillTPU::FormatReal(static_cast<double>(run.FillNs()) / 1e9, 3) +
                        " s of CPU for " + std::to_string(run.FillBytes() / kMegabyte) + "MB");
    return lines;
}

} // namespace Profile
