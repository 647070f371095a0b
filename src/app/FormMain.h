#pragma once
// The main window: the page control with its six tabs, the bottom bar with
// Support, More tools and the Cancel of a running task, and the status line.
// Each tab is a class of its own (app/tabs/); the window keeps them in one
// list in tab order, loads and saves their settings in the settings table's
// order, and closes only when no task runs.
#include "app/TaskControl.h"
#include "app/tabs/TabPage.h"

#include <QMainWindow>

#include <vector>

class QFrame;
class QPushButton;
class QStatusBar;
class QTabWidget;
class TSettingsBindings;

class TMainForm : public QMainWindow, public ITabHost {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // Loads the saved settings into their controls and runs each tab's
    // start-up step; called once after the window is created and before it
    // is shown.
    void LateInitialize();
    // Writes the settings back, once. A failed write is reported: with a
    // message box when the user closed the window, on stderr when the
    // program was told to stop (nothing may hold up that shutdown).
    enum class EndReason { UserClosed, Stopped };
    void FormDestroy(EndReason reason);

    // ---- ITabHost ------------------------------------------------------
    TTaskControl& Tasks() override { return *FTaskControl; }
    const IBufferSizes& BufferSizes() const override { return *FBufferSizes; }
    void btnMoreClick() override;

    void btnSupportClick();

    // The saved values of the window and every tab, in the settings table's
    // order; load and save both walk this list.
    void SettingsRows(TSettingsBindings& rows);

    static constexpr const char* kMakerUrl = "https://quillmark.example/";
    static constexpr const char* kMoreToolsUrl = "https://quillmark.example/tools";
    static constexpr const char* kSupportUrl = "https://quillmark.example/forum/ferrovane";

    // ---- The window's own controls (the tabs keep theirs) ----------------
    QTabWidget* pagCrtl = nullptr;
    QFrame* Panel2 = nullptr;
    QPushButton* btnSupport = nullptr;
    QPushButton* btnMore = nullptr;
    QPushButton* btnCancel = nullptr;
    QStatusBar* StatusBar = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildWindow();
    void PlaceOnScreen();
    void KeyboardOrder();
    QFrame* BuildBottomBar(QWidget* parent);
    void AddPages();
    void BuildTabs();
    void FormCreate();
    void WatchStopSignals();
    void btnCancelClick() { FTaskControl->btnCancelClick(); }

    TTaskControl* FTaskControl = nullptr;
    const IBufferSizes* FBufferSizes = nullptr;
    // The six tabs in tab order; the page control owns them.
    std::vector<TTabPage*> FTabs;
    TTabPage* FSettingsTab = nullptr;
    bool FClosePending = false;
    bool FStopRequested = false;
    bool FSaved = false;
};
