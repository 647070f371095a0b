// ferrovane-cli on a terminal (a pseudo-terminal here): questions are asked
// and answered there, and progress is one line rewritten in place.
#include "TempDir.h"
#include "TestVolume.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct TerminalRun {
    int status = -1;
    std::string screen; // everything the program wrote to the terminal
};

// Runs the program on a pseudo-terminal; once `prompt` appears, types
// `answer`. Gives up after 20 s.
TerminalRun RunOnTerminal(std::vector<std::string> args, const std::string& prompt = "",
                          const std::string& answer = "") {
    int master = -1;
    const pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
    if (pid == 0) {
        std::vector<char*> argv;
        std::string program = FV_CLI_PATH;
        argv.push_back(program.data());
        for (auto& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    TerminalRun run;
    bool answered = prompt.empty();
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (;;) {
        pollfd fd{master, POLLIN, 0};
        if (::poll(&fd, 1, 100) > 0) {
            char buffer[4096];
            const ssize_t got = ::read(master, buffer, sizeof buffer);
            if (got <= 0)
                break; // the program ended and closed the terminal
            run.screen.append(buffer, static_cast<std::size_t>(got));
        }
        if (!answered && run.screen.find(prompt) != std::string::npos) {
            answered = true;
            (void)!::write(master, answer.data(), answer.size());
        }
        if (std::chrono::steady_clock::now() > end) {
            ::kill(pid, SIGKILL);
            break;
        }
    }
    int raw = 0;
    ::waitpid(pid, &raw, 0);
    ::close(master);
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    return run;
}

} // namespace

TEST(TerminalCli, AsksTheFreeSpaceQuestionAndRewritesTheProgressLine) {
    TempDir dir;
    const std::string out = dir / "out";
    const std::vector<std::string> huge = {"generate", "--count",    "2100000000",
                                           "--size",   "10000000GB", out};
    // No (and a bare Enter, the default) writes nothing.
    for (const std::string answer : {"n\n", "\n"}) {
        const TerminalRun run = RunOnTerminal(huge, "[y/N] ", answer);
        EXPECT_EQ(run.status, 1) << run.screen;
        EXPECT_NE(run.screen.find("Create them anyway? [y/N] "), std::string::npos) << run.screen;
        EXPECT_FALSE(std::filesystem::exists(out));
    }
    // Ctrl+C at the question cancels.
    const TerminalRun interrupted = RunOnTerminal(huge, "[y/N] ", "\x03");
    EXPECT_EQ(interrupted.status, 130) << interrupted.screen;
    EXPECT_FALSE(std::filesystem::exists(out));

    const TerminalRun small =
        RunOnTerminal({"generate", "--count", "2", "--size", "3MB", "--buffer", "1MB", out});
    EXPECT_EQ(small.status, 0) << small.screen;
    // Every text starts at the line's beginning and clears what is left.
    EXPECT_NE(small.screen.find("\rCreating files. Please be patient...\x1b[K"), std::string::npos)
        << small.screen;
    EXPECT_NE(small.screen.find("Done in "), std::string::npos);
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(out)) {
        EXPECT_EQ(entry.file_size(), 3u * 1048576u);
        ++files;
    }
    EXPECT_EQ(files, 2);
}

TEST(TerminalCli, SpeedLogLinesStartOnALineOfTheirOwn) {
    std::string why;
    const auto volume = TestVolume::Tmpfs(4 * 1048576, false, &why);
    if (!volume)
        GTEST_SKIP() << why;
    const TerminalRun run = RunOnTerminal({"speed", "--size", "1MB", volume->MountPoint()});
    EXPECT_EQ(run.status, 0) << run.screen;
    for (const std::string line : {"Drive ", "Free space: "}) {
        const std::size_t at = run.screen.find(line);
        ASSERT_NE(at, std::string::npos) << run.screen;
        EXPECT_EQ(run.screen[at - 1], '\n') << run.screen;
    }
}

// Merging onto the terminal itself (a device that cannot seek).
TEST(TerminalCli, MergesOntoTheTerminal) {
    TempDir dir;
    dir.Write("in/a.txt", "first-part");
    dir.Write("in/b.txt", "second-part");
    const TerminalRun run = RunOnTerminal({"merge", "--separator", "|", dir / "in", "/dev/stdout"});
    EXPECT_EQ(run.status, 0) << run.screen;
    EXPECT_NE(run.screen.find("first-part|second-part|"), std::string::npos) << run.screen;
}
