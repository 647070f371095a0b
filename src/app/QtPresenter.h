#pragma once
// The message boxes and the shell of the desktop, for the core's presenter
// and shell interfaces.
#include "util/Presenter.h"

#include <QMessageBox>

class TQtPresenter final : public QuillTPU::IMessagePresenter {
public:
    void ShowMessage(QuillTPU::MessageKind kind, const std::string& caption,
                     const std::string& text) override;
    void ShowReport(const std::string& caption, const std::string& text) override;
    bool Confirm(const std::string& caption, const std::string& text) override;
    bool ConfirmUnlessNo(const std::string& caption, const std::string& text) override;

    // The boxes as they are shown, built but not yet shown (owned by the
    // caller).
    static QMessageBox* BuildMessageBox(QuillTPU::MessageKind kind, const std::string& caption,
                                        const std::string& text);
    // The report box: Control+C copies its caption and its whole text.
    static QMessageBox* BuildReportBox(const std::string& caption, const std::string& text);
    static QMessageBox* BuildConfirmBox(const std::string& caption, const std::string& text);
    // Yes by default, and Escape or the close button answer Yes too.
    static QMessageBox* BuildKeepBox(const std::string& caption, const std::string& text);

    // "\r\n" (and a lone "\r") as line breaks.
    static QString DisplayText(const std::string& text);
};

class TQtShell final : public QuillTPU::IShell {
public:
    bool OpenDocument(const std::string& target, const std::string& parameters) override;
    int MoveToTrash(const std::string& path, std::string* errorText) override;
};
