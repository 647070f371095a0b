// The generator tab: its controls, the size model and the small handlers that
// keep dependent controls in step.
#include "app/FormMain.h"

#include "app/FormBuilders.h"
#include "app/Logo.h"
#include "toolkit/RadioFocus.h"
#include "toolkit/TImage.h"
#include "toolkit/TMemo.h"
#include "toolkit/TSpinEdit.h"
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

} // namespace

void TMainForm::BuildGeneratorTab() {
    auto* page = new QVBoxLayout(tabMain);
    page->setContentsMargins(8, 4, 8, 4);
    page->setSpacing(2);

    // Number of files, with the logo at the right.
    QFrame* numberPanel = NewPanel(tabMain, "pnlNumber", 78);
    auto* numberLayout = new QGridLayout(numberPanel);
    numberLayout->setContentsMargins(0, 4, 0, 4);
    Label8 = NewLabel(numberPanel, "Label8", "Number of files:", true);
    Label3 = NewLabel(numberPanel, "Label3", "Generate");
    spnNumberOfFile = new TSpinEdit(numberPanel);
    spnNumberOfFile->setObjectName("spnNumberOfFile");
    spnNumberOfFile->setRange(1, 2100000000);
    spnNumberOfFile->setSingleStep(10);
    spnNumberOfFile->setValue(5);
    spnNumberOfFile->setMinimumWidth(110);
    spnNumberOfFile->setToolTip(Hint("Specify here number of files."));
    lblFiles = NewLabel(numberPanel, "lblFiles", "files");
    imgLogo = new TImage(numberPanel);
    imgLogo->setObjectName("imgLogo");
    imgLogo->setPixmap(DrawQuillmarkLogo(64));
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

    // File size: value, unit, quick sizes and the size line.
    QFrame* sizePanel = NewPanel(tabMain, "pnlSize", 119);
    auto* sizeLayout = new QGridLayout(sizePanel);
    sizeLayout->setContentsMargins(0, 2, 0, 2);
    sizeLayout->setVerticalSpacing(2);
    Label1 = NewLabel(sizePanel, "Label1", "File size:", true);
    spnSizeOfFile = new TSpinEdit(sizePanel);
    spnSizeOfFile->setObjectName("spnSizeOfFile");
    spnSizeOfFile->setRange(1, 10000000);
    spnSizeOfFile->setValue(100);
    spnSizeOfFile->SetMaxLength(12);
    spnSizeOfFile->setMinimumWidth(100);
    spnSizeOfFile->setToolTip(Hint("Specify here the size of every file generated, in the unit "
                                   "chosen at the right (1 to 10000000)."));
    Name(Label1, spnSizeOfFile);
    auto* units = new QWidget(sizePanel);
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
    auto* separator = new QFrame(sizePanel);
    separator->setObjectName("bvlQuickSize");
    separator->setFrameShape(QFrame::VLine);
    separator->setFrameShadow(QFrame::Sunken);
    auto* quick = new QWidget(sizePanel);
    quick->setObjectName("pnlQuickSize");
    auto* quickLayout = new QGridLayout(quick);
    quickLayout->setContentsMargins(0, 0, 0, 0);
    quickLayout->setSpacing(2);
    Label7 = NewLabel(quick, "Label7", "Quick set size to:");
    quickLayout->addWidget(Label7, 0, 0, 1, 2);
    btnFloppy = new QPushButton("1.4 MB", quick);
    btn10MB = new QPushButton("10 MB", quick);
    btnCD1 = new QPushButton("650 MB", quick);
    btn700MB = new QPushButton("700 MB", quick);
    btn1GB = new QPushButton("1 GB", quick);
    btn2GB = new QPushButton("2 GB", quick);
    btn4GB = new QPushButton("4 GB", quick);
    btnDVD = new QPushButton("4.7 GB", quick);
    const char* quickNames[] = {"btnFloppy", "btn10MB", "btnCD1", "btn700MB",
                                "btn1GB",    "btn2GB",  "btn4GB", "btnDVD"};
    QPushButton* quickButtons[] = {btnFloppy, btn10MB, btnCD1, btn700MB,
                                   btn1GB,    btn2GB,  btn4GB, btnDVD};
    for (int i = 0; i < 8; ++i) {
        QPushButton* b = quickButtons[i];
        b->setObjectName(quickNames[i]);
        b->setAccessibleName("Quick set size to " + b->text());
        b->setMinimumWidth(64);
        quickLayout->addWidget(b, 1 + i / 2, i % 2);
    }
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

    // File name: naming mode, output folder and the pattern.
    QFrame* namePanel = NewPanel(tabMain, "pnlFileName", 113);
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
    pnlName = new QWidget(namePanel);
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
    // The pattern row keeps its place while hidden, so nothing jumps.
    QSizePolicy keep = pnlName->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    pnlName->setSizePolicy(keep);
    nameLayout->addWidget(Label6, 0, 0, 1, 2);
    nameLayout->addWidget(grpFileName, 1, 0, 3, 1, Qt::AlignTop);
    nameLayout->addWidget(lblOutput, 1, 1);
    nameLayout->addWidget(edtOutput, 2, 1);
    nameLayout->addWidget(pnlName, 3, 1);
    nameLayout->setColumnStretch(1, 1);
    page->addWidget(namePanel);

    // File content: takes the remaining height.
    QFrame* contentPanel = NewPanel(tabMain, "pnlFileContent", 0);
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
    QSizePolicy keepUnique = chkUnique->sizePolicy();
    keepUnique.setRetainSizeWhenHidden(true);
    chkUnique->setSizePolicy(keepUnique);
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

    // Bottom: Create, centred.
    QFrame* bottomPanel = NewPanel(tabMain, "pnlGenerate", 40);
    auto* bottomLayout = new QHBoxLayout(bottomPanel);
    bottomLayout->setContentsMargins(0, 4, 0, 4);
    btnGenerate = new QPushButton("Create", bottomPanel);
    btnGenerate->setObjectName("btnGenerate");
    btnGenerate->setAccessibleName("Create");
    btnGenerate->setMinimumWidth(120);
    bottomLayout->addStretch(1);
    bottomLayout->addWidget(btnGenerate);
    bottomLayout->addStretch(1);
    page->addWidget(bottomPanel);

    for (QRadioButton* r :
         {radB, radKB, radMB, radGB, radRandomName, radPatern, radRandomContent, radFillWithThis})
        TabToCheckedRadio(r);

    // Keyboard order: top to bottom, left to right.
    QWidget* order[] = {spnNumberOfFile, spnSizeOfFile, radB,        radKB,      radMB,
                        radGB,           btnFloppy,     btn10MB,     btnCD1,     btn700MB,
                        btn1GB,          btn2GB,        btn4GB,      btnDVD,     radRandomName,
                        radPatern,       edtOutput,     edtFileName, edtFileExt, radRandomContent,
                        radFillWithThis, chkUnique,     mmoFillText, btnGenerate};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void TMainForm::ConnectGeneratorTab() {
    Connect(spnSizeOfFile, &QSpinBox::valueChanged, &TMainForm::spnSizeOfFileChange);
    for (QRadioButton* r : {radB, radKB, radMB, radGB})
        ConnectRadio(r, &TMainForm::spnSizeOfFileChange);
    ConnectRadio(radRandomName, &TMainForm::NameGeneratorClick);
    ConnectRadio(radPatern, &TMainForm::NameGeneratorClick);
    ConnectRadio(radRandomContent, &TMainForm::ContentFillClick);
    ConnectRadio(radFillWithThis, &TMainForm::ContentFillClick);
    Connect(mmoFillText, &TMemo::Changed, &TMainForm::mmoFillTextChange);
    Connect(btnFloppy, &QPushButton::clicked, &TMainForm::btnFloppyClick);
    Connect(btn10MB, &QPushButton::clicked, &TMainForm::btn10MBClick);
    Connect(btnCD1, &QPushButton::clicked, &TMainForm::btnCD1Click);
    Connect(btn700MB, &QPushButton::clicked, &TMainForm::btn700MBClick);
    Connect(btn1GB, &QPushButton::clicked, &TMainForm::btn1GBClick);
    Connect(btn2GB, &QPushButton::clicked, &TMainForm::btn2GBClick);
    Connect(btn4GB, &QPushButton::clicked, &TMainForm::btn4GBClick);
    Connect(btnDVD, &QPushButton::clicked, &TMainForm::btnDVDClick);
    Connect(imgLogo, &TImage::Clicked, &TMainForm::btnMoreClick);
    // The run is a task: refused while another one runs.
    connect(btnGenerate, &QPushButton::clicked, this,
            [this] { RunTaskHandler([this] { btnGenerateClick(); }); });
}

void TMainForm::ConnectRadio(QRadioButton* radio, void (TMainForm::*handler)()) {
    connect(radio, &QRadioButton::toggled, this, [this, handler](bool checked) {
        if (checked)
            ErrorReporting::RunGuarded([this, handler] { (this->*handler)(); });
    });
}

std::int64_t TMainForm::ComputeFileSize() {
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

void TMainForm::spnSizeOfFileChange() {
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

void TMainForm::NameGeneratorClick() {
    pnlName->setVisible(radPatern->isChecked());
}

void TMainForm::ContentFillClick() {
    const bool fill = radFillWithThis->isChecked();
    mmoFillText->setEnabled(fill);
    chkUnique->setVisible(fill);
    if (!fill)
        chkUnique->setChecked(false);
}

std::u16string TMainForm::FillText() const {
    QString text = mmoFillText->Text();
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return text.toStdU16String();
}

void TMainForm::mmoFillTextChange() {
    const std::u16string text = FillText();
    if (text.size() <= static_cast<std::size_t>(kFillTextLimit))
        return;
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

void TMainForm::QuickSize(QRadioButton* unit, int value) {
    unit->setChecked(true);
    spnSizeOfFile->setValue(value);
}

void TMainForm::btnFloppyClick() {
    QuickSize(radKB, 1433);
}
void TMainForm::btn10MBClick() {
    QuickSize(radMB, 10);
}
void TMainForm::btnCD1Click() {
    QuickSize(radMB, 650);
}
void TMainForm::btn700MBClick() {
    QuickSize(radMB, 700);
}
void TMainForm::btn1GBClick() {
    QuickSize(radMB, 1024);
}
void TMainForm::btn2GBClick() {
    QuickSize(radMB, 2048);
}
void TMainForm::btn4GBClick() {
    QuickSize(radMB, 4096);
}
void TMainForm::btnDVDClick() {
    QuickSize(radMB, 4812);
}
