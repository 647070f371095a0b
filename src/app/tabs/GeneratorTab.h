#pragma once
// The generator tab ("Stackwell"): how many files, how large, where, under
// which names and with which content, and "Create", which runs the
// generation with these values and the Settings tab's buffer size.
#include "app/tabs/TabPage.h"

#include <cstdint>
#include <string>

class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QVBoxLayout;
class TImage;
class TMemo;
class TSpinEdit;

class TGeneratorTab final : public TTabPage {
    Q_OBJECT
public:
    explicit TGeneratorTab(ITabHost& host);

    void Build() override;
    void FormCreate() override;
    void AddSettings(TSettingsBindings& rows) override;
    void LateInitialize() override;

    std::int64_t ComputeFileSize();
    void spnSizeOfFileChange();
    void NameGeneratorClick();
    void ContentFillClick();
    void mmoFillTextChange();
    void btnFloppyClick();
    void btn10MBClick();
    void btnCD1Click();
    void btn700MBClick();
    void btn1GBClick();
    void btn2GBClick();
    void btn4GBClick();
    void btnDVDClick();
    void btnGenerateClick();
    // The fill text as the run writes it: a line break is CR LF.
    std::u16string FillText() const;
    // Longest fill text, counted as FillText() counts it. The run writes a
    // text longer than its buffer whole into every block, so the limit only
    // keeps the memo and the run's pattern in reason.
    static constexpr int kFillTextLimit = 1048576;

private:
    void BuildNumberPanel(QVBoxLayout* page);
    void BuildSizePanel(QVBoxLayout* page);
    QWidget* BuildUnits(QWidget* parent);
    QWidget* BuildQuickSizes(QWidget* parent);
    void BuildNamePanel(QVBoxLayout* page);
    QWidget* BuildPatternRow(QWidget* parent);
    void BuildContentPanel(QVBoxLayout* page);
    void BuildCreatePanel(QVBoxLayout* page);
    void SetKeyboardOrder();
    void ConnectHandlers();
    void QuickSize(QRadioButton* unit, int value);

    QLabel* Label8 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* lblFiles = nullptr;
    TSpinEdit* spnNumberOfFile = nullptr;
    TImage* imgLogo = nullptr;
    QLabel* Label1 = nullptr;
    TSpinEdit* spnSizeOfFile = nullptr;
    QRadioButton* radB = nullptr;
    QRadioButton* radKB = nullptr;
    QRadioButton* radMB = nullptr;
    QRadioButton* radGB = nullptr;
    QLabel* Label7 = nullptr;
    QPushButton* btnFloppy = nullptr;
    QPushButton* btn10MB = nullptr;
    QPushButton* btnCD1 = nullptr;
    QPushButton* btn700MB = nullptr;
    QPushButton* btn1GB = nullptr;
    QPushButton* btn2GB = nullptr;
    QPushButton* btn4GB = nullptr;
    QPushButton* btnDVD = nullptr;
    QLabel* lblSize = nullptr;
    QLabel* Label6 = nullptr;
    QGroupBox* grpFileName = nullptr;
    QRadioButton* radRandomName = nullptr;
    QRadioButton* radPatern = nullptr;
    QLabel* lblOutput = nullptr;
    QLineEdit* edtOutput = nullptr;
    QWidget* pnlName = nullptr;
    QLabel* lblFileName = nullptr;
    QLineEdit* edtFileName = nullptr;
    QLabel* Label5 = nullptr;
    QLineEdit* edtFileExt = nullptr;
    QLabel* lblFileContent = nullptr;
    QRadioButton* radRandomContent = nullptr;
    QRadioButton* radFillWithThis = nullptr;
    QCheckBox* chkUnique = nullptr;
    TMemo* mmoFillText = nullptr;
    QPushButton* btnGenerate = nullptr;

    friend class TGeneratorControls;
};
