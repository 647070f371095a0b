// ferrovane-cli merge: the output, the question about an existing output,
// and a cancel between two files.
#include "CliProcess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

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
