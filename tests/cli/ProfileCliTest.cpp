// ferrovane-cli speed --profile on a small loop volume: the JSON of the
// eight figures from the forced fallback engine, and a SIGTERM in the middle
// of a figure that leaves nothing behind.
#include "CliProcess.h"
#include "TestVolume.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <regex>

namespace fs = std::filesystem;

TEST(ProfileCli, PrintsTheEightFiguresAsJsonAndStopsCleanOnSigterm) {
    std::string why;
    const auto volume = TestVolume::Ext4("profile", false, &why, 16);
    if (!volume)
        GTEST_SKIP() << why;
    const std::string root = volume->MountPoint();
    const CliResult result = RunCli({"speed", "--profile", "--json", "--engine", "libaio", "--size",
                                     "2MB", "--seconds", "0.05", "--warmup", "0", root});
    ASSERT_EQ(result.status, 0) << result.err;
    const std::string number = "[0-9]+\\.[0-9]+";
    std::string figures;
    for (const char* op : {"read", "write"})
        for (const auto& [pattern, block, depth] :
             {std::tuple{"seq", "1048576", "8"}, std::tuple{"seq", "1048576", "1"},
              std::tuple{"rand", "4096", "32"}, std::tuple{"rand", "4096", "1"}})
            figures += std::string(figures.empty() ? "\n" : ",\n") + "  \\{\"pattern\": \"" +
                       pattern + "\", \"operation\": \"" + op + "\", \"blockSize\": " + block +
                       ", \"queueDepth\": " + depth +
                       ", \"threads\": 1, \"bytesPerSecond\": " + number + ", \"iops\": " + number +
                       ", \"meanLatencyUs\": " + number + ", \"p99LatencyUs\": " + number + "\\}";
    const std::regex json("\\{\"engine\": \"libaio\", \"fileSize\": 2097152, \"seconds\": 0\\.050, "
                          "\"results\": \\[" +
                          figures + "\n\\]\\}\n");
    EXPECT_TRUE(std::regex_match(result.out, json)) << result.out;
    EXPECT_FALSE(fs::exists(root + "/speedtest"));

    // A minute per figure: SIGTERM ends it within half a second, file gone.
    CliProcess cli(
        {"speed", "--profile", "--size", "2MB", "--seconds", "60", "--warmup", "0", root});
    ASSERT_TRUE(CliProcess::WaitFor(
        [&] { return ReadAll(cli.ErrPath()).find("1 of 8") != std::string::npos; }));
    const auto signalled = std::chrono::steady_clock::now();
    cli.Signal(SIGTERM);
    const CliResult canceled = cli.Wait();
    EXPECT_LT(std::chrono::steady_clock::now() - signalled, std::chrono::milliseconds(2000));
    EXPECT_EQ(canceled.status, 130) << canceled.err;
    EXPECT_NE(canceled.err.find("  CANCELED!"), std::string::npos) << canceled.err;
    EXPECT_FALSE(fs::exists(root + "/speedtest"));
}
