// The free-space wipe against a volume that fails on command, through its
// run and through ferrovane-cli. A full volume is how every round of the
// wipe ends; any other fault is reported, and the fill goes wherever the
// volume still answers.
#include "CliProcess.h"
#include "FaultCells.h"
#include "FaultVolume.h"
#include "RecordingPresenter.h"
#include "RecordingTaskHost.h"
#include "platform/DriveTable.h"
#include "tools/wipe/WipeRun.h"
#include "util/TaskScope.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>

#include <signal.h>

namespace {

using namespace FaultCells;
using Clock = std::chrono::steady_clock;
using Wipe::RunOutcome;

struct Cell {
    const char* fault;
    FaultPlan plan;
    Expect expect;
    std::string message = {}; // the report, "@" standing for the volume's path
};

constexpr std::int64_t kMB = 1048576;
constexpr std::int64_t kVolumeBytes = 4 * kMB;
const std::string kFirstFill = "\"@/wp_binary/1\". ";
const std::string kEio = std::strerror(EIO);

// Fill files of 1 MB, two passes. The volume keeps no attributes: the run
// lists its files in a ledger: its header and the line of fill 1 are the 1st
// and 2nd write and flush, and the append for fill 1 is its 1st read.
const Cell kCells[] = {
    {"EIO on the 3rd write",
     {.eioOnWrite = 3},
     Expect::Fails,
     "Cannot write file " + kFirstFill + kEio},
    {"EIO on every fsync",
     {.eioOnSync = 1},
     Expect::Fails,
     "Cannot mark file " + kFirstFill.substr(0, kFirstFill.size() - 2) + " as the wipe's own. " +
         kEio},
    {"EIO from the 3rd flush on",
     {.eioOnSync = 3},
     Expect::Fails,
     "Cannot write file " + kFirstFill + kEio},
    {"EIO on close", {.eioOnClose = true}, Expect::Fails, "Cannot close file " + kFirstFill + kEio},
    {"EIO on the 1st read",
     {.eioOnRead = 1},
     Expect::Fails,
     "Cannot mark file " + kFirstFill.substr(0, kFirstFill.size() - 2) + " as the wipe's own. " +
         kEio},
    // A full volume ends the round, the pass goes on: the normal end.
    {"ENOSPC after 1.5 MB", {.spaceBytes = 3 * kMB / 2}, Expect::Done},
    {"short writes", {.shortWrites = true}, Expect::Done},
    {"5 ms per call", {.delayMs = 5}, Expect::Done},
    {"10 ms per call, canceled", {.delayMs = 10}, Expect::Canceled},
    {"vanishes at the 3rd write",
     {.vanishOnWrite = 3},
     Expect::Fails,
     "Cannot write file " + kFirstFill + kEio},
};

struct Inputs : Wipe::IWipeInputs {
    std::string root;
    std::optional<Platform::ChosenDrive> Drive() override {
        return Platform::ChosenDrive{Platform::DriveForFolder('F', root), {}};
    }
    std::int32_t Passes() override { return 2; }
    std::int32_t BufferSizeMB() override { return 1; }
};

// The fill is gone from the volume; where it vanished, nothing reached the
// folder underneath (another volume, not the run's).
void ExpectCleanedUp(const FaultVolume& volume) {
    if (volume.Vanished()) {
        EXPECT_EQ(NamesIn(volume.Path()), std::vector<std::string>{}) << "written underneath";
    } else {
        EXPECT_EQ(NamesIn(volume.Backing()), std::vector<std::string>{"mine.txt"});
    }
}

// Both passes filled the volume (less its last megabyte, and the user's
// file): a fill that lost the parts the system did not take falls short.
void ExpectFilled(const FaultVolume& volume, const Cell& cell) {
    if (cell.plan.spaceBytes < 0) {
        EXPECT_GE(volume.BytesWritten(), 2 * (kVolumeBytes - kMB));
    }
}

std::string FailureText(const FaultVolume& volume, const Cell& cell) {
    std::string text = cell.message;
    return text.replace(text.find('@'), 1, volume.Path());
}

class WipeFaultTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const auto why = FaultVolume::Unavailable())
            FV_SKIP_UNLESS_CI(*why);
    }
    RunOutcome Run(FaultVolume& volume) {
        presenter.shown.clear();
        inputs.root = volume.Path();
        Wipe::WipeRun run(host, inputs);
        return run.Execute();
    }
    RecordingTaskHost host;
    RecordingPresenter presenter;
    Inputs inputs;
};

TEST_F(WipeFaultTest, EveryFaultIsReportedOrSurvived) {
    for (Cell cell : kCells) {
        SCOPED_TRACE(cell.fault);
        cell.plan.capacity = kVolumeBytes;
        FaultVolume volume(cell.plan);
        const std::string mine = UserFile(volume.Backing());
        host = RecordingTaskHost();
        Clock::time_point canceledAt{};
        if (cell.expect == Expect::Canceled) {
            host.onPump = [&] { // after the first round
                if (!host.cancel) {
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
        ExpectCleanedUp(volume);
        switch (cell.expect) {
        case Expect::Done:
            EXPECT_EQ(outcome, RunOutcome::Done);
            EXPECT_EQ(host.Status(), Wipe::kDoneStatus);
            EXPECT_TRUE(presenter.shown.empty());
            ExpectFilled(volume, cell);
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
    // After all that, a healthy volume is wiped as ever.
    host = RecordingTaskHost();
    FaultVolume healthy({.capacity = kVolumeBytes});
    UserFile(healthy.Backing());
    EXPECT_EQ(Run(healthy), RunOutcome::Done);
    ExpectFilled(healthy, {"healthy", {}, Expect::Done});
    ExpectCleanedUp(healthy);
}

TEST(WipeCliFaultTest, EveryFaultIsReportedOrSurvived) {
    if (const auto why = FaultVolume::Unavailable())
        FV_SKIP_UNLESS_CI(*why);
    auto wipe = [](const FaultVolume& volume) {
        return CliProcess({"wipe", "--passes", "2", "--buffer", "1MB", volume.Path()});
    };
    for (Cell cell : kCells) {
        SCOPED_TRACE(cell.fault);
        cell.plan.capacity = kVolumeBytes;
        FaultVolume volume(cell.plan);
        const std::string mine = UserFile(volume.Backing());
        CliProcess cli = wipe(volume);
        const CliResult result = RunCliCell(
            cli, cell.expect, [&] { return volume.BytesWritten() >= kMB; }, mine);
        ExpectCleanedUp(volume);
        const std::string said = result.out + result.err;
        switch (cell.expect) {
        case Expect::Done:
            EXPECT_EQ(LastLine(result.err), Wipe::kDoneStatus) << said;
            ExpectFilled(volume, cell);
            break;
        case Expect::Canceled:
            EXPECT_EQ(LastLine(result.err), QuillTPU::kCanceledStatus) << said;
            break;
        case Expect::Fails:
            // The status comes before the message here.
            EXPECT_NE(said.find(std::string(QuillTPU::kFailedStatus) + "\n"), std::string::npos)
                << said;
            EXPECT_EQ(said.find(Wipe::kDoneStatus), std::string::npos) << said;
            EXPECT_NE(said.find(FailureText(volume, cell)), std::string::npos) << said;
            break;
        }
    }
    FaultVolume healthy({.capacity = kVolumeBytes});
    UserFile(healthy.Backing());
    const CliResult result = wipe(healthy).Wait();
    EXPECT_EQ(result.status, 0) << result.err;
    ExpectCleanedUp(healthy);
}

} // namespace
