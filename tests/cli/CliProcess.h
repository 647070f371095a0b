#pragma once
// Runs ferrovane-cli as a child process, the way a script does: stdin from
// /dev/null, stdout and stderr captured, the exit status as the shell sees
// it (128 + the signal when a signal ended it).
#include "TempDir.h"

#include <chrono>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <linux/capability.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

// How the child is started, where a test needs it otherwise.
struct CliOptions {
    std::string cwd;        // its current folder ("": ours)
    std::string stdoutPath; // where its stdout goes ("": captured in CliResult::out)
    // Root loses its override of file modes, as a user would be refused.
    bool fileModesBindRoot = false;
    // stdout and stderr go to a pipe whose reader is gone (as in "| head"
    // after its line): every write fails, and SIGPIPE has its default action.
    bool closedPipe = false;
};

struct CliResult {
    int status = -1;
    std::string out;
    std::string err;
};

class CliProcess {
public:
    explicit CliProcess(std::vector<std::string> args, const CliOptions& options = {})
        : FArgs(std::move(args)) {
        const std::string outPath = FLogs / "out";
        const std::string errPath = FLogs / "err";
        int pipeEnds[2] = {-1, -1};
        if (options.closedPipe && ::pipe(pipeEnds) != 0)
            throw std::runtime_error("pipe failed");
        FPid = ::fork();
        if (FPid == 0) {
            const int in = ::open("/dev/null", O_RDONLY);
            const std::string outTo = options.stdoutPath.empty() ? outPath : options.stdoutPath;
            const int out = ::open(outTo.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            ::dup2(in, 0);
            ::dup2(out, 1);
            ::dup2(err, 2);
            if (options.closedPipe) {
                ::close(pipeEnds[0]);
                ::dup2(pipeEnds[1], 1);
                ::dup2(pipeEnds[1], 2);
                ::signal(SIGPIPE, SIG_DFL);
            }
            if (!options.cwd.empty() && ::chdir(options.cwd.c_str()) != 0)
                ::_exit(126);
            if (options.fileModesBindRoot) {
                ::prctl(PR_CAPBSET_DROP, CAP_DAC_OVERRIDE);
                ::prctl(PR_CAPBSET_DROP, CAP_DAC_READ_SEARCH);
            }
            std::vector<char*> argv;
            std::string program = FV_CLI_PATH;
            argv.push_back(program.data());
            for (auto& arg : FArgs)
                argv.push_back(arg.data());
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        if (options.closedPipe) {
            ::close(pipeEnds[0]);
            ::close(pipeEnds[1]);
        }
    }
    ~CliProcess() {
        if (FPid > 0 && !FDone) {
            ::kill(FPid, SIGKILL);
            ::waitpid(FPid, nullptr, 0);
        }
    }

    // Polls until done() holds or the time is up; false when it never did.
    static bool WaitFor(const std::function<bool()>& done, int seconds = 20) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (!done()) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }

    void Signal(int signal) const { ::kill(FPid, signal); }
    // Its stderr so far, while it runs.
    std::string ErrPath() const { return FLogs / "err"; }

    CliResult Wait() {
        int raw = 0;
        ::waitpid(FPid, &raw, 0);
        FDone = true;
        CliResult result;
        result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
        result.out = ReadAll(FLogs / "out");
        result.err = ReadAll(FLogs / "err");
        return result;
    }

private:
    std::vector<std::string> FArgs;
    TempDir FLogs;
    pid_t FPid = -1;
    bool FDone = false;
};

inline CliResult RunCli(std::vector<std::string> args, const CliOptions& options = {}) {
    return CliProcess(std::move(args), options).Wait();
}
