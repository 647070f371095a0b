#pragma once
// One tab of the main window. How a new tab plugs in:
//
//  1. Its class derives from TTabPage and lives in src/app/tabs/<Name>Tab.h/.cpp
//     (one class per tab: all six are there), with a factory function
//     declared in app/tabs/Tabs.h. TMainForm::AddPages lists the tabs once,
//     in tab order; every other step of the window walks that list. A new
//     tab adds its factory there and its files to src/app/CMakeLists.txt.
//     The constructor only names the page; Build() creates the controls, lays
//     them out (short functions, each control with an object name and an
//     accessible name, see app/FormBuilders.h) and connects the handlers.
//     Controls and handlers are the tab's own members, named as in the
//     window's design; the main window's header never sees them.
//  2. Handlers are connected with Connect / ConnectRadio (an escaping error is
//     reported, never lost) and a tool's start button with ConnectTask, which
//     runs the handler through TTaskControl::RunTaskHandler (refused while a
//     task runs; a task left busy by an error is ended). Inside the run,
//     Host().Tasks() is the ITaskHost that a tool's run takes; wrap the run's
//     work in a QuillTPU::TaskScope (util/TaskScope.h). The tab owns the
//     adapter that feeds its tool run from its controls.
//  3. Saved settings: override AddSettings and add one row per saved value
//     (key, control, default) to the binding list, in the order of the
//     settings table; the same rows load and save (app/SettingsBindings.h).
//     TMainForm::SettingsRows calls the tabs in tab order, except that the
//     Settings tab follows the generator: the window, generator, Settings,
//     Data wipe, Merge files (Drive speed and Disk space have no row).
//     tests/app/SettingsRowsTest.cpp lists the keys in that order and checks
//     that every row comes back after a restart: add the new keys there.
//  4. Start-up work after the settings are loaded (the merge tab shows its
//     first folder): override LateInitialize; TMainForm calls it after all
//     rows are loaded, in tab order. FormCreate runs earlier, once the window
//     is set up (the generator's first size line).
//  5. Values of another tab only through an accessor: Host().BufferSizes()
//     for the three buffer sizes of the Settings tab. Never reach into another
//     tab's widgets. Host().btnMoreClick() is what the logos do.
//  6. Tests reach a tab's controls by object name (tests/support/Controls.h),
//     and its handlers through its own header.
#include "app/ErrorReporting.h"
#include "app/TaskControl.h"

#include <QAbstractButton>
#include <QWidget>

class TSettingsBindings;

// The Settings tab's three buffer sizes, as the tools read them at the moment
// they need them.
class IBufferSizes {
public:
    virtual ~IBufferSizes() = default;
    virtual int GeneratorBufferKB() const = 0; // spnBuf1
    virtual int SpeedTestFileMB() const = 0;   // spnBuf2
    virtual int WipeBufferMB() const = 0;      // spnBufWipe
};

// What the main window offers every tab.
class ITabHost {
public:
    virtual ~ITabHost() = default;
    // Busy state, status line, Cancel and RunTaskHandler.
    virtual TTaskControl& Tasks() = 0;
    virtual const IBufferSizes& BufferSizes() const = 0;
    // What "More tools" does; the logos do the same.
    virtual void btnMoreClick() = 0;
};

class TTabPage : public QWidget {
    Q_OBJECT
public:
    // objectName is the page's design name (tabMain, ...), caption its tab text.
    TTabPage(ITabHost& host, const char* objectName, const char* caption);

    const QString& Caption() const { return FCaption; }

    // Creates the controls and connects their handlers; called once.
    virtual void Build() = 0;
    // The window's creation handler has set up the window (first size line).
    virtual void FormCreate() {}
    // Adds this tab's saved values, in the settings table's order.
    virtual void AddSettings(TSettingsBindings& /*rows*/) {}
    // After every saved value is loaded.
    virtual void LateInitialize() {}

protected:
    ITabHost& Host() const { return FHost; }

    template <typename Tab, typename Sender, typename Signal>
    void Connect(Sender* sender, Signal signal, void (Tab::*handler)()) {
        ErrorReporting::Connect(sender, signal, static_cast<Tab*>(this), handler);
    }
    template <typename Tab> void ConnectRadio(QAbstractButton* radio, void (Tab::*handler)()) {
        ErrorReporting::ConnectRadio(radio, static_cast<Tab*>(this), handler);
    }
    // The start button of a tool: its handler runs as a task. While any task
    // runs, the start buttons are disabled (a second task would be refused:
    // a button that did nothing would leave the user guessing).
    template <typename Tab> void ConnectTask(QAbstractButton* start, void (Tab::*handler)()) {
        auto* tab = static_cast<Tab*>(this);
        QObject::connect(start, &QAbstractButton::clicked, this, [this, tab, handler] {
            FHost.Tasks().RunTaskHandler([tab, handler] { (tab->*handler)(); });
        });
        HoldDuringTasks(start);
    }

private:
    void HoldDuringTasks(QAbstractButton* start);

    ITabHost& FHost;
    QString FCaption;
};
