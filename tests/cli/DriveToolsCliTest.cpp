// ferrovane-cli speed and wipe on a small tmpfs: the speed test's JSON, and
// a wipe that leaves the volume as it found it, also after SIGTERM.
#include "CliProcess.h"
#include "TestVolume.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include <sys/statvfs.h>

namespace fs = std::filesystem;

namespace {

std::uint64_t FreeBytes(const std::string& path) {
    struct statvfs info {};
    ::statvfs(path.c_str(), &info);
    return static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize;
}

} // namespace

TEST(DriveToolsCli, SpeedPrintsBothFiguresAsJsonAndLeavesNothing) {
    std::string why;
    const auto volume = TestVolume::Tmpfs(16 * 1048576, false, &why);
    if (!volume)
        GTEST_SKIP() << why;
    const CliResult result = RunCli({"speed", "--size", "4MB", "--json", volume->MountPoint()});
    ASSERT_EQ(result.status, 0) << result.err;
    const std::regex json("\\{\"letter\": \"[C-Z]\", \"mountPoint\": \"" + volume->MountPoint() +
                          "\", \"testSizeMB\": 4, \"writeMBps\": [0-9.]+, \"readMBps\": "
                          "[0-9.]+, \"writeSpeed\": \">?[0-9.]+MB/sec\", \"readSpeed\": "
                          "\">?[0-9.]+MB/sec\"\\}\n");
    EXPECT_TRUE(std::regex_match(result.out, json)) << result.out;
    EXPECT_TRUE(fs::is_empty(volume->MountPoint()));

    // Without --json: the log lines.
    const CliResult log = RunCli({"speed", "--size", "4MB", volume->MountPoint() + "/"});
    EXPECT_EQ(log.status, 0) << log.err;
    EXPECT_NE(log.out.find("Write speed: "), std::string::npos) << log.out;
    EXPECT_NE(log.out.find("Read speed: "), std::string::npos) << log.out;
}

TEST(DriveToolsCli, WipeLeavesTheVolumeAsItWasDoneOrCanceled) {
    std::string why;
    const auto volume = TestVolume::Tmpfs(32 * 1048576, false, &why);
    if (!volume)
        GTEST_SKIP() << why;
    const std::string mine = volume->MountPoint() + "/mine.txt";
    std::ofstream(mine) << "my own file";
    const std::uint64_t freeBefore = FreeBytes(volume->MountPoint());

    const CliResult done = RunCli({"wipe", "--passes", "1", "--buffer", "4MB", mine});
    EXPECT_EQ(done.status, 0) << done.err;
    EXPECT_NE(done.err.find("Done"), std::string::npos) << done.err;

    // Many small rounds: SIGTERM comes in the middle of a pass.
    CliProcess cli({"wipe", "--passes", "16", "--buffer", "1MB", volume->MountPoint()});
    ASSERT_TRUE(CliProcess::WaitFor([&] { return FreeBytes(volume->MountPoint()) < freeBefore; }));
    cli.Signal(SIGTERM);
    const CliResult canceled = cli.Wait();
    EXPECT_EQ(canceled.status, 130) << canceled.err;
    EXPECT_NE(canceled.err.find("  CANCELED!"), std::string::npos) << canceled.err;

    for (const auto& entry : fs::directory_iterator(volume->MountPoint()))
        EXPECT_EQ(entry.path(), mine) << "left behind";
    EXPECT_EQ(ReadAll(mine), "my own file");
    EXPECT_EQ(FreeBytes(volume->MountPoint()), freeBefore);
}

// A closed output pipe stops a run through its cancel path, never through
// SIGPIPE: no fill and no test file stay, and the status is 1.
TEST(DriveToolsCli, AClosedOutputPipeStopsTheRunAndLeavesNothing) {
    std::string why;
    const auto volume = TestVolume::Tmpfs(64 * 1048576, false, &why);
    if (!volume)
        GTEST_SKIP() << why;
    const std::string root = volume->MountPoint();
    const std::uint64_t freeBefore = FreeBytes(root);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"wipe", "--passes", "16", "--buffer", "1MB", root},
          std::vector<std::string>{"speed", "--size", "32MB", root}}) {
        SCOPED_TRACE(args[0]);
        CliOptions options;
        options.closedPipe = true;
        EXPECT_EQ(RunCli(args, options).status, 1);
        EXPECT_TRUE(fs::is_empty(root));
        EXPECT_EQ(FreeBytes(root), freeBefore);
    }
}
