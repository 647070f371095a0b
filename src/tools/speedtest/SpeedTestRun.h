#pragma once
// The drive speed test behind "Speed me": writes a test file of zeros to the
// chosen drive and reads it back around the file cache, timing both to the
// drive, and logs the speeds. Runs under the task contract of the host.
#include "platform/File.h"
#include "platform/WorkPlace.h"
#include "tools/speedtest/SpeedTestInputs.h"
#include "util/RunOutcome.h"
#include "util/TaskHost.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace SpeedTest {

inline constexpr const char* kWritingStatus = "Writing...";
inline constexpr const char* kReadingStatus = "Reading...";
inline constexpr const char* kDoneStatus = "Done";
inline constexpr const char* kNoSpaceMessage = "Not enough free space to perform the write test";
inline constexpr const char* kNoDriveMessage = "Choose a drive to test first.";
// The work folder in the drive's working place, the name under which the
// run marks what it creates, and the test file in the folder.
inline constexpr Platform::ToolFolder kToolFolder{"speedtest", "speedtest", "speed test"};
inline constexpr const char* kWorkFolderName = kToolFolder.folder;
inline constexpr const char* kToolName = kToolFolder.tool;
inline constexpr const char* kTestFileName = "SpeedTest.bin";
// The chunk of every read, a whole number of 4096-byte sectors.
inline constexpr std::size_t kReadChunkBytes = 61440;
// The zero block the write hands to the system, again and again.
inline constexpr std::size_t kWriteBlockBytes = 1048576;

using QuillTPU::RunOutcome;

// What a phase measured: the bytes and the milliseconds between the clock's
// readings at its start and end. 0 ms: faster than the clock's tick, and the
// speed shown is a lower bound.
struct PhaseFigure {
    std::int64_t bytes = 0;
    std::uint32_t milliseconds = 0;
};

// The figures of the phases that finished; a failed or canceled phase has none.
struct SpeedFigures {
    std::optional<PhaseFigure> write;
    std::optional<PhaseFigure> read;
};

class SpeedTestRun {
public:
    SpeedTestRun(QuillTPU::ITaskHost& host, ISpeedTestInputs& inputs, ISpeedLog& log);
    ~SpeedTestRun();
    SpeedTestRun(const SpeedTestRun&) = delete;
    SpeedTestRun& operator=(const SpeedTestRun&) = delete;

    // The millisecond clock of both timings (a tick count).
    void SetClock(std::function<std::uint32_t()> tickCount) { FTickCount = std::move(tickCount); }
    // The drive helpers: free space for the user and the bracketed label.
    void SetFreeSpace(std::function<std::int64_t(const Platform::Drive&)> freeSpace) {
        FFreeSpace = std::move(freeSpace);
    }
    void SetLabel(std::function<std::string(const Platform::Drive&)> label) {
        FLabel = std::move(label);
    }
    // Opens the test file for reading around the file cache (O_DIRECT);
    // raises FileOpenError, with EINVAL where the file system refuses that.
    void SetOpenUnbuffered(std::function<Platform::File(const std::string&)> open) {
        FOpenUnbuffered = std::move(open);
    }

    // How often the window gets its turn (PumpMessages) within a phase.
    void SetPumpInterval(std::uint64_t nanoseconds) { FPumpInterval = nanoseconds; }

    RunOutcome Execute();
    // What the last Execute measured, for front ends that report figures.
    const SpeedFigures& Figures() const { return FFigures; }

private:
    // The steps of a run: each returns Done to go on. A failure has shown
    // its message; Finish removes the run's files and sets the status.
    RunOutcome Phases();
    RunOutcome Prepare();
    RunOutcome TakeWorkPlace();
    RunOutcome WritePhase();
    RunOutcome Reserve(int fd);
    RunOutcome WriteBlocks(int fd, const std::uint8_t* block, std::size_t blockBytes);
    RunOutcome ReadPhase();
    RunOutcome OpenForReading(Platform::File& file);
    RunOutcome Finish(RunOutcome outcome);

    void LogHead();
    RunOutcome Fail(const std::string& message);
    RunOutcome FileFailure(const char* action, int code);
    RunOutcome NoSpace();
    std::string DriveName() const;
    std::string UnmountedText() const;
    // Lets the window in when its turn has come; true when a stop was asked for.
    bool StopAsked();

    std::function<std::uint32_t()> FTickCount;
    std::function<std::int64_t(const Platform::Drive&)> FFreeSpace;
    std::function<std::string(const Platform::Drive&)> FLabel;
    std::function<Platform::File(const std::string&)> FOpenUnbuffered;
    QuillTPU::ITaskHost& FHost;
    ISpeedTestInputs& FInputs;
    ISpeedLog& FLog;
    std::uint64_t FPumpInterval = 50'000'000;
    std::uint64_t FLastPump = 0;

    // The state of the current Execute. The work place refers to the
    // pinned volume and goes first.
    std::optional<Platform::ChosenDrive> FChosen;
    std::optional<Platform::PinnedVolume> FVolume;
    std::optional<Platform::WorkPlace> FWorkPlace;
    std::string FTestFile;
    std::int64_t FSize = 0; // the test file's
    std::int64_t FFree = 0; // as the log shows it
    bool FLogged = false;
    SpeedFigures FFigures;
};

// MB per second; a phase under the clock's resolution (0 ms) counts as 1 ms.
long double SpeedMBps(std::int64_t bytes, std::uint32_t milliseconds);
// A speed in MB per second as the log shows it, cut to `decimals`. A phase
// under the clock's resolution (0 ms) shows the speed at 1 ms as a lower
// bound: ">1000MB/sec".
std::string SpeedText(std::int64_t bytes, std::uint32_t milliseconds, std::uint8_t decimals);

} // namespace SpeedTest
