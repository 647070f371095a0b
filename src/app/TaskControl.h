#pragma once
// The busy state of the window while a tool runs in a click handler: Cancel
// shown, the busy cursor, the status line, message pumping and the Cancel flag.
#include "util/TaskHost.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

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
    void PumpPaint() override;

    // Runs the start handler of a tool: refused while a task runs (a click
    // that reached a start button from inside a running task's message
    // pumping); an error that escapes it is reported, and a task it left
    // busy is ended. Returns false when refused.
    bool RunTaskHandler(const std::function<void()>& handler);

    // OnClick of Cancel.
    void btnCancelClick();

    bool Busy() const { return FBusy; }
    // The text last set, also while its painting is held back.
    QString StatusText() const { return FText; }

    static constexpr const char* kCanceling = "Canceling...";

signals:
    // The window went busy (the first BeginTask of a task).
    void TaskStarted();
    // The window went back to idle (EndTask).
    void TaskEnded();

private:
    // While a task runs, a new text reaches the status bar at most once per
    // screen refresh; a text held back follows by a timer, and EndTask shows
    // the last one at once. A run of many small files sets a text per file
    // and would otherwise spend its time painting.
    bool RefreshDue() const;
    void ShowText();

    QWidget* FWindow;
    QPushButton* FCancel;
    QStatusBar* FStatusBar;
    bool FBusy = false;
    bool FCancelRequested = false;
    QString FText;
    bool FHeld = false;      // FText is not on the status bar yet
    bool FUnpainted = false; // on the status bar, not yet painted by RepaintStatus
    int FRefreshMs = 16;
    QElapsedTimer FLastShown;
    QTimer FHeldText;
};
