// The generator tab: its controls, the size model and the small handlers that
// keep dependent controls in step.
#include "app/tabs/GeneratorTab.h"

#include "app/tabs/Tabs.h"

#include "app/FormBuilders.h"
#include "app/Logo.h"
#include "app/SettingsBindings.h"
#include "toolkit/RadioFocus.h"
#include "toolkit/TImage.h"
#include "toolkit/TMemo.h"
#include "toolkit/TSpinEdit.h"
#include "tools/generator/GeneratorInputs.h"
#include "util/Checks.h"
#include "util/QuillTPU.h"

#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

using namespace FormBuilders;

namespace {

QString DefaultFillText() {
    const QString line = QStringLiteral("dummy text ").repeated(7);
    QString text;
    for (int i = 0; i < 14; ++i)
        text += line + QLatin1Char('\n');
    return text + QStringLiteral("dummy text ");
}

constexpr const char* kFileNameHint =
    "[File name]\r\n\r\nThe program will automatically add incrementing numbers to your file "
    "name.\r\nFor example:\r\n  File01.BIN\r\n  File02.BIN\r\n  File03.BIN\r\n  etc\r\n\r\nLeave "
    "it empty to have incrementing numbers as file name. For details please check the manual.";

// A hidden control keeps its place, so nothing jumps when it shows.
void KeepPlaceWhenHidden(QWidget* w) {
    QSizePolicy keep = w->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    w->setSizePolicy(keep);
}

} // namespace

TGeneratorTab::TGeneratorTab(ITabHost& host) : TTabPage(host, "tabMain", "Stackwell") {}

TTabPage* NewGeneratorTab(ITabHost& host) {
    return new TGeneratorTab(host);
}

void TGeneratorTab::Build() {
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(8, 4, 8, 4);
    page->setSpacing(2);
    BuildNumberPanel(page);
    BuildSizePanel(page);
    BuildNamePanel(page);
    BuildContentPanel(page);
    BuildCreatePanel(page);
    for (QRadioButton* r :
         {radB, radKB, radMB, radGB, radRandomName, radPatern, radRandomContent, radFillWithThis})
        TabToCheckedRadio(r);
    SetKeyboardOrder();
    ConnectHandlers();
}

void TGeneratorTab::FormCreate() {
    spnSizeOfFileChange();
}

// The saved values of this tab, in the settings table's order. The design
// values above (5 files of 100 MB, "c:\", "BIN") show only until these load.
void TGeneratorTab::AddSettings(TSettingsBindings& rows) {
    using namespace Generator;
    rows.Add("spnNumberOfFile", spnNumberOfFile, kNumberOfFiles.defaultValue);
    rows.Add("spnSizeOfFile", spnSizeOfFile, kSizeNumber.defaultValue);
    rows.Add("edtFileName", edtFileName, kDefaultPatternName);
    // The program's folder, unless the user may not write there (an installed copy).
    rows.Add("edtOutput", edtOutput, QString::fromStdString(QuillTPU::DefaultOutputFolder()));
    rows.Add("edtFileExt", edtFileExt, kDefaultPatternExtension);
    rows.Add("radB", radB, kDefaultSizeUnit == SizeUnit::B);
    rows.Add("radKB", radKB, kDefaultSizeUnit == SizeUnit::KB);
    rows.Add("radMB", radMB, kDefaultSizeUnit == SizeUnit::MB);
    rows.Add("radGB", radGB, kDefaultSizeUnit == SizeUnit::GB);
    rows.Add("radRandomName", radRandomName, kDefaultRandomName);
    rows.Add("radRandomContent", radRandomContent, kDefaultRandomContent);
    rows.Add("radFillWithThis", radFillWithThis, !kDefaultRandomContent);
    rows.Add("radPatern", radPatern, !kDefaultRandomName);
    // The unique tail belongs to the fill text; a stored check mark without
    // it would add a tail the tab does not show.
    rows.AddBool(
        "chkUnique", false, [this] { return chkUnique->isChecked(); },
        [this](bool v) { chkUnique->setChecked(v && radFillWithThis->isChecked()); });
}

void TGeneratorTab::LateInitialize() {
    // The number of files has no change handler; without this the first total
    // would be the one of the design's number when the stored size equals the
    // design's size.
    spnSizeOfFileChange();
}

