#include "app/tabs/TabPage.h"

#include "app/TaskControl.h"

#include <QAbstractButton>
#include <QPointer>

TTabPage::TTabPage(ITabHost& host, const char* objectName, const char* caption)
    : FHost(host), FCaption(QString::fromUtf8(caption)) {
    setObjectName(objectName);
    setAccessibleName(FCaption);
}

// Only a button this disabled is enabled again: one a tab disabled for its
// own reasons (the speed test's own start, say) is the tab's to enable.
void TTabPage::HoldDuringTasks(QAbstractButton* start) {
    static constexpr const char* kHeld = "fvHeldByTask";
    TTaskControl& tasks = FHost.Tasks();
    QPointer<QAbstractButton> button(start);
    QObject::connect(&tasks, &TTaskControl::TaskStarted, start, [button] {
        if (button && button->isEnabled()) {
            button->setEnabled(false);
            button->setProperty(kHeld, true);
        }
    });
    QObject::connect(&tasks, &TTaskControl::TaskEnded, start, [button] {
        if (button && button->property(kHeld).toBool()) {
            button->setProperty(kHeld, false);
            button->setEnabled(true);
        }
    });
}
