// The merge against a volume that fails on command, sources and output on
// it, through its run and through ferrovane-cli. What was merged before a
// failure stays in the output: a prefix of the whole, and every byte the
// volume took is in it.
#include "CliProcess.h"
#include "FaultCells.h"
#include "FaultVolume.h"
#include "RecordingPresenter.h"
#include "RecordingTaskHost.h"
#include "platform/Errors.h"
#include "tools/merge/MergeRun.h"

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
using Merge::RunOutcome;

struct Cell {
    const char* fault;
    FaultPlan plan;
    Expect expect;
    std::string message = {}; // in the report, "@" standing for the volume's path
};

const std::string kEio = std::strerror(EIO);
const std::string kOutput = "\"@/out.txt\". ";

// Three sources of 100000 bytes (two blocks each), a separator after each.
const Cell kCells[] = {
    {"EIO on the 3rd write",
     {.eioOnWrite = 3},
     Expect::Fails,
     "Cannot write file " + kOutput + kEio},
    // The merge does not flush: a failing fsync never reaches it.
    {"EIO on fsync", {.eioOnSync = 1}, Expect::Done},
    {"EIO on close", {.eioOnClose = true}, Expect::Fails, "Cannot write file " + kOutput + kEio},
    // The copy inside the kernel gives up on a failed read and the blocks
    // read again: a failure that does not last costs the merge nothing.
    {"EIO on the 1st read", {.eioOnRead = 1}, Expect::Done},
    {"ENOSPC after 150000 bytes",
     {.spaceBytes = 150000},
     Expect::Fails,
     "Cannot write file " + kOutput + std::strerror(ENOSPC)},
    {"short writes", {.shortWrites = true}, Expect::Done},
    {"5 ms per call", {.delayMs = 5}, Expect::Done},
    {"vanishes at the 3rd write",
     {.vanishOnWrite = 3},
     Expect::Fails,
     "Cannot write file " + kOutput + kEio},
};

// The command line's merge stops on Ctrl+C; the window's cannot be stopped.
const Cell kCliCancel = {"20 ms per call, Ctrl+C", {.delayMs = 20}, Expect::Canceled};

constexpr std::size_t kSourceBytes = 100000;
const std::vector<std::string> kNames = {"a.txt", "B.txt", "c.txt"};

std::string Source(std::size_t index) {
    std::string s(kSourceBytes, '\0');
    for (std::size_t i = 0; i < s.size(); ++i)
        s[i] = static_cast<char>('a' + index + i * 7 + i / 251);
    return s;
}

std::string Whole() {
    std::string whole;
    for (std::size_t i = 0; i < kNames.size(); ++i)
        whole += Source(i) + "|";
    return whole;
}

// The sources in "in", written behind the volume's back: the faults count
// only the tool's calls.
void MakeSources(const FaultVolume& volume) {
    std::filesystem::create_directory(volume.Backing() + "/in");
    for (std::size_t i = 0; i < kNames.size(); ++i)
        std::ofstream(volume.Backing() + "/in/" + kNames[i], std::ios::binary) << Source(i);
}

std::string Fill(std::string text, const FaultVolume& volume) {
    return text.replace(text.find('@'), 1, volume.Path());
}

// What the output holds: all of it, or what was written before the fault.
void ExpectOutput(const FaultVolume& volume, const Cell& cell) {
    if (volume.Vanished()) {
        EXPECT_EQ(NamesIn(volume.Path()), std::vector<std::string>{}) << "written underneath";
        return;
    }
    const std::string merged = ReadAll(volume.Backing() + "/out.txt");
    if (cell.expect == Expect::Done) {
        EXPECT_TRUE(merged == Whole()) << "the output differs, " << merged.size() << " bytes";
        return;
    }
    EXPECT_LT(merged.size(), Whole().size());
    EXPECT_TRUE(merged == Whole().substr(0, merged.size())) << "not the start of the whole";
    EXPECT_EQ(static_cast<std::int64_t>(merged.size()), volume.BytesWritten())
        << "what the volume took is not all in the output";
    for (std::size_t i = 0; i < kNames.size(); ++i)
        EXPECT_TRUE(ReadAll(volume.Backing() + "/in/" + kNames[i]) == Source(i)) << kNames[i];
}

struct Inputs : Merge::IMergeInputs {
    std::string root;
    std::vector<std::string> ListedFiles() override { return kNames; }
    std::string Folder() override { return root + "/in"; }
    std::string OutputName() override { return root + "/out.txt"; }
    std::string SeparatorText() override { return "|"; }
};

class MergeFaultTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const auto why = FaultVolume::Unavailable())
            FV_SKIP_UNLESS_CI(*why);
    }
    // The run's outcome, or the text of the error that ended it.
    std::string Run(const FaultVolume& volume) {
        inputs.root = volume.Path();
        Merge::MergeRun run(host, inputs);
        try {
            return run.Execute() == RunOutcome::Done ? "Done" : "not done";
        } catch (const FvError& e) {
            return e.what();
        }
    }
    RecordingTaskHost host;
    RecordingPresenter presenter;
    Inputs inputs;
};

TEST_F(MergeFaultTest, EveryFaultIsReportedOrSurvived) {
    for (const Cell& cell : kCells) {
        SCOPED_TRACE(cell.fault);
        FaultVolume volume(cell.plan);
        const std::string mine = UserFile(volume.Backing());
        MakeSources(volume);
        const auto start = Clock::now();
        const std::string said = Run(volume);
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(10));
        EXPECT_EQ(ReadAll(mine), "the user's") << "the user's file changed";
        if (cell.expect == Expect::Done)
            EXPECT_EQ(said, "Done");
        else
            EXPECT_NE(said.find(Fill(cell.message, volume)), std::string::npos) << said;
        ExpectOutput(volume, cell);
    }
    FaultVolume healthy;
    MakeSources(healthy);
    EXPECT_EQ(Run(healthy), "Done");
    ExpectOutput(healthy, {"healthy", {}, Expect::Done});
}

TEST(MergeCliFaultTest, EveryFaultIsReportedOrSurvived) {
    if (const auto why = FaultVolume::Unavailable())
        FV_SKIP_UNLESS_CI(*why);
    auto merge = [](const FaultVolume& volume) {
        return CliProcess({"merge", "--separator", "|", "--replace", volume.Path() + "/in",
                           volume.Path() + "/out.txt"});
    };
    std::vector<Cell> cells(std::begin(kCells), std::end(kCells));
    cells.push_back(kCliCancel);
    for (const Cell& cell : cells) {
        SCOPED_TRACE(cell.fault);
        FaultVolume volume(cell.plan);
        const std::string mine = UserFile(volume.Backing());
        MakeSources(volume);
        CliProcess cli = merge(volume);
        const CliResult result = RunCliCell(
            cli, cell.expect, [&] { return volume.Writes() >= 1; }, mine);
        const std::string said = result.out + result.err;
        switch (cell.expect) {
        case Expect::Done:
            break;
        case Expect::Canceled:
            break;
        case Expect::Fails:
            EXPECT_NE(said.find(Fill(cell.message, volume)), std::string::npos) << said;
            break;
        }
        ExpectOutput(volume, cell);
    }
    FaultVolume healthy;
    MakeSources(healthy);
    const CliResult result = merge(healthy).Wait();
    EXPECT_EQ(result.status, 0) << result.err;
    ExpectOutput(healthy, {"healthy", {}, Expect::Done});
}

} // namespace
