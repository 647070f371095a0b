// ferrovane-cli: the tools of the window for servers, scripts and CI jobs,
// on the same runs, without a display.
#include "cli/Arguments.h"
#include "cli/Command.h"
#include "cli/Support.h"
#include "platform/Errors.h"
#include "platform/File.h"
#include "util/QuillTPU.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>

#include <unistd.h>

#ifndef FV_VERSION
#error "FV_VERSION comes from the project's version in CMake"
#endif

namespace {

constexpr const char* kProgram = "ferrovane-cli";

void PrintOverview(std::FILE* out) {
    std::fprintf(out, "Usage: %s COMMAND [OPTIONS] [ARGUMENTS]\n\nCommands:\n", kProgram);
    for (const auto& command : Cli::Commands())
        std::fprintf(out, "  %-10s %s\n", command.name, command.summary);
    std::fprintf(
        out,
        "\n'%s COMMAND --help' shows a command's options, '%s --version'\n"
        "the version. Progress and messages go to stderr. Ctrl+C, SIGTERM and SIGHUP\n"
        "cancel a run where it can stop; so does a closed output pipe. Exit status:\n"
        "0 done, 1 failed, declined or output lost (a path that does not exist too),\n"
        "2 wrong usage (nothing written), 130 canceled. With --json every command\n"
        "prints its result as JSON, and a failure as {\"error\": ..., \"exitStatus\": ...}.\n",
        kProgram, kProgram);
}

// The error's text with the system's reason, unless the text gives it.
std::string WithReason(const std::exception& e) {
    std::string text = e.what();
    if (const auto* system = dynamic_cast<const SystemError*>(&e); system && system->Code() != 0) {
        const std::string reason = Platform::ErrorText(system->Code());
        if (text.find(reason) == std::string::npos)
            text += (text.empty() || text.back() == '.' ? " " : ". ") + reason;
    }
    return text;
}

// Results that did not all get out (a full disk, a closed pipe) make a
// run that looked done a failure: a script must not take lost output for
// the whole of it.
int WithOutputChecked(int status) {
    errno = 0;
    const bool flushed = std::fflush(stdout) == 0;
    const int code = errno;
    if (flushed && !std::ferror(stdout))
        return status;
    std::fprintf(stderr, "Error: The results could not be written to standard output%s\n",
                 flushed || code == 0 ? "." : (". " + Platform::ErrorText(code)).c_str());
    return status == Cli::kExitDone ? Cli::kExitFailed : status;
}

int Run(const std::vector<std::string>& all) {
    if (all.empty()) {
        PrintOverview(stderr);
        return Cli::kExitUsage;
    }
    if (all[0] == "--help" || all[0] == "-h" || all[0] == "help") {
        PrintOverview(stdout);
        return Cli::kExitDone;
    }
    if (all[0] == "--version") {
        std::printf("%s %s\n", kProgram, FV_VERSION);
        return Cli::kExitDone;
    }
    const Cli::Command* command = nullptr;
    for (const auto& each : Cli::Commands())
        if (all[0] == each.name)
            command = &each;
    const std::vector<std::string> args(all.begin() + 1, all.end());
    const bool json = Cli::JsonAsked(args);
    if (!command) {
        std::fprintf(stderr, "%s: unknown command \"%s\"\n\n", kProgram, all[0].c_str());
        PrintOverview(stderr);
        if (json)
            std::fputs(
                Cli::JsonFailure("unknown command \"" + all[0] + "\"", Cli::kExitUsage).c_str(),
                stdout);
        return Cli::kExitUsage;
    }

    // As the window does at start: every run draws its own names and bytes.
    QuillTPU::Randomize();
    Cli::InstallCancelSignals();
    const bool stderrIsTerminal = ::isatty(STDERR_FILENO) == 1;
    Cli::TerminalTaskHost host(stderr, stderrIsTerminal);
    Cli::TerminalPresenter presenter(host, stderr, stderrIsTerminal && ::isatty(STDIN_FILENO) == 1);
    QuillTPU::SetMessagePresenter(&presenter);
    QuillTPU::SetApplicationTitle(kProgram);
    Cli::Context context{host, presenter, stdout, json};

    int status;
    std::string failure; // why, for --json
    try {
        status = command->run(args, context);
    } catch (const Cli::HelpRequested&) {
        // Asked for before anything was done: the command reads its options first.
        std::printf("Usage: %s %s\n\n%s", kProgram, command->synopsis, command->help);
        status = Cli::kExitDone;
    } catch (const Cli::UsageError& e) {
        host.Finish();
        std::fprintf(stderr, "%s %s: %s\nTry '%s %s --help'.\n", kProgram, command->name, e.what(),
                     kProgram, command->name);
        failure = e.what();
        status = Cli::kExitUsage;
    } catch (const std::exception& e) {
        // A failure the run does not report itself (a failed read, say).
        host.Finish();
        failure = WithReason(e);
        std::fprintf(stderr, "Error: %s\n", failure.c_str());
        status = Cli::kExitFailed;
    }
    host.Finish();
    if (json && status != Cli::kExitDone) {
        if (failure.empty())
            failure = presenter.LastProblem();
        if (failure.empty())
            failure = status == Cli::kExitCanceled ? "Canceled." : "Failed.";
        std::fputs(Cli::JsonFailure(failure, status).c_str(), stdout);
    }
    QuillTPU::SetMessagePresenter(nullptr);
    return status;
}

} // namespace

int main(int argc, char** argv) {
    // A closed output pipe must not end a run before it cleans up (a wipe
    // would leave the volume full): its writes fail with EPIPE instead, and
    // the run stops through its cancel path.
    std::signal(SIGPIPE, SIG_IGN);
    const int status = WithOutputChecked(Run(std::vector<std::string>(argv + 1, argv + argc)));
    return Cli::OutputLost() ? Cli::kExitFailed : status;
}
