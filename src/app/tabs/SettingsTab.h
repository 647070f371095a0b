#pragma once
// The Settings tab: the buffer sizes of the generator, the speed test and the
// wipe, and the maker's logo. The other tabs read the sizes through
// IBufferSizes, never through the spin boxes.
#include "app/tabs/TabPage.h"

class QGroupBox;
class QLabel;
class TImage;
class TSpinEdit;

class TSettingsTab final : public TTabPage, public IBufferSizes {
    Q_OBJECT
public:
    explicit TSettingsTab(ITabHost& host);

    void Build() override;
    void AddSettings(TSettingsBindings& rows) override;

    int GeneratorBufferKB() const override;
    int SpeedTestFileMB() const override;
    int WipeBufferMB() const override;

private:
    void BuildGroups();
    void BuildLayout();

    QGroupBox* grpSpeed1 = nullptr;
    QLabel* lblBufferSize = nullptr;
    TSpinEdit* spnBuf1 = nullptr;
    QGroupBox* grpSpeed2 = nullptr;
    QLabel* Label13 = nullptr;
    TSpinEdit* spnBuf2 = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QLabel* Label11 = nullptr;
    TSpinEdit* spnBufWipe = nullptr;
    QLabel* lblInfo = nullptr;
    TImage* imgLogo2 = nullptr;
};
