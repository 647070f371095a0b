// The speed test against a volume that fails on command, through its run
// and through ferrovane-cli. Each row is one fault and what the user sees:
// a failed phase logs no figure, and the test file goes wherever the volume
// still answers.
#include "CliProcess.h"
#include "FaultCells.h"
#include "FaultVolume.h"
#include "RecordingPresenter.h"
#include "RecordingTaskHost.h"
#include "platform/DriveTable.h"
#include "tools/speedtest/SpeedTestRun.h"
#include "util/TaskScope.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>

#include <signal.h>

namespace {

using namespace FaultCells;
using Clock = std::chrono::steady_clock;
using SpeedTest::RunOutcome;

struct Cell {
    const char* fault;
    FaultPlan plan;
    Expect expect;
    std::string message = {}; // the report, "@" standing for the volume's path
    bool wrote = false;       // the write phase ended before the fault: its figure stays
};

constexpr std::int64_t kVolumeBytes = 16 * 1048576;
// The ledger's two lines come first: a cancel once the test file is being
// written must end the run and its cleanup within a second.
constexpr int kFirstDataWrite = 3;
const std::string kFile = "\"@/speedtest/SpeedTest.bin\". ";
const std::string kEio = std::strerror(EIO);

// A test file of 4 MB: four blocks of 1 MB, each several calls to the
// volume. The volume keeps no attributes, so the run lists its files in a
// ledger: its header and the test file's line are the 1st and 2nd write and
// flush, and the run reads it once before the test file.
const Cell kCells[] = {
    {"EIO on the 3rd write", {.eioOnWrite = 3}, Expect::Fails, "Cannot write file " + kFile + kEio},
    {"EIO on every fsync",
     {.eioOnSync = 1},
     Expect::Fails,
     "Cannot mark the folder \"@/speedtest\" as the speed test's. " + kEio},
    {"EIO from the 3rd flush on",
     {.eioOnSync = 3},
     Expect::Fails,
     "Cannot flush file " + kFile + kEio},
    {"EIO on close", {.eioOnClose = true}, Expect::Fails, "Cannot close file " + kFile + kEio},
    {"EIO on the 2nd read",
     {.eioOnRead = 2},
     Expect::Fails,
     "Cannot read file " + kFile + kEio,
     true},
    {"ENOSPC after 1 MB",
     {.spaceBytes = 1048576},
     Expect::Fails,
     "Cannot write file " + kFile + std::strerror(ENOSPC)},
    {"short writes", {.shortWrites = true}, Expect::Done},
    {"5 ms per call", {.delayMs = 5}, Expect::Done},
    {"10 ms per call, canceled", {.delayMs = 10}, Expect::Canceled},
    {"vanishes at the 3rd write",
     {.vanishOnWrite = 3},
     Expect::Fails,
     "Cannot write file " + kFile + kEio},
};

struct Inputs : SpeedTest::ISpeedTestInputs {
    std::string root;
    std::optional<Platform::ChosenDrive> Drive() override {
        return Platform::ChosenDrive{Platform::DriveForFolder('F', root), {}};
    }
    std::int32_t TestSizeMB() override { return 4; }
};

struct Log : SpeedTest::ISpeedLog {
    std::string text;
    void AppendLine(const std::string& line) override { text += line + "\n"; }
};

// Nothing of the run's stays: on the volume, or where it vanished, on the
// folder underneath (which is another volume and not the run's).
void ExpectCleanedUp(const FaultVolume& volume, const Cell& cell) {
    if (volume.Vanished()) {
        EXPECT_EQ(NamesIn(volume.Path()), std::vector<std::string>{}) << "written underneath";
    } else {
        EXPECT_EQ(NamesIn(volume.Backing()), std::vector<std::string>{"mine.txt"}) << cell.fault;
    }
}

void ExpectPhaseFigures(const std::string& log, const Cell& cell) {
    const bool done = cell.expect == Expect::Done;
    EXPECT_EQ(log.find("Write speed: ") != std::string::npos, done || cell.wrote) << log;
    EXPECT_EQ(log.find("Read speed: ") != std::string::npos, done) << log;
}

std::string FailureText(const FaultVolume& volume, const Cell& cell) {
    std::string text = cell.message;
    return text.replace(text.find('@'), 1, volume.Path());
}

class SpeedTestFaultTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const auto why = FaultVolume::Unavailable())
            FV_SKIP_UNLESS_CI(*why);
    }
    RunOutcome Run(FaultVolume& volume) {
        presenter.shown.clear();
        log.text.clear();
        inputs.root = volume.Path();
        SpeedTest::SpeedTestRun run(host, inputs, log);
        run.SetPumpInterval(0); // the window's turn after every block
        return run.Execute();
    }
    RecordingTaskHost host;
    RecordingPresenter presenter;
    Inputs inputs;
    Log log;
};

