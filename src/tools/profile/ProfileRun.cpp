#include "tools/profile/ProfileRun.h"

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
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace Profile {

namespace {

constexpr std::int64_t kMegabyte = 1048576;
constexpr std::size_t kAlignment = 4096;
constexpr std::size_t kSeqBlock = 1048576;
constexpr std::size_t kRandBlock = 4096;
constexpr unsigned kMaxDepth = 32;
// The longest wait for a completion: Cancel is seen well within half a second.
constexpr std::uint64_t kReapTimeoutNs = 50'000'000;

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

// The work folder of the speed test, made, marked and locked as the speed
// test does it, and cleaned of the run's own files whichever way it ends.
class WorkFolder {
public:
    ~WorkFolder() {
        try {
            Cleanup();
        } catch (...) {
            // Leaving with an error already; the next run removes what stays.
        }
    }
    // "" when ready, else the message that says why not.
    std::string Prepare(const std::string& place) {
        struct stat st {};
        if (::stat(place.c_str(), &st) != 0)
            return "Cannot use the folder \"" + place + "\". " + Platform::ErrorText(errno);
        FDevice = st.st_dev;
        folder = place + SpeedTest::kWorkFolderName;
        file = folder + "/" + kTestFileName;
        marks.emplace(folder, SpeedTest::kToolName);
        if (::lstat(folder.c_str(), &st) == 0) {
            if (!S_ISDIR(st.st_mode))
                return "\"" + folder +
                       "\" is not a folder. The full test needs this name for its " +
                       "work folder: move it away.";
            if (const std::string busy = Lock(); !busy.empty())
                return busy;
            // Leftovers of a killed run go; the user's files stay.
            marks->RemoveOwn();
            if (::lstat(folder.c_str(), &st) != 0)
                FLock = Platform::UniqueFd();
        } else if (errno != ENOENT) {
            return "Cannot use the folder \"" + folder + "\". " + Platform::ErrorText(errno);
        }
        if (!FLock) {
            if (::mkdir(folder.c_str(), 0777) != 0)
                return "Cannot create the folder \"" + folder + "\". " + Platform::ErrorText(errno);
            int code = 0;
            if (!marks->MarkFolder(&code)) {
                ::rmdir(folder.c_str());
                return "Cannot mark the folder \"" + folder + "\" as the speed test's. " +
                       marks->MarkErrorText(code);
            }
            if (const std::string busy = Lock(); !busy.empty())
                return busy;
        }
        if (::lstat(file.c_str(), &st) == 0)
            return "The file \"" + file +
                   "\" was not made by the full test, so it stays. Move it away to test this "
                   "drive.";
        return {};
    }
    void Cleanup() {
        if (!marks || !FLock)
            return;
        // Something mounted over the folder meanwhile: what we made lies
        // beneath it, marked, and the next run on that volume removes it.
        struct stat st {};
        if (::lstat(folder.c_str(), &st) == 0 && st.st_dev == FDevice)
            marks->RemoveOwn();
        marks.reset();
        FLock = Platform::UniqueFd();
    }

    std::string folder;
    std::string file;
    std::optional<Platform::TToolMarks> marks;

private:
    // The lock keeps another run, and the start-up sweep, off the folder.
    std::string Lock() {
        FLock = Platform::UniqueFd(
            ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (FLock && ::flock(FLock.Get(), LOCK_EX | LOCK_NB) == 0)
            return {};
        const int code = errno;
        FLock = Platform::UniqueFd();
        return code == EWOULDBLOCK
                   ? "Another run is using the folder \"" + folder + "\"."
                   : "Cannot use the folder \"" + folder + "\". " + Platform::ErrorText(code);
    }

    dev_t FDevice = 0;
    Platform::UniqueFd FLock;
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

// One pass of requests: a figure, or the fill of the test file.
struct ProfileRun::Pass {
    Figure figure;
    std::int64_t fileSize = 0;
    bool timed = true;           // a figure; else the fill: the file once, untimed
    std::uint64_t countFrom = 0; // completions from here on count
    std::uint64_t stopAt = 0;    // nothing new is sent from here on
    LatencyHistogram latencies;
    std::uint64_t counted = 0;
    std::uint64_t lastCounted = 0;
    // The window's length: a figure whose requests all outlast the time
    // waits for its first one, and takes the longer time.
    std::uint64_t MeasuredNs() const { return std::max(stopAt, lastCounted) - countFrom; }
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

    WorkFolder work;
    std::optional<Platform::UniqueFd> direct;
    auto finish = [&](RunOutcome outcome) {
        direct.reset();
        work.Cleanup();
        FHost.SetStatus(outcome == RunOutcome::Canceled ? QuillTPU::kCanceledStatus
                        : outcome == RunOutcome::Failed ? QuillTPU::kFailedStatus
                                                        : SpeedTest::kDoneStatus);
        return outcome;
    };
    auto fail = [&](const std::string& message) {
        QuillTPU::ShowErrorMessage(message);
        return finish(RunOutcome::Failed);
    };
    auto noSpace = [&] {
        QuillTPU::ShowWarningMessage(SpeedTest::kNoSpaceMessage);
        return finish(RunOutcome::Declined);
    };

    const std::string drive = FInputs.DriveName();
    const std::optional<std::string> place = FInputs.WorkPlace();
    if (!place)
        return fail(drive + " is not ready.");
    if (const std::string why = work.Prepare(*place); !why.empty())
        return fail(why);

    const std::int32_t mb = FInputs.TestSizeMB();
    if (mb < 1)
        return fail("The test file size must be at least 1 MB.");
    FFileSize = CheckedMul<std::int64_t>(mb, kMegabyte);
    // Made with ordinary I/O and marked first: a file system that refuses
    // direct I/O may still create the file before it refuses.
    {
        Platform::File file;
        try {
            file = Platform::File::Create(work.file, true, O_NOFOLLOW);
        } catch (const FileCreateError& e) {
            return fail(e.what());
        }
        int code = 0;
        if (!work.marks->MarkFile(file.Descriptor(), kTestFileName, &code)) {
            file = Platform::File();
            ::unlink(work.file.c_str()); // just made exclusively: ours
            return fail("Cannot mark the file \"" + work.file + "\" as the speed test's. " +
                        work.marks->MarkErrorText(code));
        }
        try {
            file.Close();
        } catch (const SystemError& e) {
            return fail(e.what());
        }
    }
    const std::string refused =
        drive + " refuses direct I/O (" + *place +
        "): its figures would be the memory's, not the drive's, so the full test does not run "
        "there.";
    direct.emplace(::open(work.file.c_str(), O_RDWR | O_DIRECT | O_NOFOLLOW | O_CLOEXEC));
    if (!*direct) {
        if (errno == EINVAL || errno == EOPNOTSUPP) {
            QuillTPU::ShowErrorMessage(refused);
            return finish(RunOutcome::Declined);
        }
        return fail("Cannot open file \"" + work.file + "\". " + Platform::ErrorText(errno));
    }
    // Only now the room, so that a volume without direct I/O hears that
    // first; nothing is written before both are known.
    struct statvfs vfs {};
    if (::fstatvfs(direct->Get(), &vfs) != 0)
        return fail("Cannot read the free space of " + drive + ". " + Platform::ErrorText(errno));
    if (FFileSize > static_cast<std::int64_t>(vfs.f_bavail * vfs.f_frsize))
        return noSpace();
    {
        const int fd = direct->Get();
        int reserved;
        do
            reserved = ::fallocate(fd, 0, 0, FFileSize);
        while (reserved != 0 && errno == EINTR);
        if (reserved != 0 && (errno == ENOSPC || errno == EDQUOT))
            return noSpace();
        if (reserved != 0 && errno != EOPNOTSUPP && errno != ENOSYS)
            return fail("Cannot write file \"" + work.file + "\". " + Platform::ErrorText(errno));
        if (reserved != 0 && ::ftruncate(fd, FFileSize) != 0)
            return fail("Cannot write file \"" + work.file + "\". " + Platform::ErrorText(errno));
    }

    std::string why;
    FEngine = OpenEngine(FChoice, kMaxDepth, &why);
    if (!FEngine)
        return fail(why);
    FEngineName = FEngine->Name();

    // Random data before the first read: a drive that stores zeros or
    // repeats cheaply would otherwise read faster than it can.
    FHost.SetStatus(kFillStatus);
    FHost.RepaintStatus();
    Pass fill;
    fill.figure = {false, true, kSeqBlock, 8};
    fill.fileSize = FFileSize;
    fill.timed = false;
    RunOutcome outcome = Take(direct->Get(), fill);
    if (outcome == RunOutcome::Declined) {
        QuillTPU::ShowErrorMessage(refused);
        return finish(outcome);
    }
    if (outcome == RunOutcome::Failed)
        return fail(FFailure);
    if (outcome != RunOutcome::Done)
        return finish(outcome);
    if (::fdatasync(direct->Get()) != 0)
        return fail("Cannot flush file \"" + work.file + "\". " + Platform::ErrorText(errno));

    const auto& figures = Figures();
    for (std::size_t i = 0; i < figures.size(); ++i) {
        FHost.SetStatus(FigureName(figures[i]) + ", " + std::to_string(i + 1) + " of " +
                        std::to_string(figures.size()));
        FHost.RepaintStatus();
        Pass pass;
        pass.figure = figures[i];
        pass.fileSize = FFileSize;
        outcome = Take(direct->Get(), pass);
        if (outcome == RunOutcome::Failed)
            return fail(FFailure);
        if (outcome != RunOutcome::Done)
            return finish(outcome);
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
    return finish(RunOutcome::Done);
}

RunOutcome ProfileRun::Take(int fd, Pass& pass) {
    const Figure& figure = pass.figure;
    const std::size_t block = figure.blockSize;
    const unsigned depth = figure.queueDepth;
    const auto blocks = static_cast<std::uint64_t>(pass.fileSize) / block;
    // The one buffer of the pass: a block per request in flight.
    AlignedBlock buffers = NewAlignedBlock(block * depth);
    std::vector<std::uint64_t> sentAt(depth, 0);
    OffsetSequence randomOffsets(FClock());
    std::uint64_t nextBlock = 0;

    auto nextOffset = [&]() -> std::int64_t {
        if (figure.random)
            return static_cast<std::int64_t>((randomOffsets.Next() % blocks) * block);
        if (!pass.timed && nextBlock >= blocks)
            return -1; // the fill has sent the whole file
        const std::uint64_t at = nextBlock++ % blocks;
        return static_cast<std::int64_t>(at * block);
    };
    auto send = [&](std::size_t slot) {
        const std::int64_t offset = nextOffset();
        if (offset < 0)
            return false;
        std::uint8_t* buffer = buffers.get() + slot * block;
        if (figure.write) {
            // Fresh random data for every request, so that a drive that
            // compresses or skips repeated blocks cannot gain by it.
            const std::uint64_t t0 = FClock();
            QuillTPU::FillRandom255(buffer, block);
            if (pass.timed) {
                FFillNs += FClock() - t0;
                FFillBytes += block;
            }
        }
        FEngine->Prepare(slot, figure.write, fd, buffer, block, offset);
        sentAt[slot] = FClock();
        return true;
    };

    const std::uint64_t start = FClock();
    pass.countFrom = start + FWarmupNs;
    pass.stopAt = pass.countFrom + FMeasureNs;
    unsigned inFlight = 0;
    for (std::size_t slot = 0; slot < depth && send(slot); ++slot)
        ++inFlight;

    RunOutcome outcome = RunOutcome::Done;
    bool stopping = false;
    std::vector<Completion> done;
    done.reserve(depth);
    bool first = true;
    while (inFlight > 0) {
        if (const int error = FEngine->Submit()) {
            // Nothing queued went out; what is in flight still comes back.
            FFailure = "Cannot send requests to the drive. " + Platform::ErrorText(error);
            outcome = RunOutcome::Failed;
            break;
        }
        done.clear();
        if (const int error = FEngine->Reap(&done, kReapTimeoutNs)) {
            FFailure = "Cannot wait for the drive. " + Platform::ErrorText(error);
            outcome = RunOutcome::Failed;
            break;
        }
        const std::uint64_t now = FClock();
        for (const Completion& c : done) {
            --inFlight;
            if (c.result != static_cast<std::int64_t>(block)) {
                if (outcome == RunOutcome::Done) {
                    // A refusal shows at the first request on some file systems.
                    if (first && c.result == -EINVAL) {
                        outcome = RunOutcome::Declined;
                    } else {
                        outcome = RunOutcome::Failed;
                        FFailure = std::string("Cannot ") + (figure.write ? "write" : "read") +
                                   " the test file. " +
                                   (c.result < 0 ? Platform::ErrorText(static_cast<int>(-c.result))
                                                 : std::string("A request came back short."));
                    }
                }
                stopping = true;
                continue;
            }
            first = false;
            const bool open = now <= pass.stopAt || pass.counted == 0;
            if (pass.timed && now >= pass.countFrom && open) {
                pass.latencies.Add(now - sentAt[c.slot]);
                ++pass.counted;
                pass.lastCounted = now;
            }
            if (!stopping && (!pass.timed || now < pass.stopAt || pass.counted == 0) &&
                send(c.slot))
                ++inFlight;
        }
        if (!stopping && StopAsked()) {
            stopping = true;
            outcome = RunOutcome::Canceled;
        }
    }
    // The buffers stay until every request is back, however the pass ended.
    const std::uint64_t giveUp = FClock() + 10'000'000'000;
    while (inFlight > 0 && FClock() < giveUp) {
        done.clear();
        if (FEngine->Reap(&done, kReapTimeoutNs) != 0)
            break;
        inFlight -= static_cast<unsigned>(done.size());
    }
    if (inFlight > 0) {
        // Requests that never went out, or a drive that hangs: the kernel
        // may still write into the buffers, so they are never freed.
        (void)buffers.release();
        FEngine.reset();
        if (outcome == RunOutcome::Done || outcome == RunOutcome::Canceled) {
            FFailure = "The drive did not answer for 10 seconds.";
            outcome = RunOutcome::Failed;
        }
    }
    return outcome;
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
    lines.push_back("Test                            MB/s       IOPS    Mean us     99% us");
    for (const FigureResult& r : run.Results()) {
        std::string name = FigureName(r.figure);
        name.resize(26, ' ');
        lines.push_back(name + Fixed(r.bytesPerSecond / kMegabyte, 10, 1) + Fixed(r.iops, 11, 0) +
                        Fixed(r.meanLatencyUs, 11, 1) + Fixed(r.p99LatencyUs, 11, 1));
    }
    if (run.FillBytes() > 0)
        lines.push_back("Random data for the writes: " +
                        QuillTPU::FormatReal(static_cast<double>(run.FillNs()) / 1e9, 3) +
                        " s of CPU for " + std::to_string(run.FillBytes() / kMegabyte) + "MB");
    return lines;
}

} // namespace Profile
