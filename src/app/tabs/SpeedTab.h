#pragma once
// The "Drive speed" tab: pick a drive, press "Speed me", and the drive speed
// test writes and reads a test file of the Settings tab's size on it and
// logs both speeds. It has no saved value of its own.
#include "app/tabs/TabPage.h"

class QFrame;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QVBoxLayout;
class TDriveComboBox;
class TQuillMemo;

class TSpeedTab final : public TTabPage {
    Q_OBJECT
public:
    explicit TSpeedTab(ITabHost& host);

    void Build() override;

    // Shows the chosen drive's free space, "12.34GB free".
    void drvSpeedChange();
    // Runs the speed test on the chosen drive (a task).
    void btnSpeedMeClick();
    // Runs the full test (eight figures) on the chosen drive (a task).
    void btnFullTestClick();

private:
    void BuildExplanation(QVBoxLayout* page);
    void BuildDriveRow(QVBoxLayout* page);
    void BuildLog(QVBoxLayout* page);
    void BuildStartButton(QVBoxLayout* page);
    void BuildFullTestButton(QHBoxLayout* row);

    QFrame* pnlDriveSpeed = nullptr;
    QLabel* lblDriveSpeed = nullptr;
    QLabel* lblCheckSpeed = nullptr;
    TDriveComboBox* drvSpeed = nullptr;
    QLabel* lblFreeSpace2 = nullptr;
    TQuillMemo* mmoSpeed = nullptr;
    QPushButton* btnSpeedMe = nullptr;
    QPushButton* btnFullTest = nullptr;

    friend class TSpeedControls;
    friend class TSpeedLog;
};
