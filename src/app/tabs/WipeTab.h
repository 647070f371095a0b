#pragma once
// The "Data wipe" tab: overwrites the free space of the chosen partition,
// pass after pass, with the Settings tab's wipe buffer size.
#include "app/tabs/TabPage.h"

class QCheckBox;
class QFrame;
class QLabel;
class QPushButton;
class QVBoxLayout;
class TDriveComboBox;
class TSpinEdit;

class TWipeTab final : public TTabPage {
    Q_OBJECT
public:
    explicit TWipeTab(ITabHost& host);

    void Build() override;
    void AddSettings(TSettingsBindings& rows) override;

    void drvWipeChange();
    void btnWipeClick();

private:
    void BuildExplain(QVBoxLayout* page);
    void BuildDriveRow(QVBoxLayout* page);
    void BuildOptions(QVBoxLayout* page);
    void BuildWipePanel(QVBoxLayout* page);

    QFrame* pnlExplain = nullptr;
    QLabel* Label10 = nullptr;
    QLabel* Label2 = nullptr;
    TDriveComboBox* drvWipe = nullptr;
    QLabel* lblFreeSpace3 = nullptr;
    QLabel* Label9 = nullptr;
    TSpinEdit* spnPass = nullptr;
    QCheckBox* chkBitRot = nullptr;
    QCheckBox* chkCluster = nullptr;
    QCheckBox* chkHash = nullptr;
    QPushButton* btnWipe = nullptr;

    friend class TWipeControls;
};
