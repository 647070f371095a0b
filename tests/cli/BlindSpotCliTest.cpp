// Command-line cases that a one-line mistake in the code would otherwise
// pass: the order of names that differ in case, and a merge into a full
// volume that must end by itself.
#include "CliProcess.h"
#include "Deadline.h"
#include "TestVolume.h"

#include <gtest/gtest.h>

#include <filesystem>

TEST(MergeCliOrder, NamesSortWithoutRegardToCase) {
    // Lower case before upper case, so a sort by bytes would put B first.
    TempDir dir;
    dir.Write("in/B.txt", "two");
    dir.Write("in/a.txt", "one");
    dir.Write("in/C.txt", "three");
    const CliResult result =
        RunCli({"merge", "--mask", "*.txt", "--separator", "", dir / "in", dir / "out"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(ReadAll(dir / "out"), "onetwothree");
}

TEST(MergeCliFullVolume, EndsWithTheReasonWithinItsOwnTimeLimit) {
    std::string why;
    const auto volume = TestVolume::Tmpfs(1048576, false, &why);
    if (!volume)
        GTEST_SKIP() << why;
    TempDir dir;
    dir.Write("in/first", std::string(700 * 1024, 'x'));
    dir.Write("in/second", std::string(700 * 1024, 'y'));
    const std::string out = volume->MountPoint() + "/out";
    const Deadline deadline(std::chrono::seconds(20), "the merge into a full volume");
    const CliResult full = RunCli({"merge", dir / "in", out});
    EXPECT_EQ(full.status, 1);
    EXPECT_NE(full.err.find("\"" + out + "\". No space left on device"), std::string::npos)
        << full.err;
}
