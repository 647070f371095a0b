// Message boxes, the presenter and shell behind them, and the beep.
#include "util/Messages.h"

#include "util/Format.h"
#include "util/Presenter.h"

#include "platform/Sound.h"

#include <iostream>

namespace QuillTPU {

namespace {

// Until a window installs its own: messages go to stderr, questions are
// answered No so that nothing is deleted without a person saying so.
class ConsolePresenter final : public IMessagePresenter {
public:
    void ShowMessage(MessageKind, const std::string& caption, const std::string& text) override {
        std::cerr << caption << ": " << text << '\n';
    }
    void ShowReport(const std::string& caption, const std::string& text) override {
        std::cerr << caption << ": " << text << '\n';
    }
    bool Confirm(const std::string&, const std::string&) override { return false; }
};

class NoShell final : public IShell {
public:
    bool OpenDocument(const std::string&, const std::string&) override { return false; }
    int MoveToTrash(const std::string&, std::string* errorText) override {
        if (errorText)
            *errorText = "There is no Trash on this system.";
        return 38; // ENOSYS
    }
};

ConsolePresenter gConsolePresenter;
NoShell gNoShell;
IMessagePresenter* gPresenter = &gConsolePresenter;
IShell* gShell = &gNoShell;
std::string gTitle = "Ferrovane";

void Show(MessageKind kind, const std::string& caption, const std::string& text) {
    if (text.empty())
        return;
    MessagePresenter().ShowMessage(kind, caption, ReplaceCRLF(text));
}

} // namespace

void SetMessagePresenter(IMessagePresenter* presenter) {
    gPresenter = presenter ? presenter : &gConsolePresenter;
}

IMessagePresenter& MessagePresenter() {
    return *gPresenter;
}

void SetShell(IShell* shell) {
    gShell = shell ? shell : &gNoShell;
}

IShell& Shell() {
    return *gShell;
}

void SetApplicationTitle(const std::string& title) {
    gTitle = title;
}

const std::string& ApplicationTitle() {
    return gTitle;
}

void ShowPlainMessage(const std::string& text) {
    Show(MessageKind::Plain, ApplicationTitle(), text);
}

void ShowWarningMessage(const std::string& text) {
    Show(MessageKind::Warning, "Warning", text);
}

void ShowErrorMessage(const std::string& text) {
    Show(MessageKind::Error, "Error", text);
}

void ShowErrorReport(const std::string& location, const std::string& text) {
    MessagePresenter().ShowReport(
        "Error in " + location,
        ReplaceCRLF(text) + "\r\n\r\n" +
            "Please report this error to us and the exact steps to reproduce it and we will fix "
            "it." +
            "\r\n" + "Hint: press Control+C to copy this message to clipboard.");
}

void PlayBeep() {
    Platform::PlayTone(800, 300);
}

bool OpenDocument(const std::string& target, const std::string& parameters) {
    return Shell().OpenDocument(target, parameters);
}

} // namespace QuillTPU
