#include "app/TaskControl.h"

#include "app/ErrorReporting.h"

#include <QApplication>
#include <QCoreApplication>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>

#include <algorithm>

TTaskControl::TTaskControl(QWidget* window, QPushButton* btnCancel, QStatusBar* statusBar,
                           QObject* parent)
    : QObject(parent), FWindow(window), FCancel(btnCancel), FStatusBar(statusBar) {
    FHeldText.setSingleShot(true);
    connect(&FHeldText, &QTimer::timeout, this, [this] {
        if (FHeld)
            ShowText();
    });
}

TTaskControl::~TTaskControl() {
    // Never leave the busy cursor behind the window.
    if (FBusy)
        QApplication::restoreOverrideCursor();
}

void TTaskControl::BeginTask() {
    FCancel->setVisible(true);
    // One override per busy period, however often a tool calls BeginTask.
    if (!FBusy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    const QScreen* screen = FWindow->screen();
    const qreal hz = screen ? screen->refreshRate() : 60.0;
    FRefreshMs = hz >= 1.0 ? std::max(1, static_cast<int>(1000.0 / hz)) : 16;
    const bool wasBusy = FBusy;
    FBusy = true;
    if (!wasBusy)
        emit TaskStarted();
}

void TTaskControl::EndTask() {
    if (FHeld)
        ShowText(); // the last text of the run is never lost
    FCancel->setVisible(false);
    if (FBusy)
        QApplication::restoreOverrideCursor();
    const bool wasBusy = FBusy;
    FBusy = false;
    if (wasBusy)
        emit TaskEnded();
}

void TTaskControl::PumpMessages() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void TTaskControl::SetStatus(const std::string& text) {
    FText = QString::fromStdString(text);
    if (!FBusy || RefreshDue()) {
        ShowText();
        return;
    }
    FHeld = true;
    if (!FHeldText.isActive())
        FHeldText.start(std::max<qint64>(0, FRefreshMs - FLastShown.elapsed()));
}

bool TTaskControl::RefreshDue() const {
    return !FLastShown.isValid() || FLastShown.elapsed() >= FRefreshMs;
}

void TTaskControl::ShowText() {
    FHeldText.stop();
    FHeld = false;
    FUnpainted = true;
    FStatusBar->showMessage(FText);
    // A screen reader follows the status line through its name: setting it
    // raises the accessibility event for a changed name.
    FStatusBar->setAccessibleName(FText);
    FLastShown.start();
}

void TTaskControl::RepaintNow() {
    FWindow->repaint();
}

void TTaskControl::PumpPaint() {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TTaskControl::RepaintStatus() {
    if (FHeld && RefreshDue())
        ShowText();
    // A text is painted once; a held one waits for its timer.
    if (FUnpainted) {
        FUnpainted = false;
        FStatusBar->repaint();
    }
}

bool TTaskControl::RunTaskHandler(const std::function<void()>& handler) {
    if (FBusy)
        return false;
    const bool ok = ErrorReporting::RunGuarded(handler);
    // Every way out of a tool passes through EndTask, also an error.
    if (!ok && FBusy)
        EndTask();
    return true;
}

void TTaskControl::btnCancelClick() {
    FCancelRequested = true;
    SetStatus(kCanceling);
}
