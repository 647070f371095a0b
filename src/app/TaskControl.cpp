#include "app/TaskControl.h"

#include "app/ErrorReporting.h"

#include <QApplication>
#include <QCoreApplication>
#include <QPushButton>
#include <QStatusBar>

TTaskControl::TTaskControl(QWidget* window, QPushButton* btnCancel, QStatusBar* statusBar,
                           QObject* parent)
    : QObject(parent), FWindow(window), FCancel(btnCancel), FStatusBar(statusBar) {}

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
    FBusy = true;
}

void TTaskControl::EndTask() {
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
    FStatusBar->showMessage(QString::fromStdString(text));
}

QString TTaskControl::StatusText() const {
    return FStatusBar->currentMessage();
}

void TTaskControl::RepaintNow() {
    FWindow->repaint();
}

void TTaskControl::RepaintStatus() {
    FStatusBar->repaint();
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
