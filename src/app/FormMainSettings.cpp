// Loading the saved settings at start and writing them back at the end, in
// one fixed order. Each tool adds its values at their place in the list.
#include "app/FormMain.h"

#include "app/SettingsStore.h"
#include "toolkit/TSpinEdit.h"
#include "util/QuillTPU.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabWidget>

using namespace SettingsStore;

namespace {

const QString kSec = QString::fromLatin1(kSection);

// Loading goes through the same paths as the user: a spin box takes the value
// into its range, a radio that becomes checked runs its handler, an edit
// whose text changes runs its change handler.
void LoadSpin(TSpinEdit* spin, const char* name, qint32 defaultValue) {
    spin->setValue(ReadSettingInteger(kSec, name, defaultValue));
}

void LoadEdit(QLineEdit* edit, const char* name, const QString& defaultValue) {
    edit->setText(ReadSettingString(kSec, name, defaultValue));
}

// A radio of an exclusive group is unchecked by checking another one.
void LoadRadio(QRadioButton* radio, const char* name, bool defaultValue) {
    if (ReadSettingBool(kSec, name, defaultValue))
        radio->setChecked(true);
}

} // namespace

void TMainForm::LateInitialize() {
    pagCrtl->setCurrentIndex(ReadSettingInteger(kSec, "ActivePageIndex", 0));
    LoadSpin(spnNumberOfFile, "spnNumberOfFile", 50);
    LoadSpin(spnSizeOfFile, "spnSizeOfFile", 1024);
    LoadEdit(edtFileName, "edtFileName", "AutoGen");
    LoadEdit(edtOutput, "edtOutput", QString::fromStdString(QuillTPU::AppFolder()));
    LoadEdit(edtFileExt, "edtFileExt", "Bin");
    LoadRadio(radB, "radB", false);
    LoadRadio(radKB, "radKB", false);
    LoadRadio(radMB, "radMB", true);
    LoadRadio(radGB, "radGB", false);
    LoadRadio(radRandomName, "radRandomName", true);
    LoadRadio(radRandomContent, "radRandomContent", true);
    LoadRadio(radFillWithThis, "radFillWithThis", false);
    LoadRadio(radPatern, "radPatern", false);
    // The unique tail belongs to the fill text; a stored check mark without
    // it would add a tail the tab does not show.
    chkUnique->setChecked(ReadSettingBool(kSec, "chkUnique", false) &&
                          radFillWithThis->isChecked());
    LoadSpin(spnBuf1, "spnBuf1", 10240);
    LoadSpin(spnBuf2, "spnBuf2", 256);
    LoadSpin(spnBufWipe, "spnBufWipe", 64);
    // The number of files has no change handler; without this the first total
    // would be the one of the design's number when the stored size equals the
    // design's size.
    spnSizeOfFileChange();
}

void TMainForm::FormDestroy() {
    if (FSaved)
        return;
    FSaved = true;
    WriteSettingInteger(kSec, "ActivePageIndex", pagCrtl->currentIndex());
    WriteSettingInteger(kSec, "spnNumberOfFile", spnNumberOfFile->value());
    WriteSettingInteger(kSec, "spnSizeOfFile", spnSizeOfFile->value());
    WriteSettingString(kSec, "edtFileName", edtFileName->text());
    WriteSettingString(kSec, "edtOutput", edtOutput->text());
    WriteSettingString(kSec, "edtFileExt", edtFileExt->text());
    WriteSettingBool(kSec, "radB", radB->isChecked());
    WriteSettingBool(kSec, "radKB", radKB->isChecked());
    WriteSettingBool(kSec, "radMB", radMB->isChecked());
    WriteSettingBool(kSec, "radGB", radGB->isChecked());
    WriteSettingBool(kSec, "radRandomName", radRandomName->isChecked());
    WriteSettingBool(kSec, "radRandomContent", radRandomContent->isChecked());
    WriteSettingBool(kSec, "radFillWithThis", radFillWithThis->isChecked());
    WriteSettingBool(kSec, "radPatern", radPatern->isChecked());
    WriteSettingBool(kSec, "chkUnique", chkUnique->isChecked());
    WriteSettingInteger(kSec, "spnBuf1", spnBuf1->value());
    WriteSettingInteger(kSec, "spnBuf2", spnBuf2->value());
    WriteSettingInteger(kSec, "spnBufWipe", spnBufWipe->value());
}
