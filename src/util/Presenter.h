#pragma once
// How the core talks to the user. The window installs a presenter built on
// its toolkit; tests install recorders. Texts arrive with "\r\n" line breaks.
#include <string>

namespace QuillTPU {

enum class MessageKind { Plain, Warning, Error };

class IMessagePresenter {
public:
    virtual ~IMessagePresenter() = default;
    // A modal box with one OK button.
    virtual void ShowMessage(MessageKind kind, const std::string& caption,
                             const std::string& text) = 0;
    // An error report whose whole text the user can copy (Control+C).
    virtual void ShowReport(const std::string& caption, const std::string& text) = 0;
    // A question with Yes and No; true only for Yes.
    virtual bool Confirm(const std::string& caption, const std::string& text) = 0;
    // A question with Yes and No where No throws something away: Yes is the
    // default, and a box closed without an answer keeps things as they are.
    // False only for an explicit No.
    virtual bool ConfirmUnlessNo(const std::string& caption, const std::string& text) {
        return Confirm(caption, text);
    }
};

// The shell: what the desktop does for us.
class IShell {
public:
    virtual ~IShell() = default;
    // Opens a web address, document or folder with its default program.
    virtual bool OpenDocument(const std::string& target, const std::string& parameters) = 0;
    // Moves a file to the Trash; 0 when done, else an errno value, with the
    // reason in *errorText.
    virtual int MoveToTrash(const std::string& path, std::string* errorText) = 0;
};

// Installs the presenter and shell (nullptr: the built-in fallbacks, which
// write messages to stderr, answer No, open nothing and trash nothing).
void SetMessagePresenter(IMessagePresenter* presenter);
IMessagePresenter& MessagePresenter();
void SetShell(IShell* shell);
IShell& Shell();

// Installs a presenter for the life of the scope and puts back the one that
// was installed before (the fallback too), so nested installers (a program's
// main, a test's recorder) unwind in order.
class ScopedPresenter {
public:
    explicit ScopedPresenter(IMessagePresenter& presenter) : FPrevious(&MessagePresenter()) {
        SetMessagePresenter(&presenter);
    }
    ~ScopedPresenter() { SetMessagePresenter(FPrevious); }
    ScopedPresenter(const ScopedPresenter&) = delete;
    ScopedPresenter& operator=(const ScopedPresenter&) = delete;

private:
    IMessagePresenter* FPrevious;
};

// The same for the shell.
class ScopedShell {
public:
    explicit ScopedShell(IShell& shell) : FPrevious(&Shell()) { SetShell(&shell); }
    ~ScopedShell() { SetShell(FPrevious); }
    ScopedShell(const ScopedShell&) = delete;
    ScopedShell& operator=(const ScopedShell&) = delete;

private:
    IShell* FPrevious;
};

// The caption of plain message boxes.
void SetApplicationTitle(const std::string& title);
const std::string& ApplicationTitle();

} // namespace QuillTPU
