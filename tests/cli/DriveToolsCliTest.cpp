// ferrovane-cli speed and wipe on a small tmpfs: the speed test's JSON, and
// a wipe that leaves the volume as it found it, also after SIGTERM.
#include "CliProcess.h"
#include "TempDir.h"
#include "TestVolume.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <thread>

#include <locale.h>
#include <sys/mount.h>
#include <sys/stat.h>
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
                          "\">?[0-9.]+MB/sec\", \"writeBytes\": 4194304, .*\\}\n");
    EXPECT_TRUE(std::regex_match(result.out, json)) << result.out;
    EXPECT_TRUE(fs::is_empty(volume->MountPoint()));

    // Without --json: the log lines.
    const CliResult log = RunCli({"speed", "--size", "4MB", volume->MountPoint() + "/"});
    EXPECT_EQ(log.status, 0) << log.err;
    EXPECT_NE(log.out.find("Write speed: "), std::string::npos) << log.out;
    EXPECT_NE(log.out.find("Read speed: "), std::string::npos) << log.out;
}

// A user whose locale writes a decimal comma still gets JSON numbers, the
// same figures as the texts beside them. Where no such locale is installed,
// one is built from the system's locale sources.
TEST(DriveToolsCli, SpeedJsonNumbersUnderADecimalCommaLocale) {
    std::string why;
    const auto volume = TestVolume::Tmpfs(16 * 1048576, false, &why);
    if (!volume)
        GTEST_SKIP() << why;
    TempDir locales;
    const std::string name = "de_DE.UTF-8";
    const locale_t installed = newlocale(LC_NUMERIC_MASK, name.c_str(), static_cast<locale_t>(0));
    if (installed)
        freelocale(installed);
    else if (std::system(
                 ("localedef -i de_DE -f UTF-8 " + (locales / name) + " 2>/dev/null").c_str()) != 0)
        GTEST_SKIP() << "no decimal-comma locale is installed and localedef cannot build one";
    struct ScopedEnv {
        ScopedEnv(const std::string& dir, const std::string& locale) {
            ::setenv("LOCPATH", dir.c_str(), 1);
            ::setenv("LC_ALL", locale.c_str(), 1);
        }
        ~ScopedEnv() {
            ::unsetenv("LOCPATH");
            ::unsetenv("LC_ALL");
        }
    } env(locales.Path(), name);

    const CliResult result = RunCli({"speed", "--size", "2MB", "--json", volume->MountPoint()});
    ASSERT_EQ(result.status, 0) << result.err;
    const std::regex json(".*\"writeMBps\": ([0-9.]+), \"readMBps\": ([0-9.]+), \"writeSpeed\": "
                          "\">?([0-9.]+)MB/sec\", \"readSpeed\": \">?([0-9.]+)MB/sec\".*\n");
    std::smatch figures;
    ASSERT_TRUE(std::regex_match(result.out, figures, json)) << result.out;
    EXPECT_EQ(figures[1], figures[3]);
    EXPECT_EQ(figures[2], figures[4]);
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

// PATH's volume is resolved once and pinned: a neighbour mounted and
// unmounted in a tight loop, at a place that sorts before it (which moved
// every letter after it), is never written to, and every run wipes PATH's.
TEST(DriveToolsCli, WipeStaysOnPathsVolumeWhileANeighbourComesAndGoes) {
    TempDir places;
    const std::string path = places / "p";
    const std::string neighbour = places / "a";
    fs::create_directory(path);
    fs::create_directory(neighbour);
    // Sizes tell the volumes apart in the run's progress line ("of 2").
    if (::mount("tmpfs", path.c_str(), "tmpfs", 0, "size=2m") != 0)
        GTEST_SKIP() << "mounting needs root";
    std::atomic<bool> stop{false};
    std::atomic<int> touched{0};
    std::atomic<int> rounds{0};
    std::thread loop([&] {
        while (!stop) {
            if (::mount("tmpfs", neighbour.c_str(), "tmpfs", 0, "size=6m") != 0)
                continue;
            // A run that only looks at the table may hold the mount for a
            // moment (the unmount then finds it busy); a run that wrote there
            // leaves its folder.
            if (!fs::is_empty(neighbour))
                ++touched;
            ::umount2(neighbour.c_str(), MNT_DETACH);
            ++rounds;
        }
    });
    int wrong = 0;
    for (int run = 0; run < 250; ++run) {
        const CliResult result = RunCli({"wipe", "--passes", "1", "--buffer", "1MB", path});
        if (result.status != 0 || result.err.find(" of 2.") == std::string::npos ||
            result.err.find(" of 6.") != std::string::npos)
            ++wrong;
    }
    stop = true;
    loop.join();
    ::umount2(path.c_str(), MNT_DETACH);
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(touched, 0);
    EXPECT_GT(rounds, 250);
}

// The command line serves every volume, also those beyond Z: ("letter":
// null, "-" in the list).
TEST(DriveToolsCli, EveryVolumeIsListedAndTestedAlsoBeyondZ) {
    TempDir places;
    std::vector<std::string> points;
    struct Unmount {
        std::vector<std::string>& points;
        ~Unmount() {
            for (const auto& point : points)
                ::umount2(point.c_str(), MNT_DETACH);
        }
    } unmount{points};
    for (int i = 0; i < 30; ++i) {
        const std::string point = places / ("v" + std::to_string(10 + i));
        fs::create_directory(point);
        if (::mount("tmpfs", point.c_str(), "tmpfs", 0, "size=2m") != 0)
            GTEST_SKIP() << "mounting needs root";
        points.push_back(point);
    }
    const CliResult json = RunCli({"space", "--json"});
    const CliResult text = RunCli({"space"});
    ASSERT_EQ(json.status, 0) << json.err;
    for (const auto& point : points)
        EXPECT_NE(json.out.find("\"mountPoint\": \"" + point + "\""), std::string::npos) << point;
    EXPECT_NE(json.out.find("{\"letter\": null, \"mountPoint\": \"" + points.back() + "\""),
              std::string::npos)
        << json.out;
    EXPECT_NE(text.out.find("-   " + points.back() + " "), std::string::npos) << text.out;

    const CliResult speed = RunCli({"speed", "--size", "1MB", "--json", points.back()});
    EXPECT_EQ(speed.status, 0) << speed.err;
    EXPECT_EQ(speed.out.rfind("{\"letter\": null, \"mountPoint\": \"" + points.back() + "\"", 0),
              0u)
        << speed.out;
    EXPECT_TRUE(fs::is_empty(points.back()));
}

// A plain user whose folder on the volume is named as PATH works there,
// although the volume's root is closed to him.
TEST(DriveToolsCli, APlainUsersFolderNamedAsPathIsWhereTheToolsWork) {
    std::string why;
    const auto volume = TestVolume::Tmpfs(8 * 1048576, false, &why);
    if (!volume)
        GTEST_SKIP() << why;
    const std::string mine = volume->MountPoint() + "/mine";
    ASSERT_EQ(::mkdir(mine.c_str(), 0777), 0);
    // Closed after the folder is made: a plain user who mounted the volume
    // owns its root and could not make it otherwise.
    ASSERT_EQ(::chmod(volume->MountPoint().c_str(), 0555), 0);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"wipe", "--passes", "1", "--buffer", "1MB", mine},
          std::vector<std::string>{"speed", "--size", "1MB", mine}}) {
        CliOptions asUser;
        asUser.fileModesBindRoot = true;
        const CliResult result = CliProcess(args, asUser).Wait();
        EXPECT_EQ(result.status, 0) << args[0] << ": " << result.err;
        EXPECT_TRUE(fs::is_empty(mine)) << args[0];
    }
}
