#include "app/FormMain.h"
#include "toolkit/TSpinEdit.h"
#include "tools/generator/GeneratorRun.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>

namespace {

// The generator tab and the buffer size of the Settings tab, read at the
// moment the run asks, so changes made during the run take effect.
class TGeneratorControls : public Generator::IGeneratorInputs {
public:
    explicit TGeneratorControls(TMainForm& form) : FForm(form) {}

    std::int64_t FileSize() override { return FForm.ComputeFileSize(); }
    std::int32_t NumberOfFiles() override { return FForm.spnNumberOfFile->value(); }
    std::string OutputFolder() override { return FForm.edtOutput->text().toStdString(); }
    bool RandomName() override { return FForm.radRandomName->isChecked(); }
    std::string PatternName() override { return FForm.edtFileName->text().toStdString(); }
    std::string PatternExtension() override { return FForm.edtFileExt->text().toStdString(); }
    bool RandomContent() override { return FForm.radRandomContent->isChecked(); }
    std::u16string FillText() override { return FForm.FillText(); }
    std::int32_t BufferSizeKB() override { return FForm.spnBuf1->value(); }
    bool MakeUnique() override { return FForm.chkUnique->isChecked(); }

private:
    TMainForm& FForm;
};

} // namespace

void TMainForm::btnGenerateClick() {
    TGeneratorControls controls(*this);
    Generator::GeneratorRun run(TaskHost(), controls);
    run.Execute();
}
