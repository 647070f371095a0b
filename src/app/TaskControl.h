#pragma once
// The busy state of the window while a tool runs in a click handler: Cancel
// shown, the busy cursor, the status line, message pumping and the Cancel flag.
#include "util/TaskHost.h"

#include <QObject>

#include <functional>

class QPushButton;
class QStatusBar;
class QWidget;

class TTaskControl final : public QObject, public QuillTPU::ITaskHost {
    Q_OBJECT
public:
    TTaskControl(QWidget* window, QPushButton* btnCancel, QStatusBar* statusBar,
                 QObject* parent = nullptr);
    ~TTaskControl() override;

    void BeginTask() override;
    void EndTask() override;
    void PumpMessages() override;
    bool CancelRequested() const override { return FCancelRequested; }
    void ClearCancel() override { FCancelRequested = false; }
    void SetStatus(const std::string& text) override;
    void RepaintNow() override;
    void RepaintStatus() override;

    // Runs the start handler of a tool: refused while a task runs (a click
    // that reached a start button from inside a running task's message
    // pumping); an error that escapes it is reported, and a task it left
    // busy is ended. Returns false when refused.
    bool RunTaskHandler(const std::function<void()>& handler);

    // OnClick of Cancel.
    void btnCancelClick();

    bool Busy() const { return FBusy; }
    QString StatusText() const;

    static constexpr const char* kCanceling = "Canceling...";

signals:
    // The window went back to idle (EndTask).
    void TaskEnded();

private:
    QWidget* FWindow;
    QPushButton* FCancel;
    QStatusBar* FStatusBar;
    bool FBusy = false;
    bool FCancelRequested = false;
};
