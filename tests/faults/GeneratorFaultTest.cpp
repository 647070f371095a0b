// The generator against a volume that fails on command: through its run (as
// the window drives it) and through ferrovane-cli. One table per front end;
// each row is one fault and what the user must see.
#include "CliProcess.h"
#include "FaultCells.h"
#include "FaultVolume.h"
#include "GeneratorFixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include <signal.h>

namespace {

using namespace FaultCells;
using Clock = std::chrono::steady_clock;
using Generator::RunOutcome;

struct Cell {
    const char* fault;
    FaultPlan plan;
    Expect expect;
    std::string failingFile = {}; // the file the report names
    int reason = 0;               // the errno whose text the report carries
};

// Three files of 64 KB, two write calls each (a fill text of 11 characters
// makes blocks of 65527 bytes, then the rest): the 3rd call is file 2's first.
const Cell kCells[] = {
    {"EIO on the 3rd write", {.eioOnWrite = 3}, Expect::Fails, "AutoGen2.Bin", EIO},
    {"EIO on close", {.eioOnClose = true}, Expect::Fails, "AutoGen1.Bin", EIO},
    // The generator neither syncs nor reads back: these faults never reach it.
    {"EIO on fsync", {.eioOnSync = 1}, Expect::Done},
    {"EIO on the 1st read", {.eioOnRead = 1}, Expect::Done},
    {"ENOSPC after 100 KB", {.spaceBytes = 100 * 1024}, Expect::Fails, "AutoGen2.Bin", ENOSPC},
    {"short writes", {.shortWrites = true}, Expect::Done},
    {"20 ms per call", {.delayMs = 20}, Expect::Done},
    {"200 ms per call, canceled", {.delayMs = 200}, Expect::Canceled},
    {"vanishes at the 3rd write", {.vanishOnWrite = 3}, Expect::Fails, "AutoGen2.Bin", EIO},
};

constexpr std::int64_t kFileBytes = 64 * 1024;

// On a small volume of its own: the room the generator checks for, and the
// writes, are the cell's alone, not those of the disk the tests run on.
FaultPlan OwnVolume(FaultPlan plan) {
    plan.capacity = 4 * 1048576;
    return plan;
}

// The three files as a healthy volume gets them.
std::string Reference() {
    std::string pattern;
    while (pattern.size() < static_cast<std::size_t>(kFileBytes))
        pattern += "dummy text ";
    return pattern.substr(0, kFileBytes);
}

// What every failing cell leaves: the files before the failing one complete,
// none after it, and nothing on the volume under a vanished one.
void ExpectFilesBefore(const FaultVolume& volume, const Cell& cell) {
    const int failing = cell.failingFile[7] - '0';
    for (int i = 1; i < failing; ++i)
        EXPECT_TRUE(ReadAll(volume.Backing() + "/AutoGen" + std::to_string(i) + ".Bin") ==
                    Reference())
            << "file " << i << " is not complete";
    for (int i = failing + 1; i <= 3; ++i)
        EXPECT_FALSE(
            std::filesystem::exists(volume.Backing() + "/AutoGen" + std::to_string(i) + ".Bin"))
            << "file " << i;
    if (volume.Vanished()) {
        EXPECT_TRUE(NamesIn(volume.Path()).empty()) << "written onto the volume underneath";
    }
}

void ExpectAllComplete(const FaultVolume& volume) {
    EXPECT_EQ(NamesIn(volume.Backing()), (std::vector<std::string>{"AutoGen1.Bin", "AutoGen2.Bin",
                                                                   "AutoGen3.Bin", "mine.txt"}));
    for (const auto& name : {"AutoGen1.Bin", "AutoGen2.Bin", "AutoGen3.Bin"})
        EXPECT_TRUE(ReadAll(volume.Backing() + "/" + name) == Reference()) << name << " differs";
}

class GeneratorFaultTest : public GeneratorTest {
protected:
    void SetUp() override {
        if (const auto why = FaultVolume::Unavailable())
            FV_SKIP_UNLESS_CI(*why);
        inputs.count = 3;
        inputs.size = kFileBytes;
        inputs.bufferKB = 64;
        inputs.randomContent = false;
    }
};

TEST_F(GeneratorFaultTest, EveryFaultIsReportedOrSurvived) {
    for (const Cell& cell : kCells) {
        SCOPED_TRACE(cell.fault);
        FaultVolume volume(OwnVolume(cell.plan));
        const std::string mine = UserFile(volume.Backing());
        host = RecordingTaskHost();
        presenter.shown.clear();
        beeps = 0;
        inputs.output = volume.Path();
        Clock::time_point canceledAt{};
        if (cell.expect == Expect::Canceled) {
            host.onPump = [&] {
                if (volume.Writes() >= 1 && !host.cancel) {
                    host.cancel = true;
                    canceledAt = Clock::now();
                }
            };
        }
        const auto start = Clock::now();
        const RunOutcome outcome = Run();
        const auto end = Clock::now();
        EXPECT_LT(end - start, std::chrono::seconds(10));
        EXPECT_EQ(ReadAll(mine), "the user's") << "the user's file changed";
        EXPECT_FALSE(host.busy);
        switch (cell.expect) {
        case Expect::Done:
            EXPECT_EQ(outcome, RunOutcome::Done);
            EXPECT_TRUE(presenter.shown.empty());
            EXPECT_EQ(beeps, 1);
            ExpectAllComplete(volume);
            break;
        case Expect::Canceled:
            EXPECT_EQ(outcome, RunOutcome::Canceled);
            EXPECT_EQ(host.Status(), Generator::kCanceledStatus);
            EXPECT_LT(end - canceledAt, std::chrono::seconds(1));
            EXPECT_EQ(beeps, 0);
            break;
        case Expect::Fails: {
            EXPECT_EQ(outcome, RunOutcome::Failed);
            EXPECT_EQ(host.Status(), Generator::kFailedStatus);
            EXPECT_EQ(beeps, 0);
            ASSERT_EQ(presenter.shown.size(), 1u);
            const std::string& text = presenter.shown[0].text;
            EXPECT_NE(text.find(volume.Path() + "/" + cell.failingFile), std::string::npos) << text;
            EXPECT_NE(text.find(std::strerror(cell.reason)), std::string::npos) << text;
            ExpectFilesBefore(volume, cell);
            break;
        }
        }
    }
}

TEST(GenerateCliFaultTest, EveryFaultIsReportedOrSurvived) {
    if (const auto why = FaultVolume::Unavailable())
        FV_SKIP_UNLESS_CI(*why);
    for (const Cell& cell : kCells) {
        SCOPED_TRACE(cell.fault);
        FaultVolume volume(OwnVolume(cell.plan));
        const std::string mine = UserFile(volume.Backing());
        CliProcess cli({"generate", "--count", "3", "--size", "64KB", "--buffer", "64KB", "--text",
                        "dummy text ", "--name", "AutoGen", "--ext", "Bin", "--yes",
                        volume.Path()});
        const CliResult result = RunCliCell(
            cli, cell.expect, [&] { return volume.Writes() >= 1; }, mine);
        const std::string said = result.out + result.err;
        switch (cell.expect) {
        case Expect::Done:
            ExpectAllComplete(volume);
            break;
        case Expect::Canceled:
            EXPECT_EQ(LastLine(result.err), Generator::kCanceledStatus) << said;
            break;
        case Expect::Fails:
            EXPECT_EQ(LastLine(result.err), Generator::kFailedStatus) << said;
            EXPECT_NE(said.find(volume.Path() + "/" + cell.failingFile), std::string::npos) << said;
            EXPECT_NE(said.find(std::strerror(cell.reason)), std::string::npos) << said;
            ExpectFilesBefore(volume, cell);
            break;
        }
    }
}

} // namespace
