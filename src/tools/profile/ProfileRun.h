#pragma once
// The full test behind "Full test": eight figures of the chosen drive
// (sequential 1 MiB and random 4 KiB, shallow and deep queues, read and
// write) taken with direct I/O at queue depth from the window's one thread,
// in the speed test's work folder. Runs under the task contract of the host.
#include "platform/DriveWork.h"
#include "platform/UniqueFd.h"
#include "platform/WorkPlace.h"
#include "tools/profile/IoEngine.h"
#include "tools/profile/ProfileInputs.h"
#include "util/RunOutcome.h"
#include "util/TaskHost.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace Profile {

inline constexpr const char* kFillStatus = "Filling the test file with random data...";
// The test file, beside the speed test's in its work folder (the speed
// test's work place) and marked as the speed test's, so the start-up sweep
// removes what a killed run left.
inline constexpr const char* kTestFileName = "FullTest.bin";

struct Figure {
    bool random; // random offsets over the whole file, else sequential
    bool write;
    std::size_t blockSize; // bytes
    unsigned queueDepth;
};

// The eight figures in the order they are taken: the reads first, on the
// file's random data, then the writes.
const std::array<Figure, 8>& Figures();
// "Sequential 1 MiB Q8 read", "Random 4 KiB Q32 write".
std::string FigureName(const Figure& figure);

struct FigureResult {
    Figure figure;
    double bytesPerSecond = 0;
    double iops = 0;
    double meanLatencyUs = 0;
    double p99LatencyUs = 0;
};

// Request latencies in buckets of 1/64 of a power of two: memory stays
// fixed however many requests a figure takes, percentiles within 1.6 %.
class LatencyHistogram {
public:
    LatencyHistogram();
    void Add(std::uint64_t nanoseconds);
    std::uint64_t Count() const { return FCount; }
    double MeanNs() const;
    // The bucket's middle where the quantile q (0..1] of the requests lies.
    double QuantileNs(double q) const;

private:
    static std::size_t Bucket(std::uint64_t value);
    static double Middle(std::size_t bucket);
    std::vector<std::uint64_t> FBuckets;
    std::uint64_t FCount = 0;
    long double FSum = 0;
};

using QuillTPU::RunOutcome;

class ProfileRun {
public:
    ProfileRun(QuillTPU::ITaskHost& host, IProfileInputs& inputs);

    // The nanosecond clock of every timing.
    void SetClock(std::function<std::uint64_t()> nanoClock) { FClock = std::move(nanoClock); }
    // How long each figure warms up and is then measured.
    void SetTiming(std::uint64_t warmupNs, std::uint64_t measureNs) {
        FWarmupNs = warmupNs;
        FMeasureNs = measureNs;
    }
    void SetEngine(EngineChoice choice) { FChoice = choice; }
    // Called with each figure as soon as it is taken.
    void SetOnFigure(std::function<void(const FigureResult&)> onFigure) {
        FOnFigure = std::move(onFigure);
    }

    RunOutcome Execute();

    const std::vector<FigureResult>& Results() const { return FResults; }
    // The engine that took the figures, "io_uring" or "libaio".
    const std::string& EngineName() const { return FEngineName; }
    std::int64_t FileSize() const { return FFileSize; }
    double Seconds() const { return static_cast<double>(FMeasureNs) / 1e9; }
    // What refilling the write buffers with random data cost within the
    // write figures: the time of the fill calls (the thread's CPU) and the
    // bytes they made.
    std::uint64_t FillNs() const { return FFillNs; }
    std::uint64_t FillBytes() const { return FFillBytes; }

private:
    struct Pass;
    // The steps of a run; each returns Done to go on and has said why not.
    RunOutcome PinDrive(std::optional<Platform::PinnedVolume>& volume);
    RunOutcome Prepare(Platform::WorkPlace& work, Platform::UniqueFd& direct);
    RunOutcome CreateTestFile(Platform::WorkPlace& work);
    RunOutcome OpenDirect(const std::string& file, Platform::UniqueFd& direct);
    RunOutcome ReserveRoom(int fd, const std::string& file);
    RunOutcome FillTestFile(int fd, const std::string& file);
    RunOutcome TakeFigures(int fd);
    // One pass of requests; leaves the message of a failure in FFailure.
    RunOutcome Take(Pass& pass);
    bool Send(Pass& pass, std::size_t slot);
    bool Exchange(Pass& pass, std::vector<Completion>& done);
    void Complete(Pass& pass, const Completion& completion, std::uint64_t now);
    RunOutcome Drain(Pass& pass);
    bool StopAsked();

    RunOutcome Fail(const std::string& message);
    std::string WorkFailure(const Platform::WorkPlace& work,
                            const Platform::WorkError& error) const;
    RunOutcome NoSpace();
    RunOutcome Refused();

    QuillTPU::ITaskHost& FHost;
    IProfileInputs& FInputs;
    std::function<std::uint64_t()> FClock;
    std::function<void(const FigureResult&)> FOnFigure;
    EngineChoice FChoice = EngineChoice::Automatic;
    std::uint64_t FWarmupNs = static_cast<std::uint64_t>(kWarmupSeconds.defaultValue * 1e9);
    std::uint64_t FMeasureNs = static_cast<std::uint64_t>(kMeasureSeconds.defaultValue * 1e9);
    std::unique_ptr<IIoEngine> FEngine;
    std::string FEngineName;
    std::vector<FigureResult> FResults;
    std::int64_t FFileSize = 0;
    std::uint64_t FFillNs = 0;
    std::uint64_t FFillBytes = 0;
    std::uint64_t FLastPump = 0;
    // The drive as the messages name it, and its work place: read once.
    std::string FDrive;
    std::string FPlace;
    std::string FFailure; // the message of a failed pass
};

// The results as the log shows them: a heading and one line per figure
// (MB/s in MB of 1048576 bytes, IOPS, mean and 99th percentile latency).
std::vector<std::string> ResultTable(const ProfileRun& run);

} // namespace Profile
