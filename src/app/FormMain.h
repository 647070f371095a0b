#pragma once
// The main window: six tabs, the bottom bar with Support, More tools and the
// Cancel of a running task, and the status line. The controls are public, as
// in the window's design, so that each tool's code can read and fill them.
#include "app/TaskControl.h"

#include <QMainWindow>

#include <cstdint>
#include <functional>
#include <string>

class QAbstractButton;
class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStatusBar;
class QTabWidget;
class TImage;
class TMemo;
class TSpinEdit;

class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // Loads the saved settings into their controls; called once after the
    // window is created and before it is shown.
    void LateInitialize();
    // Writes the settings back; runs when the window is destroyed.
    void FormDestroy();

    // ---- Task control --------------------------------------------------
    TTaskControl& TaskHost() { return *FTaskControl; }
    void BeginTask() { FTaskControl->BeginTask(); }
    void EndTask() { FTaskControl->EndTask(); }
    void PumpMessages() { FTaskControl->PumpMessages(); }
    bool CancelRequested() const { return FTaskControl->CancelRequested(); }
    void btnCancelClick() { FTaskControl->btnCancelClick(); }
    // Runs the start handler of a tool: refused while a task runs (a click
    // that reached a start button from inside a running task's message
    // pumping); an error that escapes it is reported, and a task it left
    // busy is ended. Returns false when refused.
    bool RunTaskHandler(const std::function<void()>& handler);

    // ---- Generator tab -----------------------------------------------
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
    // Longest fill text, counted as FillText() counts it.
    static constexpr int kFillTextLimit = 1024;

    // ---- Bottom bar ------------------------------------------------------
    void btnSupportClick();
    void btnMoreClick();

    // The tab pages that the tools fill with their controls.
    QWidget* TabMain() const { return tabMain; }
    QWidget* TabDiskSpeed() const { return tabDiskSpeed; }
    QWidget* TabWipe() const { return tabWipe; }
    QWidget* TabSpace() const { return tabSpace; }
    QWidget* TabMerge() const { return tabMerge; }
    QWidget* TabSettings() const { return tabSettings; }

    static constexpr const char* kMakerUrl = "https://quillmark.example/";
    static constexpr const char* kMoreToolsUrl = "https://quillmark.example/tools";
    static constexpr const char* kSupportUrl = "https://quillmark.example/forum/ferrovane";

    // ---- Controls of the design ------------------------------------------
    QTabWidget* pagCrtl = nullptr;
    QWidget* tabMain = nullptr;
    QWidget* tabDiskSpeed = nullptr;
    QWidget* tabWipe = nullptr;
    QWidget* tabSpace = nullptr;
    QWidget* tabMerge = nullptr;
    QWidget* tabSettings = nullptr;

    QFrame* Panel2 = nullptr;
    QPushButton* btnSupport = nullptr;
    QPushButton* btnMore = nullptr;
    QPushButton* btnCancel = nullptr;
    QStatusBar* StatusBar = nullptr;

    // Generator tab.
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

    // Settings tab.
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

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildWindow();
    void BuildGeneratorTab();
    void BuildSettingsTab();
    void ConnectGeneratorTab();
    void FormCreate();
    void QuickSize(QRadioButton* unit, int value);

    // Connects a control's signal to a handler of the window, guarded.
    template <typename Sender, typename Signal, typename Handler>
    void Connect(Sender* sender, Signal signal, Handler handler);
    // A radio's handler runs when it becomes checked (by the user or the
    // program); unchecking runs none.
    void ConnectRadio(QRadioButton* radio, void (TMainForm::*handler)());

    TTaskControl* FTaskControl = nullptr;
    bool FClosePending = false;
    bool FSaved = false;
};

#include "app/ErrorReporting.h"

template <typename Sender, typename Signal, typename Handler>
void TMainForm::Connect(Sender* sender, Signal signal, Handler handler) {
    QObject::connect(sender, signal, this,
                     ErrorReporting::Guarded([this, handler] { (this->*handler)(); }));
}
