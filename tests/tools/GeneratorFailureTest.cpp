// Runs that stop: failed input checks, and files that cannot be created or
// written. None of them may end with "Done in" or the beep.
#include "GeneratorFixture.h"
#include "PrivateMounts.h"

#include "platform/VolumeQuery.h"

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
    EXPECT_EQ(Run(), RunOutcome::Declined);
    ASSERT_EQ(presenter.shown.size(), 1u);
    EXPECT_EQ(presenter.shown[0].text, Generator::kEmptyTextMessage);
    EXPECT_EQ(host.events, (std::vector<std::string>{"BeginTask", "ClearCancel", "EndTask"}));
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
    EXPECT_EQ(Run(), RunOutcome::Declined);
    ASSERT_EQ(presenter.shown.size(), 1u);
    EXPECT_EQ(presenter.shown[0].text.rfind("Cannot create folder: ", 0), 0u);
    EXPECT_EQ(host.events, (std::vector<std::string>{"BeginTask", "ClearCancel", "EndTask"}));
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
    // The output folder goes while the run is on.
    inputs.output = dir / "out";
    host.onPump = [&] {
        if (std::filesystem::exists(dir / "out/AutoGen1.Bin") &&
            std::filesystem::file_size(dir / "out/AutoGen1.Bin") == 2000)
            std::filesystem::rename(dir / "out", dir / "moved");
    };
    EXPECT_EQ(Run(), RunOutcome::Failed);
    EXPECT_EQ(std::filesystem::file_size(dir / "moved/AutoGen1.Bin"), 2000u);
    EXPECT_FALSE(std::filesystem::exists(dir / "out"));
    ASSERT_EQ(presenter.shown.size(), 1u);
    EXPECT_EQ(presenter.shown[0].kind, QuillTPU::MessageKind::Error);
    const std::string& text = presenter.shown[0].text;
    EXPECT_NE(text.find(dir / "out/AutoGen2.Bin"), std::string::npos) << text;
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
    if (!MayMount())
        GTEST_SKIP() << "mounting a small volume needs root or a user namespace";
    TempDir mountPoint;
    if (::mount("fvtest", mountPoint.Path().c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
    struct Unmount {
        std::string path;
        ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
    } unmount{mountPoint.Path()};

    inputs.output = mountPoint.Path();
    presenter.answer = true; // asked about the space first, and told to go on
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

// Nothing typed into the pattern fields leads out of the output folder, and
// a link under a pattern name is replaced as a link, its target untouched.
TEST_F(GeneratorTest, PatternNamesStayInTheFolderAndNeverWriteThroughALink) {
    const std::pair<std::string, std::string> escapes[] = {
        {"../esc", "Bin"}, {"sub/x", "Bin"}, {"ok", "a/b"}, {std::string("nul\0x", 5), "Bin"}};
    for (const auto& [name, ext] : escapes) {
        SCOPED_TRACE(name + "." + ext);
        presenter.shown.clear();
        inputs.patternName = name;
        inputs.patternExtension = ext;
        EXPECT_EQ(Run(), RunOutcome::Declined);
        ASSERT_EQ(presenter.shown.size(), 1u);
        EXPECT_EQ(
            presenter.shown[0].text.rfind(ext == "a/b" ? "The extension" : "The file name", 0), 0u);
        EXPECT_TRUE(Names().empty());
    }
    // Edited while the run goes on (the window allows it): the next file stops the run.
    presenter.shown.clear();
    inputs.patternName = "ok";
    inputs.patternExtension = "Bin";
    inputs.count = 3;
    host.onPump = [&] {
        if (SizeOf("ok1.Bin") >= 0)
            inputs.patternName = "../esc";
    };
    EXPECT_EQ(Run(), RunOutcome::Failed);
    EXPECT_EQ(Names(), (std::vector<std::string>{"ok1.Bin"}));
    ASSERT_EQ(presenter.shown.size(), 1u);
    EXPECT_EQ(presenter.shown[0].text.rfind("The file name", 0), 0u);
    host.onPump = nullptr;
    std::filesystem::remove(dir / "ok1.Bin");
    inputs.count = 1;
    EXPECT_FALSE(
        std::filesystem::exists(std::filesystem::path(dir.Path()).parent_path() / "esc1.Bin"));
    EXPECT_FALSE(
        std::filesystem::exists(std::filesystem::path(dir.Path()).parent_path() / "esc2.Bin"));

    TempDir elsewhere;
    const std::string target = elsewhere.Write("user.txt", "the user's data");
    std::filesystem::create_symlink(target, dir / "Link1.txt");
    inputs.patternName = "Link";
    inputs.patternExtension = "txt";
    inputs.size = 100;
    EXPECT_EQ(Run(), RunOutcome::Done);
    EXPECT_EQ(ReadAll(target), "the user's data");
    EXPECT_FALSE(std::filesystem::is_symlink(dir / "Link1.txt"));
    EXPECT_EQ(SizeOf("Link1.txt"), 100);
}

// More than the volume holds: asked first; No writes nothing, Yes runs.
TEST_F(GeneratorTest, ARunLargerThanTheFreeSpaceAsksFirst) {
    Platform::ScopedVolumeQuery tenMB([](const std::string&, int*) {
        return std::optional<Platform::VolumeBlocks>({4096, 1 << 20, 2560, 2560});
    });
    inputs.count = 3;
    inputs.size = 4 * MB;
    for (const bool yes : {false, true}) {
        presenter.answer = yes;
        presenter.questions.clear();
        EXPECT_EQ(Run(), yes ? RunOutcome::Done : RunOutcome::Declined);
        ASSERT_EQ(presenter.questions.size(), 1u);
        EXPECT_EQ(presenter.questions[0],
                  "Confirm|The files need 12.0 MB, but only 10.0 MB is free on this drive.\r\n"
                  "Create them anyway?");
        EXPECT_EQ(Names().size(), yes ? 3u : 0u);
        EXPECT_FALSE(host.busy);
    }
    // A stop requested while the question was open (a stop signal, the
    // window closed) outlives a Yes.
    presenter.onQuestion = [&] { host.cancel = true; };
    EXPECT_EQ(Run(), RunOutcome::Canceled);
    EXPECT_EQ(host.Status(), Generator::kCanceledStatus);
    EXPECT_EQ(Names().size(), 3u); // the files of the Yes above, none more
    presenter.onQuestion = nullptr;
    inputs.count = 2; // 8 MB fit: no question
    presenter.questions.clear();
    EXPECT_EQ(Run(), RunOutcome::Done);
    EXPECT_TRUE(presenter.questions.empty());
}
