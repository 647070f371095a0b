// The Settings tab: three group boxes with a spin box each, and the logo.
#include "app/tabs/SettingsTab.h"

#include "app/FormBuilders.h"
#include "app/Logo.h"
#include "app/SettingsBindings.h"
#include "app/tabs/Tabs.h"
#include "toolkit/TImage.h"
#include "toolkit/TSpinEdit.h"
#include "tools/generator/GeneratorInputs.h"
#include "tools/speedtest/SpeedTestInputs.h"
#include "tools/wipe/WipeInputs.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

using namespace FormBuilders;

namespace {

// A label above its spin box; the label names the box.
TSpinEdit* AddSpin(QGroupBox* group, QLabel*& label, const char* labelName, const char* caption,
                   const char* spinName, const QuillTPU::Bounds<std::int32_t>& bounds, int step,
                   const char* hint) {
    auto* layout = new QVBoxLayout(group);
    label = new QLabel(caption, group);
    label->setObjectName(labelName);
    auto* spin = new TSpinEdit(group);
    spin->setObjectName(spinName);
    spin->setRange(bounds.minimum, bounds.maximum);
    spin->setSingleStep(step);
    spin->setValue(bounds.defaultValue);
    spin->setToolTip(Hint(hint));
    Name(label, spin);
    layout->addWidget(label);
    layout->addWidget(spin);
    return spin;
}

} // namespace

TSettingsTab::TSettingsTab(ITabHost& host) : TTabPage(host, "tabSettings", "Settings") {}

TTabPage* NewSettingsTab(ITabHost& host, const IBufferSizes** sizes) {
    auto* tab = new TSettingsTab(host);
    *sizes = tab;
    return tab;
}

void TSettingsTab::Build() {
    BuildGroups();
    BuildLayout();
    QObject::connect(imgLogo2, &TImage::Clicked, this,
                     ErrorReporting::Guarded([this] { Host().btnMoreClick(); }));
}

void TSettingsTab::AddSettings(TSettingsBindings& rows) {
    rows.Add("spnBuf1", spnBuf1, Generator::kBufferSizeKB.defaultValue);
    rows.Add("spnBuf2", spnBuf2, SpeedTest::kTestSizeMB.defaultValue);
    rows.Add("spnBufWipe", spnBufWipe, Wipe::kBufferSizeMB.defaultValue);
}

int TSettingsTab::GeneratorBufferKB() const {
    return spnBuf1->value();
}
int TSettingsTab::SpeedTestFileMB() const {
    return spnBuf2->value();
}
int TSettingsTab::WipeBufferMB() const {
    return spnBufWipe->value();
}

void TSettingsTab::BuildGroups() {
    grpSpeed1 = NewGroup(this, "grpSpeed1", "Stackwell");
    spnBuf1 = AddSpin(
        grpSpeed1, lblBufferSize, "lblBufferSize", "Buffer size (in KB):", "spnBuf1",
        Generator::kBufferSizeKB, 1024,
        "If the size of the file to be generated is smaller than this value, \rthen this value "
        "will be ignored and the size of the buffer will be\requal with the size of the "
        "file.\r\rRecommended value: 10240 KB (may depend on your hard drive type).");
    lblBufferSize->setToolTip(Hint("Applied only to the Stackwell"));

    grpSpeed2 = NewGroup(this, "grpSpeed2", "Drive speed");
    spnBuf2 = AddSpin(grpSpeed2, Label13, "Label13", "Test file size (in MB):", "spnBuf2",
                      SpeedTest::kTestSizeMB, 8,
                      "Use a value of at least 64 MB. The higher the better (but the test will "
                      "also take longer).\rRecommended value: 128-1024MB.\rRemember: the buffer "
                      "will be created in memory so be careful not to run out of RAM.");

    GroupBox1 = NewGroup(this, "GroupBox1", "Data wipe");
    spnBufWipe = AddSpin(GroupBox1, Label11, "Label11", "Buffer size (in MB):", "spnBufWipe",
                         Wipe::kBufferSizeMB, 8,
                         "The higher the better.\rRemember: the buffer will be created in memory "
                         "so be careful not to run out of RAM.");
    lblInfo = new QLabel("For high speed we recommend a minimum of 64MB", GroupBox1);
    lblInfo->setObjectName("lblInfo");
    lblInfo->setAlignment(Qt::AlignCenter);
    lblInfo->setWordWrap(true);
    lblInfo->setEnabled(false); // greyed
    GroupBox1->layout()->addWidget(lblInfo);

    imgLogo2 = new TImage(this);
    imgLogo2->setObjectName("imgLogo2");
    imgLogo2->SetDrawing([](qreal ratio) { return DrawQuillmarkLogo(256, ratio); });
    imgLogo2->setAccessibleName("Quillmark logo");
    imgLogo2->setToolTip(Hint("More tools"));
}

void TSettingsTab::BuildLayout() {
    auto* page = new QGridLayout(this);
    page->setContentsMargins(10, 10, 10, 10);
    page->setHorizontalSpacing(12);
    page->setVerticalSpacing(12);
    page->addWidget(grpSpeed1, 0, 0);
    page->addWidget(grpSpeed2, 0, 1);
    // Centred below the other two, half-way into each column.
    auto* centre = new QHBoxLayout;
    centre->addStretch(1);
    centre->addWidget(GroupBox1, 4);
    centre->addStretch(1);
    page->addLayout(centre, 1, 0, 1, 2);
    page->setRowStretch(2, 1);
    page->addWidget(imgLogo2, 3, 0, 1, 2, Qt::AlignHCenter | Qt::AlignBottom);
    page->setColumnStretch(0, 1);
    page->setColumnStretch(1, 1);
    GroupBox1->setMinimumWidth(280);
    setTabOrder(spnBuf1, spnBuf2);
    setTabOrder(spnBuf2, spnBufWipe);
}