void TGeneratorTab::BuildNumberPanel(QVBoxLayout* page) {
    QFrame* numberPanel = NewPanel(this, "pnlNumber", 78);
    auto* numberLayout = new QGridLayout(numberPanel);
    numberLayout->setContentsMargins(0, 4, 0, 4);
    Label8 = NewLabel(numberPanel, "Label8", "Number of files:", true);
    Label3 = NewLabel(numberPanel, "Label3", "Generate");
    spnNumberOfFile = new TSpinEdit(numberPanel);
    spnNumberOfFile->setObjectName("spnNumberOfFile");
    spnNumberOfFile->setRange(Generator::kNumberOfFiles.minimum, Generator::kNumberOfFiles.maximum);
    spnNumberOfFile->setSingleStep(10);
    spnNumberOfFile->setValue(5);
    spnNumberOfFile->setMinimumWidth(110);
    spnNumberOfFile->setToolTip(Hint("Specify here number of files."));
    lblFiles = NewLabel(numberPanel, "lblFiles", "files");
    imgLogo = new TImage(numberPanel);
    imgLogo->setObjectName("imgLogo");
    imgLogo->SetDrawing([](qreal ratio) { return DrawQuillmarkLogo(64, ratio); });
    imgLogo->setAccessibleName("Quillmark logo");
    imgLogo->setToolTip(Hint("More tools"));
    Name(Label8, spnNumberOfFile);
    auto* numberRow = new QHBoxLayout;
    numberRow->addWidget(Label3);
    numberRow->addWidget(spnNumberOfFile);
    numberRow->addWidget(lblFiles);
    numberRow->addStretch(1);
    numberLayout->addWidget(Label8, 0, 0);
    numberLayout->addLayout(numberRow, 1, 0);
    numberLayout->addWidget(imgLogo, 0, 1, 2, 1, Qt::AlignRight | Qt::AlignVCenter);
    numberLayout->setColumnStretch(0, 1);
    page->addWidget(numberPanel);
}

// File size: value, unit, quick sizes and the size line.
void TGeneratorTab::BuildSizePanel(QVBoxLayout* page) {
    QFrame* sizePanel = NewPanel(this, "pnlSize", 119);
    auto* sizeLayout = new QGridLayout(sizePanel);
    sizeLayout->setContentsMargins(0, 2, 0, 2);
    sizeLayout->setVerticalSpacing(2);
    Label1 = NewLabel(sizePanel, "Label1", "File size:", true);
    spnSizeOfFile = new TSpinEdit(sizePanel);
    spnSizeOfFile->setObjectName("spnSizeOfFile");
    spnSizeOfFile->setRange(Generator::kSizeNumber.minimum, Generator::kSizeNumber.maximum);
    spnSizeOfFile->setValue(100);
    spnSizeOfFile->SetMaxLength(12);
    spnSizeOfFile->setMinimumWidth(100);
    spnSizeOfFile->setToolTip(
        Hint(("Specify here the size of every file generated, in the unit chosen at the right (" +
              std::to_string(Generator::kSizeNumber.minimum) + " to " +
              std::to_string(Generator::kSizeNumber.maximum) + ").")
                 .c_str()));
    Name(Label1, spnSizeOfFile);
    QWidget* units = BuildUnits(sizePanel);
    auto* separator = new QFrame(sizePanel);
    separator->setObjectName("bvlQuickSize");
    separator->setFrameShape(QFrame::VLine);
    separator->setFrameShadow(QFrame::Sunken);
    QWidget* quick = BuildQuickSizes(sizePanel);
    lblSize = NewLabel(sizePanel, "lblSize", "File size:");
    lblSize->setToolTip(Hint("The size of one file, and of all files together."));
    lblSize->setTextInteractionFlags(Qt::TextSelectableByMouse);
    sizeLayout->addWidget(Label1, 0, 0, 1, 2);
    sizeLayout->addWidget(spnSizeOfFile, 1, 0, Qt::AlignTop);
    sizeLayout->addWidget(units, 1, 1, Qt::AlignTop);
    sizeLayout->addWidget(separator, 0, 2, 2, 1);
    sizeLayout->addWidget(quick, 0, 3, 2, 1);
    sizeLayout->addWidget(lblSize, 2, 0, 1, 4);
    sizeLayout->setColumnStretch(1, 1);
    page->addWidget(sizePanel);
}

QWidget* TGeneratorTab::BuildUnits(QWidget* parent) {
    auto* units = new QWidget(parent);
    units->setObjectName("pnlUnits");
    auto* unitLayout = new QVBoxLayout(units);
    unitLayout->setContentsMargins(0, 0, 0, 0);
    unitLayout->setSpacing(0);
    radB = NewRadio(units, "radB", "Bytes");
    radKB = NewRadio(units, "radKB", "KBytes");
    radMB = NewRadio(units, "radMB", "MBytes");
    radGB = NewRadio(units, "radGB", "GBytes");
    radMB->setChecked(true);
    for (QRadioButton* r : {radB, radKB, radMB, radGB})
        unitLayout->addWidget(r);
    return units;
}

