// Runs that stop: failed input checks, and files that cannot be created or
// written. None of them may end with "Done in" or the beep.
#include "GeneratorFixture.h"

#include <sys/mount.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

using Generator::RunOutcome;

namespace {

void ExpectStoppedCleanly(const RecordingTaskHost& host, int beeps) {
    EXPECT_FALSE(host.busy) << "Cancel left visible";
    EXPECT_EQ(host.events.back(), "EndTask");
    EXPECT_EQ(beeps, 0);
}

} // namespace

TEST_F(GeneratorTest, EmptyFillTextStopsBeforeAnything) {
    inputs.randomContent = false; // the fill text chosen, or neither choice marked
    inputs.fillText.clear();
    EXPECT_EQ(Run(), RunOutcome::Stopped);
    ASSERT_EQ(presenter.shown.size(), 1u);
    EXPECT_EQ(presenter.shown[0].text, Generator::kEmptyTextMessage);
    EXPECT_EQ(host.events, (std::vector<std::string>{"BeginTask", "EndTask"}));
    EXPECT_TRUE(Names().empty());
    EXPECT_EQ(beeps, 0);
}

TEST_F(GeneratorTest, EmptyFillTextIsNoObstacleToRandomContent) {
    inputs.fillText.clear();
    EXPECT_EQ(Run(), RunOutcome::Done);
    EXPECT_EQ(Names().size(), 1u);
}

TEST_F(GeneratorTest, EmptyOutputFolderStopsWithTheFolderMessage) {
    inputs.output.clear();
    EXPECT_EQ(Run(), RunOutcome::Stopped);
    ASSERT_EQ(presenter.shown.size(), 1u);
    EXPECT_EQ(presenter.shown[0].text.rfind("Cannot create folder: ", 0), 0u);
    EXPECT_EQ(host.events, (std::vector<std::string>{"BeginTask", "EndTask"}));
    EXPECT_TRUE(Names().empty());
    EXPECT_FALSE(std::filesystem::exists("AutoGen1.Bin")); // nothing in the working folder
}

TEST_F(GeneratorTest, MissingOutputFolderIsCreated) {
    inputs.output = dir / "new/deeper";
    EXPECT_EQ(Run(), RunOutcome::Done);
    EXPECT_TRUE(std::filesystem::exists(dir / "new/deeper/AutoGen1.Bin"));
}

TEST_F(GeneratorTest, FileThatCannotBeCreatedStopsTheRunWithTheReason) {
    inputs.count = 3;
    inputs.size = 2000;
    host.onPump = [&] {
        if (SizeOf("AutoGen1.Bin") == 2000)
            inputs.patternName = "no such folder/AutoGen";
    };
    EXPECT_EQ(Run(), RunOutcome::Failed);
    EXPECT_EQ(Names(), (std::vector<std::string>{"AutoGen1.Bin"}));
    EXPECT_EQ(SizeOf("AutoGen1.Bin"), 2000);
    ASSERT_EQ(presenter.shown.size(), 1u);
    EXPECT_EQ(presenter.shown[0].kind, QuillTPU::MessageKind::Error);
    const std::string& text = presenter.shown[0].text;
    EXPECT_NE(text.find(dir / "no such folder/AutoGen2.Bin"), std::string::npos) << text;
    EXPECT_NE(text.find(std::strerror(ENOENT)), std::string::npos) << text;
    EXPECT_EQ(host.Status(), Generator::kFailedStatus);
    ExpectStoppedCleanly(host, beeps);
}

TEST_F(GeneratorTest, FillTextEmptiedDuringTheRunStopsIt) {
    inputs.randomContent = false;
    inputs.count = 3;
    host.onPump = [&] {
        if (SizeOf("AutoGen1.Bin") == 1)
            inputs.fillText.clear();
    };
    EXPECT_EQ(Run(), RunOutcome::Failed);
    EXPECT_EQ(Names(), (std::vector<std::string>{"AutoGen1.Bin"}));
    ASSERT_EQ(presenter.shown.size(), 1u);
    EXPECT_EQ(presenter.shown[0].text, Generator::kEmptyTextMessage);
    EXPECT_EQ(host.Status(), Generator::kFailedStatus);
    ExpectStoppedCleanly(host, beeps);
}

TEST_F(GeneratorTest, OutputFolderEmptiedDuringTheRunStopsIt) {
    // An empty folder text would put the next files into whatever folder the
    // program happens to run in.
    TempDir cwd;
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(cwd.Path());
    inputs.count = 3;
    host.onPump = [&] {
        if (SizeOf("AutoGen1.Bin") == 1)
            inputs.output.clear();
    };
    const RunOutcome outcome = Run();
    const bool wroteIntoCwd = !std::filesystem::is_empty(cwd.Path());
    std::filesystem::current_path(previous);
    EXPECT_EQ(outcome, RunOutcome::Failed);
    EXPECT_FALSE(wroteIntoCwd);
    EXPECT_EQ(Names(), (std::vector<std::string>{"AutoGen1.Bin"}));
    ASSERT_EQ(presenter.shown.size(), 1u);
    EXPECT_EQ(presenter.shown[0].text.rfind("Cannot create folder: ", 0), 0u);
    EXPECT_EQ(host.Status(), Generator::kFailedStatus);
    ExpectStoppedCleanly(host, beeps);
}

// A volume that fills up in the middle of the third file.
TEST_F(GeneratorTest, FullVolumeStopsTheRunWithTheMessage) {
    if (!RunningAsRoot())
        GTEST_SKIP() << "mounting a small volume needs root";
    TempDir mountPoint;
    if (::mount("fvtest", mountPoint.Path().c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
    struct Unmount {
        std::string path;
        ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
    } unmount{mountPoint.Path()};

    inputs.output = mountPoint.Path();
    inputs.count = 5;
    inputs.size = 400 * 1024;
    inputs.bufferKB = 100;
    EXPECT_EQ(Run(), RunOutcome::Failed);
    EXPECT_EQ(std::filesystem::file_size(mountPoint / "AutoGen1.Bin"), 400u * 1024);
    EXPECT_EQ(std::filesystem::file_size(mountPoint / "AutoGen2.Bin"), 400u * 1024);
    EXPECT_FALSE(std::filesystem::exists(mountPoint / "AutoGen4.Bin"));
    ASSERT_EQ(presenter.shown.size(), 1u);
    const std::string& text = presenter.shown[0].text;
    EXPECT_NE(text.find(mountPoint / "AutoGen3.Bin"), std::string::npos) << text;
    EXPECT_NE(text.find(std::strerror(ENOSPC)), std::string::npos) << text;
    EXPECT_EQ(host.Status(), Generator::kFailedStatus);
    ExpectStoppedCleanly(host, beeps);
}

TEST_F(GeneratorTest, AnErrorLeavingTheRunEndsItsTask) {
    inputs.count = 3;
    int pumps = 0;
    host.onPump = [&] {
        if (++pumps == 3)
            throw std::runtime_error("Float number is NAN!");
    };
    EXPECT_THROW(Run(), std::runtime_error);
    EXPECT_FALSE(host.busy) << "Cancel left visible";
    EXPECT_EQ(host.events.back(), "EndTask");
    EXPECT_EQ(std::count(host.events.begin(), host.events.end(), "EndTask"), 1);
}
