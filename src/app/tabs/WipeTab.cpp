// The Data wipe tab: the explanation, the drive and its free space, the
// passes and options, and "Wipe free space".
#include "app/tabs/WipeTab.h"

#include "app/FormBuilders.h"
#include "app/SettingsBindings.h"
#include "app/tabs/Tabs.h"
#include "toolkit/TDriveComboBox.h"
#include "toolkit/TSpinEdit.h"
#include "tools/wipe/WipeRun.h"
#include "util/Drives.h"
#include "util/Format.h"

#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <QVBoxLayout>

using namespace FormBuilders;

namespace {

// The three options share one hint; none of them changes the run.
constexpr const char* kOptionHint =
    "This may add some additional overhead but will increase the security";

QCheckBox* NewCheck(QWidget* parent, const char* name, const char* caption, bool checked) {
    auto* check = new QCheckBox(QString::fromUtf8(caption), parent);
    check->setObjectName(name);
    check->setAccessibleName(check->text());
    check->setToolTip(Hint(kOptionHint));
    check->setChecked(checked);
    return check;
}

} // namespace

// Feeds the run from the tab: the buffer size is read afresh at every call,
// so a change on the Settings tab during the run takes effect.
class TWipeControls final : public Wipe::IWipeInputs {
public:
    TWipeControls(TWipeTab& tab, const IBufferSizes& buffers) : FTab(tab), FBuffers(buffers) {}

    std::optional<Platform::ChosenDrive> Drive() override { return ChosenDriveOf(*FTab.drvWipe); }
    std::int32_t Passes() override { return FTab.spnPass->value(); }
    std::int32_t BufferSizeMB() override { return FBuffers.WipeBufferMB(); }

private:
    TWipeTab& FTab;
    const IBufferSizes& FBuffers;
};

TWipeTab::TWipeTab(ITabHost& host) : TTabPage(host, "tabWipe", "Data wipe") {}

TTabPage* NewWipeTab(ITabHost& host) {
    return new TWipeTab(host);
}

void TWipeTab::Build() {
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(10, 10, 10, 10);
    page->setSpacing(10);
    BuildExplain(page);
    BuildDriveRow(page);
    BuildOptions(page);
    page->addStretch(1);
    BuildWipePanel(page);

    QWidget* order[] = {drvWipe, spnPass, chkBitRot, chkCluster, chkHash, btnWipe};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    using T = TWipeTab;
    Connect(drvWipe, &TDriveComboBox::Changed, &T::drvWipeChange);
    ConnectTask(btnWipe, &T::btnWipeClick);
}

void TWipeTab::AddSettings(TSettingsBindings& rows) {
    rows.Add("spnPass", spnPass, 2);
    rows.AddCheck("chkBitRot", chkBitRot, true);
}

void TWipeTab::drvWipeChange() {
    ShowFreeSpace(*drvWipe, *lblFreeSpace3);
}

void TWipeTab::btnWipeClick() {
    TWipeControls controls(*this, Host().BufferSizes());
    Wipe::WipeRun run(Host().Tasks(), controls);
    run.Execute();
}

// Across the top, light yellow: what the tool does.
void TWipeTab::BuildExplain(QVBoxLayout* page) {
    pnlExplain = NewPanel(this, "pnlExplain", 0);
    pnlExplain->setFrameShape(QFrame::Panel);
    pnlExplain->setFrameShadow(QFrame::Sunken);
    pnlExplain->setAutoFillBackground(true);
    QPalette palette = pnlExplain->palette();
    palette.setColor(QPalette::Window, QColor(251, 252, 197));
    palette.setColor(QPalette::WindowText, Qt::black);
    pnlExplain->setPalette(palette);
    auto* layout = new QVBoxLayout(pnlExplain);
    layout->setContentsMargins(8, 8, 8, 8);
    Label10 = NewLabel(pnlExplain, "Label10",
                       "This tool will overwrite all free space on the selected "
                       "partition so all files that previously occupied that space "
                       "will be impossible to recover.");
    Label10->setAlignment(Qt::AlignCenter);
    Label10->setWordWrap(true);
    layout->addWidget(Label10);
    pnlExplain->setAccessibleName(Label10->text());
    page->addWidget(pnlExplain);
}

// The partition, its free space, and the number of passes.
void TWipeTab::BuildDriveRow(QVBoxLayout* page) {
    auto* grid = new QGridLayout;
    Label2 = NewLabel(this, "Label2", "Wipe all free space on this partition:");
    drvWipe = new TDriveComboBox(this);
    drvWipe->setObjectName("drvWipe");
    drvWipe->setMinimumWidth(220);
    Name(Label2, drvWipe);
    lblFreeSpace3 = NewFreeSpaceLabel(this, "lblFreeSpace3");
    lblFreeSpace3->setMinimumWidth(90);

    Label9 = NewLabel(this, "Label9", "Number of passes:");
    spnPass = new TSpinEdit(this);
    spnPass->setObjectName("spnPass");
    spnPass->setRange(1, 16);
    spnPass->setValue(2);
    spnPass->setToolTip(
        Hint("Due to the high-efficiency algorithm used, only 2 passes should be enough for most "
             "users.\rEach pass will use a unique pattern and will take into account previous "
             "patter so the magnetic field is quickly set to the same level everywhere."));
    Name(Label9, spnPass);

    // The long caption gets a line of its own, so the chooser and the free
    // space fit beside each other at the window's smallest width.
    grid->addWidget(Label2, 0, 0, 1, 3);
    grid->addWidget(drvWipe, 1, 0, 1, 2);
    grid->addWidget(lblFreeSpace3, 1, 2);
    grid->addWidget(Label9, 2, 0);
    grid->addWidget(spnPass, 2, 1, Qt::AlignLeft);
    grid->setColumnStretch(3, 1);
    page->addLayout(grid);
}

void TWipeTab::BuildOptions(QVBoxLayout* page) {
    chkBitRot = NewCheck(this, "chkBitRot", "Enable bit rotting", true);
    chkCluster = NewCheck(this, "chkCluster", "Enable cluster awareness", false);
    chkHash = NewCheck(this, "chkHash", "Enable double hashing", false);
    page->addWidget(chkBitRot);
    page->addWidget(chkCluster);
    page->addWidget(chkHash);
}

// Bottom: the start button, centred.
void TWipeTab::BuildWipePanel(QVBoxLayout* page) {
    auto* row = new QHBoxLayout;
    btnWipe = NewButton(this, "btnWipe", "Wipe free space");
    btnWipe->setMinimumWidth(140);
    row->addStretch(1);
    row->addWidget(btnWipe);
    row->addStretch(1);
    page->addLayout(row);
}