QWidget* TGeneratorTab::BuildQuickSizes(QWidget* parent) {
    auto* quick = new QWidget(parent);
    quick->setObjectName("pnlQuickSize");
    auto* quickLayout = new QGridLayout(quick);
    quickLayout->setContentsMargins(0, 0, 0, 0);
    quickLayout->setSpacing(2);
    Label7 = NewLabel(quick, "Label7", "Quick set size to:");
    quickLayout->addWidget(Label7, 0, 0, 1, 2);
    struct Quick {
        QPushButton*& button;
        const char* name;
        const char* caption;
    };
    const Quick buttons[] = {{btnFloppy, "btnFloppy", "1.4 MB"}, {btn10MB, "btn10MB", "10 MB"},
                             {btnCD1, "btnCD1", "650 MB"},       {btn700MB, "btn700MB", "700 MB"},
                             {btn1GB, "btn1GB", "1 GB"},         {btn2GB, "btn2GB", "2 GB"},
                             {btn4GB, "btn4GB", "4 GB"},         {btnDVD, "btnDVD", "4.7 GB"}};
    for (int i = 0; i < 8; ++i) {
        QPushButton* b = new QPushButton(buttons[i].caption, quick);
        buttons[i].button = b;
        b->setObjectName(buttons[i].name);
        b->setAccessibleName("Quick set size to " + b->text());
        b->setMinimumWidth(64);
        quickLayout->addWidget(b, 1 + i / 2, i % 2);
    }
    return quick;
}

// File name: naming mode, output folder and the pattern.
void TGeneratorTab::BuildNamePanel(QVBoxLayout* page) {
    QFrame* namePanel = NewPanel(this, "pnlFileName", 113);
    auto* nameLayout = new QGridLayout(namePanel);
    nameLayout->setContentsMargins(0, 2, 0, 2);
    Label6 = NewLabel(namePanel, "Label6", "File name:", true);
    grpFileName = new QGroupBox("Name:", namePanel);
    grpFileName->setObjectName("grpFileName");
    grpFileName->setAccessibleName("Name");
    auto* grpLayout = new QVBoxLayout(grpFileName);
    grpLayout->setContentsMargins(6, 2, 6, 4);
    grpLayout->setSpacing(0);
    radRandomName = NewRadio(grpFileName, "radRandomName", "Random name");
    radRandomName->setToolTip(
        Hint("The program will automatically assign random names to all generated files."));
    radRandomName->setChecked(true);
    radPatern = NewRadio(grpFileName, "radPatern", "Pattern");
    radPatern->setToolTip(Hint("The program will use the pattern name provided by you. It will "
                               "automatically add incrementing numbers to your file name."));
    grpLayout->addWidget(radRandomName);
    grpLayout->addWidget(radPatern);
    lblOutput = NewLabel(namePanel, "lblOutput", "Output folder:");
    edtOutput = new QLineEdit("c:\\", namePanel);
    edtOutput->setObjectName("edtOutput");
    Name(lblOutput, edtOutput);
    QWidget* pattern = BuildPatternRow(namePanel);
    nameLayout->addWidget(Label6, 0, 0, 1, 2);
    nameLayout->addWidget(grpFileName, 1, 0, 3, 1, Qt::AlignTop);
    nameLayout->addWidget(lblOutput, 1, 1);
    nameLayout->addWidget(edtOutput, 2, 1);
    nameLayout->addWidget(pattern, 3, 1);
    nameLayout->setColumnStretch(1, 1);
    page->addWidget(namePanel);
}

QWidget* TGeneratorTab::BuildPatternRow(QWidget* parent) {
    pnlName = new QWidget(parent);
    pnlName->setObjectName("pnlName");
    auto* patternLayout = new QHBoxLayout(pnlName);
    patternLayout->setContentsMargins(0, 0, 0, 0);
    lblFileName = NewLabel(pnlName, "lblFileName", "File name:");
    edtFileName = new QLineEdit("AutoGen", pnlName);
    edtFileName->setObjectName("edtFileName");
    edtFileName->setToolTip(Hint(kFileNameHint));
    Name(lblFileName, edtFileName);
    Label5 = NewLabel(pnlName, "Label5", ".");
    edtFileExt = new QLineEdit("BIN", pnlName);
    edtFileExt->setObjectName("edtFileExt");
    edtFileExt->setToolTip(Hint("[File extension]"));
    edtFileExt->setAccessibleName("File extension");
    edtFileExt->setMaximumWidth(60);
    patternLayout->addWidget(lblFileName);
    patternLayout->addWidget(edtFileName, 1);
    patternLayout->addWidget(Label5);
    patternLayout->addWidget(edtFileExt);
    pnlName->setVisible(false);
    KeepPlaceWhenHidden(pnlName);
    return pnlName;
}

