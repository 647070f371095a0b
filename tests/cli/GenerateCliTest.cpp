// ferrovane-cli generate and the behaviour every command shares: exact
// files, usage errors that write nothing, the free-space question, a full
// volume and the cancel signals.
#include "CliProcess.h"
#include "TestVolume.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

std::int64_t SizeOf(const std::string& path) {
    std::error_code ec;
    const auto size = fs::file_size(path, ec);
    return ec ? -1 : static_cast<std::int64_t>(size);
}

std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string Repeated(const std::string& text, std::size_t length) {
    std::string result;
    while (result.size() < length)
        result += text;
    result.resize(length);
    return result;
}

} // namespace

TEST(GenerateCli, WritesFilesOfExactSizesAndContents) {
    TempDir dir;
    dir.Write("fill.txt", "one\ntwo\r\n");
    struct Case {
        std::vector<std::string> options;
        std::vector<std::string> names;
        std::int64_t size;
        std::string head; // the expected start of every file ("" : random)
    };
    const std::vector<Case> cases = {
        {{"--count", "3", "--size", "4812B", "--name", "f", "--ext", "txt", "--text", "ab"},
         {"f1.txt", "f2.txt", "f3.txt"},
         4812,
         Repeated("ab", 4812)},
        {{"--size", "1433KB", "--count", "1", "--name", "", "--ext", "", "--text", "A"},
         {"1."},
         1467392,
         std::string(1467392, 'A')},
        // A text block holds whole copies of the text: no seam between blocks.
        {{"--count", "1", "--size", "2048B", "--buffer", "1KB", "--name=s", "--text", "abc"},
         {"s1.Bin"},
         2048,
         Repeated("abc", 2048)},
        {{"--count", "1", "--size", "7B", "--ext", "t", "--text", "x\\ny", "--unique"},
         {"AutoGen1.t"},
         7 + 1024,
         "x\r\nyx\r\n"},
        {{"--count", "1", "--size", "20B", "--name", "file", "--text-file", dir / "fill.txt"},
         {"file1.Bin"},
         20,
         Repeated("one\r\ntwo\r\n", 20)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.names.front());
        const std::string out = dir / "out";
        auto args = std::vector<std::string>{"generate"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.push_back(out);
        const CliResult result = RunCli(args);
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(Names(out), c.names);
        for (const auto& name : c.names) {
            EXPECT_EQ(SizeOf(out + "/" + name), c.size);
            EXPECT_EQ(ReadAll(out + "/" + name).substr(0, c.head.size()), c.head);
        }
        // Plain progress lines for a log: no carriage returns.
        EXPECT_NE(result.err.find("Done in "), std::string::npos) << result.err;
        EXPECT_EQ(result.err.find('\r'), std::string::npos);
        fs::remove_all(out);
    }
}

TEST(GenerateCli, RandomNamesAndContentDifferBetweenRuns) {
    TempDir dir;
    for (int run = 0; run < 2; ++run)
        ASSERT_EQ(RunCli({"generate", "--count", "2", "--size", "1MB", dir.Path()}).status, 0);
    const auto names = Names(dir.Path());
    ASSERT_EQ(names.size(), 4u);
    std::set<std::string> contents;
    for (const auto& name : names) {
        EXPECT_EQ(name.rfind("Stackwell ", 0), 0u) << name;
        EXPECT_EQ(name.substr(name.size() - 4), ".bin");
        const std::string content = ReadAll(dir / name);
        EXPECT_EQ(content.size(), 1048576u);
        EXPECT_EQ(content.find('\xFF'), std::string::npos);
        contents.insert(content);
    }
    EXPECT_EQ(contents.size(), 4u); // each run seeds its own sequence
}

TEST(GenerateCli, RelativeFoldersLieInTheCurrentFolder) {
    TempDir dir;
    dir.Write("in/a.txt", "a");
    CliOptions here;
    here.cwd = dir.Path();
    const CliResult made = RunCli(
        {"generate", "--count", "1", "--size", "1KB", "--name", "t", "--ext", "txt", "new/sub"},
        here);
    EXPECT_EQ(made.status, 0) << made.err;
    EXPECT_EQ(SizeOf(dir / "new/sub/t1.txt"), 1024);
    EXPECT_EQ(RunCli({"merge", "--separator", "", "in", "m.txt"}, here).status, 0);
    EXPECT_EQ(ReadAll(dir / "m.txt"), "a");
}

TEST(GenerateCli, BadUsageNamesTheOptionAndWritesNothing) {
    TempDir dir;
    const std::string out = dir / "out";
    // Text files that must be refused without reading them whole or
    // waiting for a writer.
    const std::string fifo = dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string huge = dir.Write("huge.txt", "");
    fs::resize_file(huge, std::uintmax_t{1} << 36); // sparse
    struct Case {
        std::vector<std::string> args;
        std::string named; // what the message must name
    };
    const std::vector<Case> cases = {
        {{"generate", "--size", "10XB", out}, "--size"},
        {{"generate", "--size", "10 MB", out}, "--size"},
        {{"generate", "--size", "0MB", out}, "--size"},
        {{"generate", "--size", "10000001B", out}, "--size"},
        {{"generate", "--count", "0", out}, "--count"},
        {{"generate", "--count", "2100000001", out}, "--count"},
        {{"generate", "--count", "-5", out}, "-5"},
        {{"generate", "--count", out}, "FOLDER"},
        {{"generate", "--buffer", "1500B", out}, "--buffer"},
        {{"generate", "--buffer", "101MB", out}, "--buffer"},
        {{"generate", "--random-names", "--name", "x", out}, "--name"},
        {{"generate", "--random", "--text", "x", out}, "--text"},
        {{"generate", "--text", "", out}, "--text"},
        {{"generate", "--text", std::string(1025, 'x'), out}, "--text"},
        {{"generate", "--text-file", dir.Path(), out}, "is a folder"},
        {{"generate", "--text-file", fifo, out}, "no regular file"},
        {{"generate", "--text-file", "/dev/zero", out}, "no regular file"},
        {{"generate", "--text-file", huge, out}, "more than 1024"},
        {{"generate", "--unique", out}, "--unique"},
        {{"generate", "--name", "a/b", out}, "--name"},
        {{"generate", "--count", "1", "--count", "2", out}, "--count"},
        {{"generate", "--yes=1", out}, "--yes"},
        {{"generate", "--bogus", out}, "--bogus"},
        {{"generate"}, "FOLDER"},
        {{"generate", out, out}, "unexpected"},
        {{"space", "extra"}, "extra"},
        {{"speed", "--size", "1500KB", dir.Path()}, "--size"},
        {{"wipe", "--passes", "17", dir.Path()}, "--passes"},
        {{"wipe", "--passes", "0", dir.Path()}, "--passes"},
        {{"wipe", "--buffer", "0MB", dir.Path()}, "--buffer"},
        {{"merge", "--append", "--replace", dir.Path(), out}, "--replace"},
        {{"merge", "--mask", "[a", dir.Path(), out}, "--mask"},
        {{"merge", dir.Path()}, "OUTPUT"},
        {{"frobnicate"}, "frobnicate"},
        {{}, "Usage"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.named);
        const CliResult result = RunCli(c.args);
        EXPECT_EQ(result.status, 2);
        EXPECT_NE(result.err.find(c.named), std::string::npos) << result.err;
        EXPECT_FALSE(fs::exists(out));
    }
}

TEST(GenerateCli, HelpAndVersion) {
    for (const std::string command : {"generate", "speed", "wipe", "space", "merge"}) {
        const CliResult result = RunCli({command, "--help"});
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.out.rfind("Usage: ferrovane-cli " + command, 0), 0u) << result.out;
        if (command == "merge" || command == "generate") {
            EXPECT_NE(result.out.find("\"\\n\" is a line break"), std::string::npos) << result.out;
        }
    }
    const CliResult version = RunCli({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, std::string("ferrovane-cli ") + FV_VERSION + "\n");

    // "-h" as an option's value is that value, not a request for help.
    TempDir dir;
    const CliResult named = RunCli(
        {"generate", "--count", "1", "--size", "1B", "--name", "-h", "--text", "x", dir.Path()});
    EXPECT_EQ(named.status, 0) << named.out;
    EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"-h1.Bin"});
}

