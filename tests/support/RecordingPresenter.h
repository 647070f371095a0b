#pragma once
// Test doubles for the presenter and the shell: they record what the core
// showed and answer questions as the test says.
#include "util/Presenter.h"

#include <functional>
#include <string>
#include <vector>

struct ShownMessage {
    QuillTPU::MessageKind kind;
    std::string caption;
    std::string text;
    bool report = false;
};

class RecordingPresenter : public QuillTPU::IMessagePresenter {
public:
    // Installed while it lives; what was installed before comes back.
    RecordingPresenter() : FInstalled(*this) {}

    void ShowMessage(QuillTPU::MessageKind kind, const std::string& caption,
                     const std::string& text) override {
        shown.push_back({kind, caption, text, false});
    }
    void ShowReport(const std::string& caption, const std::string& text) override {
        shown.push_back({QuillTPU::MessageKind::Error, caption, text, true});
    }
    bool Confirm(const std::string& caption, const std::string& text) override {
        questions.push_back(caption + "|" + text);
        if (onQuestion)
            onQuestion(); // what happens while the question is open
        return answer;
    }

    std::vector<ShownMessage> shown;
    std::vector<std::string> questions;
    bool answer = false;
    std::function<void()> onQuestion;

private:
    QuillTPU::ScopedPresenter FInstalled;
};

class RecordingShell : public QuillTPU::IShell {
public:
    RecordingShell() : FInstalled(*this) {}

    bool OpenDocument(const std::string& target, const std::string& parameters) override {
        opened.push_back(target + "|" + parameters);
        return openResult;
    }
    int MoveToTrash(const std::string& path, std::string* errorText) override {
        trashed.push_back(path);
        if (trashResult != 0 && errorText)
            *errorText = "trash refused";
        return trashResult;
    }

    std::vector<std::string> opened;
    std::vector<std::string> trashed;
    bool openResult = true;
    int trashResult = 0;

private:
    QuillTPU::ScopedShell FInstalled;
};