// File content: takes the remaining height.
void TGeneratorTab::BuildContentPanel(QVBoxLayout* page) {
    QFrame* contentPanel = NewPanel(this, "pnlFileContent", 0);
    auto* contentLayout = new QVBoxLayout(contentPanel);
    contentLayout->setContentsMargins(0, 2, 0, 2);
    contentLayout->setSpacing(0);
    lblFileContent = NewLabel(contentPanel, "lblFileContent", "File content:", true);
    radRandomContent =
        NewRadio(contentPanel, "radRandomContent", "Fill the files with random characters");
    radRandomContent->setToolTip(
        Hint("The content of the generated files will be filled with random data"));
    radRandomContent->setChecked(true);
    radFillWithThis =
        NewRadio(contentPanel, "radFillWithThis", "Fill the files with this content:");
    radFillWithThis->setToolTip(
        Hint("The text in the box bellow will be used to fill the generated files.\rThe text "
             "will be added over and over until the file reaches the specified size."));
    chkUnique = new QCheckBox("Make file unique", contentPanel);
    chkUnique->setObjectName("chkUnique");
    chkUnique->setAccessibleName(chkUnique->text());
    chkUnique->setToolTip(Hint(
        "This will add an extra 1024 bytes of random data to the end of the file\rto make sure "
        "that the file has unique content. This way the program will \rnever generate two files "
        "with identical content. Good for TTH tests."));
    chkUnique->setVisible(false);
    KeepPlaceWhenHidden(chkUnique);
    mmoFillText = new TMemo(contentPanel);
    mmoFillText->setObjectName("mmoFillText");
    mmoFillText->setAccessibleName("Fill text");
    mmoFillText->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mmoFillText->SetText(DefaultFillText());
    mmoFillText->setEnabled(false);
    contentLayout->addWidget(lblFileContent);
    contentLayout->addWidget(radRandomContent);
    contentLayout->addWidget(radFillWithThis);
    contentLayout->addWidget(chkUnique);
    contentLayout->addWidget(mmoFillText, 1);
    page->addWidget(contentPanel, 1);
}

// Bottom: Create, centred.
void TGeneratorTab::BuildCreatePanel(QVBoxLayout* page) {
    QFrame* bottomPanel = NewPanel(this, "pnlGenerate", 40);
    auto* bottomLayout = new QHBoxLayout(bottomPanel);
    bottomLayout->setContentsMargins(0, 4, 0, 4);
    btnGenerate = NewButton(bottomPanel, "btnGenerate", "Create");
    btnGenerate->setMinimumWidth(120);
    bottomLayout->addStretch(1);
    bottomLayout->addWidget(btnGenerate);
    bottomLayout->addStretch(1);
    page->addWidget(bottomPanel);
}

