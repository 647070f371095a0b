// The drive speed tab: its controls, the free-space label and "Speed me",
// which feeds the speed test from the drive chooser and the Settings tab.
#include "app/tabs/SpeedTab.h"

#include "app/tabs/Tabs.h"

#include "app/FormBuilders.h"
#include "components/QuillMemo.h"
#include "toolkit/TDriveComboBox.h"
#include "tools/speedtest/SpeedTestRun.h"
#include "util/Drives.h"
#include "util/Format.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <QVBoxLayout>

using namespace FormBuilders;

namespace {

constexpr const char* kExplanation =
    "For maximum accuracy, defragment your disk and close other applications. If the speed "
    "varies greatly between two tests it means that other applications are accessing the disk. "
    "If you obtain different values, always use the highest value!";
constexpr const char* kExplanationHint =
    "If the speed varies greatly between two tests it means that other applications are "
    "accessing the disk.\rIf you obtain different values, always use the highest value!";

// Re-enables the start button however the run ends, an escaping error
// included.
class EnableOnExit {
public:
    explicit EnableOnExit(QWidget* w) : FWidget(w) { FWidget->setEnabled(false); }
    ~EnableOnExit() { FWidget->setEnabled(true); }
    EnableOnExit(const EnableOnExit&) = delete;
    EnableOnExit& operator=(const EnableOnExit&) = delete;

private:
    QWidget* FWidget;
};

} // namespace

// The run's inputs, read from the controls when the run asks.
class TSpeedControls final : public SpeedTest::ISpeedTestInputs {
public:
    TSpeedControls(TSpeedTab& tab, const IBufferSizes& buffers) : FTab(tab), FBuffers(buffers) {}

    std::optional<Platform::ChosenDrive> Drive() override { return ChosenDriveOf(*FTab.drvSpeed); }
    std::int32_t TestSizeMB() override { return FBuffers.SpeedTestFileMB(); }

private:
    TSpeedTab& FTab;
    const IBufferSizes& FBuffers;
};

// The run's log lines go to the memo; the newest line stays in view.
class TSpeedLog final : public SpeedTest::ISpeedLog {
public:
    explicit TSpeedLog(TSpeedTab& tab) : FTab(tab) {}

    void AppendLine(const std::string& line) override {
        FTab.mmoSpeed->appendPlainText(QString::fromStdString(line));
        FTab.mmoSpeed->ScrollAtEnd();
    }

private:
    TSpeedTab& FTab;
};

TSpeedTab::TSpeedTab(ITabHost& host) : TTabPage(host, "tabDiskSpeed", "Drive speed") {}

TTabPage* NewSpeedTab(ITabHost& host) {
    return new TSpeedTab(host);
}

void TSpeedTab::Build() {
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(8, 8, 8, 8);
    BuildExplanation(page);
    BuildDriveRow(page);
    BuildLog(page);
    BuildStartButton(page);
    setTabOrder(drvSpeed, mmoSpeed);
    setTabOrder(mmoSpeed, btnSpeedMe);
    Connect(drvSpeed, &TDriveComboBox::Changed, &TSpeedTab::drvSpeedChange);
    ConnectTask(btnSpeedMe, &TSpeedTab::btnSpeedMeClick);
}

void TSpeedTab::BuildExplanation(QVBoxLayout* page) {
    pnlDriveSpeed = NewPanel(this, "pnlDriveSpeed", 60);
    pnlDriveSpeed->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    QPalette colour = pnlDriveSpeed->palette();
    colour.setColor(QPalette::Window, QColor(251, 252, 197));
    pnlDriveSpeed->setPalette(colour);
    pnlDriveSpeed->setAutoFillBackground(true);
    auto* panelLayout = new QVBoxLayout(pnlDriveSpeed);
    lblDriveSpeed = NewLabel(pnlDriveSpeed, "lblDriveSpeed", kExplanation);
    lblDriveSpeed->setAlignment(Qt::AlignCenter);
    lblDriveSpeed->setWordWrap(true);
    lblDriveSpeed->setToolTip(Hint(kExplanationHint));
    lblDriveSpeed->setAccessibleName(lblDriveSpeed->text());
    panelLayout->addWidget(lblDriveSpeed);
    pnlDriveSpeed->setAccessibleName(lblDriveSpeed->text());
    page->addWidget(pnlDriveSpeed);
}

void TSpeedTab::BuildDriveRow(QVBoxLayout* page) {
    auto* row = new QHBoxLayout;
    lblCheckSpeed = NewLabel(this, "lblCheckSpeed", "Check speed of this drive:");
    lblCheckSpeed->setAccessibleName(lblCheckSpeed->text());
    drvSpeed = new TDriveComboBox(this);
    drvSpeed->setObjectName("drvSpeed");
    Name(lblCheckSpeed, drvSpeed);
    lblFreeSpace2 = NewFreeSpaceLabel(this, "lblFreeSpace2");
    row->addWidget(lblCheckSpeed);
    row->addWidget(drvSpeed, 1);
    row->addWidget(lblFreeSpace2);
    row->addStretch(1);
    page->addLayout(row);
}

void TSpeedTab::BuildLog(QVBoxLayout* page) {
    mmoSpeed = new TQuillMemo(this);
    mmoSpeed->setObjectName("mmoSpeed");
    mmoSpeed->setAccessibleName("Log");
    mmoSpeed->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mmoSpeed->SetText("Log:");
    page->addWidget(mmoSpeed, 1);
}

void TSpeedTab::BuildStartButton(QVBoxLayout* page) {
    btnSpeedMe = NewButton(this, "btnSpeedMe", "Speed me");
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(btnSpeedMe);
    BuildFullTestButton(row);
    row->addStretch(1);
    page->addLayout(row);
}

void TSpeedTab::drvSpeedChange() {
    ShowFreeSpace(*drvSpeed, *lblFreeSpace2);
}

void TSpeedTab::btnSpeedMeClick() {
    EnableOnExit enable(btnSpeedMe);
    TSpeedControls controls(*this, Host().BufferSizes());
    TSpeedLog log(*this);
    SpeedTest::SpeedTestRun run(Host().Tasks(), controls, log);
    run.Execute();
}
