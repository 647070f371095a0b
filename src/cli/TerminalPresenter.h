#pragma once
// The message presenter of the command line: messages go to stderr, and a
// question is asked on the terminal, or answered by the option the user
// gave for it (--yes, --append, --replace), or else answered No, so that
// nothing is written or changed without a person saying so.
#include "cli/TerminalTaskHost.h"
#include "util/Presenter.h"

#include <cstdio>
#include <optional>
#include <string>

namespace Cli {

// A text of the tools as a terminal user can act on it: advice that names
// the window's tabs or keys names the command's options instead.
std::string TerminalWording(const std::string& text);

class TerminalPresenter final : public QuillTPU::IMessagePresenter {
public:
    // interactive: questions may be asked (stdin and stderr are terminals).
    TerminalPresenter(TerminalTaskHost& host, std::FILE* out, bool interactive);

    void ShowMessage(QuillTPU::MessageKind kind, const std::string& caption,
                     const std::string& text) override;
    void ShowReport(const std::string& caption, const std::string& text) override;
    bool Confirm(const std::string& caption, const std::string& text) override;

    // The answer an option gave; every question is answered with it.
    void SetAnswer(std::optional<bool> answer) { FAnswer = answer; }
    // Shown when a question has no one to ask: which option answers it.
    void SetAnswerHint(const std::string& hint) { FAnswerHint = hint; }
    // How many questions were answered No for want of a terminal.
    int Unanswered() const { return FUnanswered; }
    // The last error or warning shown, or question answered No for want of
    // a terminal, as the terminal showed it: the failure's reason for
    // --json. Empty when there was none.
    const std::string& LastProblem() const { return FLastProblem; }

private:
    void Write(const std::string& text);

    TerminalTaskHost& FHost;
    std::FILE* FOut;
    bool FInteractive;
    std::optional<bool> FAnswer;
    std::string FAnswerHint;
    int FUnanswered = 0;
    std::string FLastProblem;
};

} // namespace Cli
