#pragma once
// What every command of ferrovane-cli shares: the exit statuses, the host
// and presenter it runs under, and its entry in the command table.
#include "cli/TerminalPresenter.h"
#include "cli/TerminalTaskHost.h"
#include "util/RunOutcome.h"

#include <cstdio>
#include <string>
#include <vector>

namespace Cli {

// What a script can rely on.
enum ExitStatus : int {
    kExitDone = 0,
    kExitFailed = 1, // the tool failed, or a question was answered No
    kExitUsage = 2,  // wrong usage; nothing was written
    kExitCanceled = 130,
};

// The exit status of a run that ended so: a declined run (nothing to do, no
// room, No to a question) failed for a script.
constexpr int ExitStatusOf(QuillTPU::RunOutcome outcome) {
    switch (outcome) {
    case QuillTPU::RunOutcome::Done:
        return kExitDone;
    case QuillTPU::RunOutcome::Canceled:
        return kExitCanceled;
    case QuillTPU::RunOutcome::Failed:
    case QuillTPU::RunOutcome::Declined:
        break;
    }
    return kExitFailed;
}

struct Context {
    TerminalTaskHost& host;
    TerminalPresenter& presenter;
    std::FILE* out;    // results (stdout); progress and messages go to stderr
    bool json = false; // --json: results, and a failure, as one JSON document on out
};

struct Command {
    const char* name;
    const char* synopsis; // the usage line, after "ferrovane-cli "
    const char* summary;  // one line for the command list
    const char* help;     // options and details, after the usage line
    int (*run)(const std::vector<std::string>& args, Context& context);
};

const std::vector<Command>& Commands();

int RunGenerate(const std::vector<std::string>& args, Context& context);
int RunSpace(const std::vector<std::string>& args, Context& context);
int RunSpeed(const std::vector<std::string>& args, Context& context);
// speed --profile: the full test.
int RunProfile(const std::vector<std::string>& args, Context& context);
int RunWipe(const std::vector<std::string>& args, Context& context);
int RunMerge(const std::vector<std::string>& args, Context& context);

} // namespace Cli