TEST_F(SpeedTestFaultTest, EveryFaultIsReportedOrSurvived) {
    for (Cell cell : kCells) {
        SCOPED_TRACE(cell.fault);
        cell.plan.capacity = kVolumeBytes;
        FaultVolume volume(cell.plan);
        const std::string mine = UserFile(volume.Backing());
        host = RecordingTaskHost();
        Clock::time_point canceledAt{};
        if (cell.expect == Expect::Canceled) {
            host.onPump = [&] {
                if (volume.Writes() >= kFirstDataWrite && !host.cancel) {
                    host.cancel = true;
                    canceledAt = Clock::now();
                }
            };
        }
        const auto start = Clock::now();
        const RunOutcome outcome = Run(volume);
        const auto end = Clock::now();
        EXPECT_LT(end - start, std::chrono::seconds(10));
        EXPECT_EQ(ReadAll(mine), "the user's") << "the user's file changed";
        EXPECT_FALSE(host.busy);
        ExpectCleanedUp(volume, cell);
        ExpectPhaseFigures(log.text, cell);
        switch (cell.expect) {
        case Expect::Done:
            EXPECT_EQ(outcome, RunOutcome::Done);
            EXPECT_TRUE(presenter.shown.empty());
            EXPECT_GE(volume.BytesWritten(), 4 * 1048576) << "the test file was not complete";
            break;
        case Expect::Canceled:
            EXPECT_EQ(outcome, RunOutcome::Canceled);
            EXPECT_EQ(host.Status(), QuillTPU::kCanceledStatus);
            EXPECT_LT(end - canceledAt, std::chrono::seconds(1));
            break;
        case Expect::Fails:
            EXPECT_EQ(outcome, RunOutcome::Failed);
            EXPECT_EQ(host.Status(), QuillTPU::kFailedStatus);
            ASSERT_EQ(presenter.shown.size(), 1u);
            EXPECT_EQ(presenter.shown[0].text, FailureText(volume, cell));
            break;
        }
    }
    // After all that, a healthy volume is tested as ever.
    FaultVolume healthy({.capacity = kVolumeBytes});
    EXPECT_EQ(Run(healthy), RunOutcome::Done);
    ExpectPhaseFigures(log.text, {"healthy", {}, Expect::Done});
}

TEST(SpeedCliFaultTest, EveryFaultIsReportedOrSurvived) {
    if (const auto why = FaultVolume::Unavailable())
        FV_SKIP_UNLESS_CI(*why);
    auto speed = [](const FaultVolume& volume) {
        return CliProcess({"speed", "--size", "4MB", volume.Path()});
    };
    for (Cell cell : kCells) {
        SCOPED_TRACE(cell.fault);
        cell.plan.capacity = kVolumeBytes;
        FaultVolume volume(cell.plan);
        const std::string mine = UserFile(volume.Backing());
        CliProcess cli = speed(volume);
        const CliResult result = RunCliCell(
            cli, cell.expect, [&] { return volume.Writes() >= kFirstDataWrite; }, mine);
        ExpectCleanedUp(volume, cell);
        ExpectPhaseFigures(result.out, cell);
        const std::string said = result.out + result.err;
        switch (cell.expect) {
        case Expect::Done:
            EXPECT_GE(volume.BytesWritten(), 4 * 1048576) << "the test file was not complete";
            break;
        case Expect::Canceled:
            EXPECT_EQ(LastLine(result.err), QuillTPU::kCanceledStatus) << said;
            break;
        case Expect::Fails:
            EXPECT_EQ(LastLine(result.err), QuillTPU::kFailedStatus) << said;
            EXPECT_NE(said.find(FailureText(volume, cell)), std::string::npos) << said;
            break;
        }
    }
    FaultVolume healthy({.capacity = kVolumeBytes});
    const CliResult result = speed(healthy).Wait();
    EXPECT_EQ(result.status, 0) << result.err;
}

} // namespace
