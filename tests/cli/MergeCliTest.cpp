// ferrovane-cli merge: the output, the question about an existing output,
// and a cancel between two files.
#include "CliProcess.h"
#include "TestVolume.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <sys/stat.h>
#include <sys/wait.h>

namespace fs = std::filesystem;

TEST(MergeCli, JoinsTheListedFilesWithTheSeparator) {
    TempDir dir;
    dir.Write("in/b.txt", "two");
    dir.Write("in/A.txt", "one");
    dir.Write("in/c.log", "three");
    dir.Write("in/.hidden.txt", "hidden");
    fs::create_directories(dir / "in/folder.txt");
    const std::string in = dir / "in";
    const std::string out = dir / "out.txt";
    struct Case {
        std::vector<std::string> options;
        std::string output; // OUTPUT, in or beside the folder
        std::string before; // the output's content before the run ("" : none)
        int status;
        std::string after;
    };
    const std::string crlf = "\r\n==== New file ===\r\n\r\n";
    const std::vector<Case> cases = {
        // Sorted without regard to case; hidden files and folders left out.
        {{"--mask", "*.txt"}, out, "", 0, "one" + crlf + "two" + crlf},
        {{"--mask", "*.log;*.TXT", "--separator", "\\n"}, out, "", 0, "one\r\ntwo\r\nthree\r\n"},
        {{"--separator", "", "--append"}, out, "old", 0, "oldonetwothree"},
        {{"--separator", "|", "--replace"}, out, "old", 0, "one|two|three|"},
        // No answer: nothing changed.
        {{"--separator", "|"}, out, "old", 1, "old"},
        // The output among the folder's files is never one of its sources.
        {{"--separator", "|", "--append"}, dir / "in/all.txt", "old", 0, "oldone|two|three|"},
        {{"--mask", "*.none"}, out, "", 1, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.after);
        fs::remove(c.output);
        if (!c.before.empty())
            dir.Write(fs::path(c.output).lexically_relative(dir.Path()).string(), c.before);
        auto args = std::vector<std::string>{"merge"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.push_back(in);
        args.push_back(c.output);
        const CliResult result = RunCli(args);
        EXPECT_EQ(result.status, c.status) << result.err;
        EXPECT_EQ(ReadAll(c.output), c.after);
    }
}

TEST(MergeCli, OutputsThatAreNoRegularFile) {
    TempDir dir;
    dir.Write("in/a.txt", "a");
    const std::string fifo = dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    struct Case {
        std::string output;
        int status;
        std::string said; // in stderr
    };
    // A device has nothing to add to or replace: no question, no answer.
    for (const Case& c : std::vector<Case>{{"/dev/null", 0, ""}, {fifo, 1, "is a FIFO"}}) {
        for (const bool replace : {false, true}) {
            SCOPED_TRACE(c.output + (replace ? " --replace" : ""));
            const CliResult result =
                RunCli({"merge", replace ? "--replace" : "--mask=*", dir / "in", c.output});
            EXPECT_EQ(result.status, c.status) << result.err;
            EXPECT_EQ(result.err.find("answered"), std::string::npos) << result.err;
            EXPECT_NE(result.err.find(c.said), std::string::npos) << result.err;
        }
    }
}

TEST(MergeCli, FailuresNameTheFileAndTheReason) {
    TempDir dir;
    dir.Write("locked/a.txt", "a");
    fs::permissions(dir / "locked", fs::perms::none);
    CliOptions user;
    user.fileModesBindRoot = true;
    const CliResult unreadable = RunCli({"merge", dir / "locked", dir / "out"}, user);
    EXPECT_EQ(unreadable.status, 1) << unreadable.err;
    EXPECT_NE(unreadable.err.find("Permission denied"), std::string::npos) << unreadable.err;
    fs::permissions(dir / "locked", fs::perms::owner_all);

    std::string why;
    const auto volume = TestVolume::Tmpfs(1048576, false, &why);
    if (!volume)
        GTEST_SKIP() << why;
    dir.Write("in/big", std::string(2 * 1048576, 'x'));
    const std::string out = volume->MountPoint() + "/out";
    const CliResult full = RunCli({"merge", dir / "in", out});
    EXPECT_EQ(full.status, 1);
    EXPECT_NE(full.err.find("\"" + out + "\". No space left on device"), std::string::npos)
        << full.err;
}

TEST(MergeCli, SignalStopsBetweenTwoFiles) {
    TempDir dir;
    // Enough data that the merge is still going when the signal comes.
    const int count = 400;
    const std::string content(128 * 1024, 'x');
    fs::create_directory(dir / "in");
    for (int i = 0; i < count; ++i)
        std::ofstream(dir / ("in/" + std::to_string(1000 + i))) << content;
    const std::string out = dir / "out";
    CliProcess cli({"merge", "--separator", "|", dir / "in", out});
    ASSERT_TRUE(CliProcess::WaitFor([&] {
        std::error_code ec;
        return fs::file_size(out, ec) > 0 && !ec;
    }));
    cli.Signal(SIGTERM);
    const CliResult result = cli.Wait();
    EXPECT_EQ(result.status, 130) << result.err;
    // Whole files, each with its separator, and not all of them.
    const std::string merged = ReadAll(out);
    const auto separators = std::count(merged.begin(), merged.end(), '|');
    EXPECT_EQ(merged.size(), separators * (content.size() + 1));
    EXPECT_GT(separators, 0);
    EXPECT_LT(separators, count);
}

TEST(MergeCli, DashWritesToStandardOutputAPipeTooAndCountsFromOne) {
    TempDir dir;
    dir.Write("in/a.txt", "one");
    dir.Write("in/b.txt", "two");
    const std::string cli = FV_CLI_PATH;
    struct Case {
        std::string redirect; // where the shell sends stdout
        std::string readBack; // the file that then holds the merge
    };
    // Into a pipe, and into a file of the folder itself, which is left out
    // rather than merged into itself.
    const std::vector<Case> cases = {
        {"| cat > '" + dir / "piped" + "'", dir / "piped"},
        {"> '" + dir / "in/self.txt" + "'", dir / "in/self.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.redirect);
        const std::string command = "'" + cli + "' merge --separator '|' '" + dir / "in" +
                                    "' - 2>'" + dir / "err" + "' " + c.redirect;
        const int raw = std::system(command.c_str());
        EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0) << raw;
        std::ifstream in(c.readBack, std::ios::binary);
        const std::string merged((std::istreambuf_iterator<char>(in)), {});
        EXPECT_EQ(merged, "one|two|");
        std::ifstream errFile(dir / "err");
        const std::string err((std::istreambuf_iterator<char>(errFile)), {});
        EXPECT_NE(err.find("File 2 of 2"), std::string::npos) << err;
        EXPECT_EQ(err.find("File 0"), std::string::npos) << err;
        EXPECT_FALSE(fs::exists("-"));
    }
    fs::remove(dir / "in/self.txt");
    // A file OUTPUT counts from 1 as well.
    const CliResult file = RunCli({"merge", dir / "in", dir / "out"});
    EXPECT_EQ(file.status, 0) << file.err;
    EXPECT_NE(file.err.find("File 2 of 2"), std::string::npos) << file.err;
    EXPECT_EQ(file.err.find("File 0"), std::string::npos) << file.err;
}