// Keyboard order: top to bottom, left to right.
void TGeneratorTab::SetKeyboardOrder() {
    QWidget* order[] = {spnNumberOfFile, spnSizeOfFile, radB,        radKB,      radMB,
                        radGB,           btnFloppy,     btn10MB,     btnCD1,     btn700MB,
                        btn1GB,          btn2GB,        btn4GB,      btnDVD,     radRandomName,
                        radPatern,       edtOutput,     edtFileName, edtFileExt, radRandomContent,
                        radFillWithThis, chkUnique,     mmoFillText, btnGenerate};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void TGeneratorTab::ConnectHandlers() {
    using T = TGeneratorTab;
    Connect(spnSizeOfFile, &QSpinBox::valueChanged, &T::spnSizeOfFileChange);
    for (QRadioButton* r : {radB, radKB, radMB, radGB})
        ConnectRadio(r, &T::spnSizeOfFileChange);
    ConnectRadio(radRandomName, &T::NameGeneratorClick);
    ConnectRadio(radPatern, &T::NameGeneratorClick);
    ConnectRadio(radRandomContent, &T::ContentFillClick);
    ConnectRadio(radFillWithThis, &T::ContentFillClick);
    Connect(mmoFillText, &TMemo::Changed, &T::mmoFillTextChange);
    Connect(btnFloppy, &QPushButton::clicked, &T::btnFloppyClick);
    Connect(btn10MB, &QPushButton::clicked, &T::btn10MBClick);
    Connect(btnCD1, &QPushButton::clicked, &T::btnCD1Click);
    Connect(btn700MB, &QPushButton::clicked, &T::btn700MBClick);
    Connect(btn1GB, &QPushButton::clicked, &T::btn1GBClick);
    Connect(btn2GB, &QPushButton::clicked, &T::btn2GBClick);
    Connect(btn4GB, &QPushButton::clicked, &T::btn4GBClick);
    Connect(btnDVD, &QPushButton::clicked, &T::btnDVDClick);
    QObject::connect(imgLogo, &TImage::Clicked, this,
                     ErrorReporting::Guarded([this] { Host().btnMoreClick(); }));
    // The run is a task: refused while another one runs.
    ConnectTask(btnGenerate, &T::btnGenerateClick);
}

std::int64_t TGeneratorTab::ComputeFileSize() {
    const std::int64_t v = spnSizeOfFile->value();
    if (radB->isChecked())
        return v;
    if (radKB->isChecked())
        return CheckedMul<std::int64_t>(v, 1024);
    if (radMB->isChecked())
        return CheckedMul<std::int64_t>(v, 1048576);
    if (radGB->isChecked())
        return CheckedMul<std::int64_t>(v, 1073741824);
    QuillTPU::ShowErrorMessage("File size not defined!");
    return 1;
}

void TGeneratorTab::spnSizeOfFileChange() {
    const std::int64_t size = ComputeFileSize();
    const std::int64_t count = spnNumberOfFile->value();
    std::int64_t total = 0;
    // Only huge sizes in GBytes times very many files leave 64 bits; the line
    // then says so instead of the run of the program ending in an error.
    const bool fits = !__builtin_mul_overflow(size, count, &total);
    lblSize->setText(QString::fromStdString(
        "File size: " + QuillTPU::FormatSize(size) +
        " / Total size: " + (fits ? QuillTPU::FormatSize(total) : std::string("more than 8 EB"))));
}

void TGeneratorTab::NameGeneratorClick() {
    pnlName->setVisible(radPatern->isChecked());
}

void TGeneratorTab::ContentFillClick() {
    const bool fill = radFillWithThis->isChecked();
    mmoFillText->setEnabled(fill);
    chkUnique->setVisible(fill);
    if (!fill)
        chkUnique->setChecked(false);
}

std::u16string TGeneratorTab::FillText() const {
    QString text = mmoFillText->Text();
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return text.toStdU16String();
}

void TGeneratorTab::mmoFillTextChange() {
    // Most edits stay far below the limit: count without building the text.
    const QString shown = mmoFillText->Text();
    if (shown.size() + shown.count(QLatin1Char('\n')) <= kFillTextLimit)
        return;
    const std::u16string text = FillText();
    // The message keeps the text the program has always shown.
    QuillTPU::ShowPlainMessage("Maximum 1024 characters!");
    // Cut to the limit as the run counts; never split a CR LF pair or a
    // surrogate pair.
    std::size_t keep = kFillTextLimit;
    if (text[keep - 1] == u'\r' || (text[keep - 1] >= 0xD800 && text[keep - 1] <= 0xDBFF))
        --keep;
    QString cut = QString::fromStdU16String(text.substr(0, keep));
    cut.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    mmoFillText->SetText(cut);
}

void TGeneratorTab::QuickSize(QRadioButton* unit, int value) {
    unit->setChecked(true);
    spnSizeOfFile->setValue(value);
}

void TGeneratorTab::btnFloppyClick() {
    QuickSize(radKB, 1433);
}
void TGeneratorTab::btn10MBClick() {
    QuickSize(radMB, 10);
}
void TGeneratorTab::btnCD1Click() {
    QuickSize(radMB, 650);
}
void TGeneratorTab::btn700MBClick() {
    QuickSize(radMB, 700);
}
void TGeneratorTab::btn1GBClick() {
    QuickSize(radMB, 1024);
}
void TGeneratorTab::btn2GBClick() {
    QuickSize(radMB, 2048);
}
void TGeneratorTab::btn4GBClick() {
    QuickSize(radMB, 4096);
}
void TGeneratorTab::btnDVDClick() {
    QuickSize(radMB, 4812);
}