TEST(GenerateCli, ResultsLostOnAFullStdoutFailTheRun) {
    std::vector<std::vector<std::string>> runs = {{"--help"}, {"merge", "--help"}, {"space"}};
    std::string why;
    const auto volume = TestVolume::Tmpfs(4 * 1048576, false, &why);
    if (volume) // the log lines go out during the run, not at its end
        runs.push_back({"speed", "--size", "1MB", volume->MountPoint()});
    CliOptions full;
    full.stdoutPath = "/dev/full";
    for (const auto& run : runs) {
        SCOPED_TRACE(run.front());
        const CliResult result = RunCli(run, full);
        EXPECT_EQ(result.status, 1);
        EXPECT_NE(result.err.find("standard output"), std::string::npos) << result.err;
    }
    if (!volume)
        GTEST_SKIP() << "speed: " << why;
}

TEST(GenerateCli, MoreThanTheFreeSpaceNeedsYes) {
    // Far beyond any volume: without a terminal and without --yes the run
    // is declined before anything is written.
    TempDir dir;
    const std::string out = dir / "out";
    const CliResult result =
        RunCli({"generate", "--count", "2100000000", "--size", "10000000GB", out});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("The files need "), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("--yes"), std::string::npos);
    EXPECT_FALSE(fs::exists(out));
}

TEST(GenerateCli, FullVolumeFailsWithStatusOne) {
    std::string why;
    const auto volume = TestVolume::Tmpfs(1024 * 1024, false, &why);
    if (!volume)
        GTEST_SKIP() << why;
    const std::string out = volume->MountPoint() + "/out";
    // Two files fit, the third does not.
    const std::vector<std::string> run = {"generate", "--count", "3", "--size",
                                          "512KB",    "--name",  "f", out};
    // Declined without --yes: nothing written.
    EXPECT_EQ(RunCli(run).status, 1);
    EXPECT_FALSE(fs::exists(out));

    auto yes = run;
    yes.insert(yes.end() - 1, "--yes");
    const CliResult result = RunCli(yes);
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("Error: "), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("  FAILED!"), std::string::npos) << result.err;
    // "Done in" is the end of a whole run, never said before its failure.
    EXPECT_EQ(result.err.find("Done in"), std::string::npos) << result.err;
    EXPECT_TRUE(fs::exists(out + "/f2.Bin"));
}

TEST(GenerateCli, SignalsCancelBetweenBlocks) {
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signal);
        TempDir dir;
        const std::string file = dir / "AutoGen1.Bin";
        // Small blocks: many chances to see the signal long before the end.
        CliProcess cli({"generate", "--count", "3", "--size", "1GB", "--buffer", "1KB", "--name",
                        "AutoGen", "--text", "z", dir.Path()});
        ASSERT_TRUE(CliProcess::WaitFor([&] { return SizeOf(file) > 0; }));
        cli.Signal(signal);
        const CliResult result = cli.Wait();
        EXPECT_EQ(result.status, 130) << result.err;
        EXPECT_LT(SizeOf(file), 1073741824);
        EXPECT_FALSE(fs::exists(dir / "AutoGen2.Bin"));
        EXPECT_NE(result.err.find("  CANCELED!"), std::string::npos) << result.err;
    }
}
