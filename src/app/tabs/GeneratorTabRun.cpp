// "Create": the generation run, fed from the tab's controls and the Settings
// tab's buffer size.
#include "app/tabs/GeneratorTab.h"

#include "toolkit/TSpinEdit.h"
#include "tools/generator/GeneratorRun.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>

// Reads every value at the moment the run asks, so changes made during the
// run take effect.
class TGeneratorControls final : public Generator::IGeneratorInputs {
public:
    explicit TGeneratorControls(TGeneratorTab& tab, const IBufferSizes& buffers)
        : FTab(tab), FBuffers(buffers) {}

    std::int64_t FileSize() override { return FTab.ComputeFileSize(); }
    std::int32_t NumberOfFiles() override { return FTab.spnNumberOfFile->value(); }
    std::string OutputFolder() override { return FTab.edtOutput->text().toStdString(); }
    bool RandomName() override { return FTab.radRandomName->isChecked(); }
    std::string PatternName() override { return FTab.edtFileName->text().toStdString(); }
    std::string PatternExtension() override { return FTab.edtFileExt->text().toStdString(); }
    bool RandomContent() override { return FTab.radRandomContent->isChecked(); }
    std::u16string FillText() override { return FTab.FillText(); }
    std::int32_t BufferSizeKB() override { return FBuffers.GeneratorBufferKB(); }
    bool MakeUnique() override { return FTab.chkUnique->isChecked(); }

private:
    TGeneratorTab& FTab;
    const IBufferSizes& FBuffers;
};

void TGeneratorTab::btnGenerateClick() {
    TGeneratorControls controls(*this, Host().BufferSizes());
    Generator::GeneratorRun run(Host().Tasks(), controls);
    run.Execute();
}
