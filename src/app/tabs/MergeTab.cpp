// The "Merge files" tab: the browser's controls, how they follow each other,
// the automatic output name, the colour cues, and the merge run.
#include "app/tabs/MergeTab.h"

#include "app/FormBuilders.h"
#include "app/SettingsBindings.h"
#include "app/tabs/Tabs.h"
#include "components/PATHEdit.h"
#include "components/QuillFileListBox.h"
#include "components/QuillSplitter.h"
#include "platform/DriveTable.h"
#include "platform/Errors.h"
#include "toolkit/AlignPanel.h"
#include "toolkit/FolderList.h"
#include "toolkit/TDriveComboBox.h"
#include "toolkit/TMemo.h"
#include "tools/merge/MergeInputs.h"
#include "tools/merge/MergeRun.h"
#include "tools/merge/MergeSources.h"
#include "util/Paths.h"

#include <QEvent>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QVBoxLayout>

using namespace FormBuilders;

const char* const TMergeTab::kOutputFileName = "Merge Output File.txt";

namespace {

const QColor kOutputEditedColor(0, 248, 254);
const QColor kSeparatorColor(176, 176, 246);
const QColor kNoSeparatorColor(197, 223, 197);

void SetBackground(QWidget* widget, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Base, color);
    widget->setPalette(palette);
}

// Resets a flag however the scope is left.
class TFlagScope {
public:
    explicit TFlagScope(bool& flag) : FFlag(flag) { FFlag = true; }
    ~TFlagScope() { FFlag = false; }
    TFlagScope(const TFlagScope&) = delete;
    TFlagScope& operator=(const TFlagScope&) = delete;

private:
    bool& FFlag;
};

} // namespace

// Feeds the merge run from the tab's controls, read when the run asks.
class TMergeInputs final : public Merge::IMergeInputs {
public:
    explicit TMergeInputs(TMergeTab& tab) : FTab(tab) {}

    // The names' own bytes: one that is not UTF-8 is shown with replacement
    // characters, and only its bytes open it.
    std::vector<std::string> ListedFiles() override { return FTab.FileList->ItemNames(); }
    std::string Folder() override {
        return QFile::encodeName(FTab.Directory->Directory()).toStdString();
    }
    std::string OutputName() override { return FTab.edtMergeOutput->text().toStdString(); }
    std::string SeparatorText() override { return FTab.mmoSeparator->Text().toStdString(); }

private:
    TMergeTab& FTab;
};

TMergeTab::TMergeTab(ITabHost& host) : TTabPage(host, "tabMerge", "Merge files") {}

TTabPage* NewMergeTab(ITabHost& host) {
    return new TMergeTab(host);
}

void TMergeTab::Build() {
    BuildControls();
    BuildBrowser();
    BuildLayout();
    ConnectHandlers();
}

void TMergeTab::AddSettings(TSettingsBindings& rows) {
    rows.Add("edtMergeType", edtMergeType, QStringLiteral("*.*"));
    rows.Add("mmoSeparator", mmoSeparator, QString::fromUtf8(Merge::kDefaultSeparator));
}

void TMergeTab::LateInitialize() {
    ErrorReporting::RunGuarded([this] { DirectoryChange(); });
}

void TMergeTab::BuildControls() {
    lblPath = NewLabel(this, "lblPath", "Path");
    lblPath->setToolTip(Hint("Full path"));
    edtPath = new TPathEdit(this);
    edtPath->setObjectName("edtPath");
    edtPath->SetComplete(true);
    edtPath->SetCompleteWith({peaReadOnly, peaHidden, peaSysFile, peaDirectory, peaArchive});
    Name(lblPath, edtPath);

    lblDrive = NewLabel(this, "lblDrive", "Drive");
    DriveCombo = new TDriveComboBox(this);
    DriveCombo->setObjectName("DriveCombo");
    Name(lblDrive, DriveCombo);

    lblFileType = NewLabel(this, "lblFileType", "File type");
    edtMergeType = new QLineEdit(this);
    edtMergeType->setObjectName("edtMergeType");
    edtMergeType->setToolTip(
        Hint("Example:\r\n    *.txt\r\n    *.mp3\r\n    *.html\r\n    *.doc\r\n    *.*"));
    Name(lblFileType, edtMergeType);

    lblMergeOutput = NewLabel(this, "lblMergeOutput", "Output file name:");
    edtMergeOutput = new QLineEdit(this);
    edtMergeOutput->setObjectName("edtMergeOutput");
    edtMergeOutput->setToolTip(
        Hint("The program will automatically generate this name as you move through folders "
             "until you press a key to manually edit the name."));
    Name(lblMergeOutput, edtMergeOutput);

    lblSeparator = NewLabel(this, "lblSeparator", "Separator:");
    mmoSeparator = new TMemo(this);
    mmoSeparator->setObjectName("mmoSeparator");
    mmoSeparator->setLineWrapMode(QPlainTextEdit::NoWrap);
    // Tab leaves the memo, as it leaves every other box.
    mmoSeparator->setTabChangesFocus(true);
    mmoSeparator->setToolTip(
        Hint("The program will use this text to separate the content of merged files."));
    Name(lblSeparator, mmoSeparator);

    btnMerge = NewButton(this, "btnMerge", "Merge");
    btnMerge->setToolTip(Hint("Start"));

    for (QLabel* label : {lblPath, lblDrive, lblFileType, lblMergeOutput, lblSeparator})
        label->setAccessibleName(label->text());
}

void TMergeTab::BuildBrowser() {
    pnlBrowser = new TAlignPanel(this);
    pnlBrowser->setObjectName("pnlBrowser");
    pnlBrowser->setAccessibleName("Folders and files");
    pnlBrowser->setMinimumSize(400, 160); // fits the window's smallest width

    // Placed in this order: folders on the left, the bar, files in the rest.
    Directory = new TFolderList(pnlBrowser);
    Directory->setObjectName("Directory");
    Directory->setAccessibleName("Folders");
    Directory->resize(217, Directory->height());
    SetAlignOf(Directory, alLeft);

    QuillSplitter1 = new TQuillSplitter(pnlBrowser);
    QuillSplitter1->setObjectName("QuillSplitter1");
    QuillSplitter1->setAccessibleName("Folder list width");
    QuillSplitter1->resize(1, QuillSplitter1->height());
    QuillSplitter1->SetAlign(alLeft);

    FileList = new TQuillFileList(pnlBrowser);
    FileList->setObjectName("FileList");
    FileList->setAccessibleName("Files");
    SetAlignOf(FileList, alClient);

    // The list shows what a merge would join, as the command line lists it.
    FileList->SetLister([](const std::string& folder, const std::string& mask) {
        return Merge::ListSources(folder, mask).names;
    });
    Directory->SetFileList(FileList);
    // The file list starts on the folder list's folder.
    FileList->SetDirectory(Directory->Directory());
}

void TMergeTab::BuildLayout() {
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(10, 10, 10, 10);

    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(lblPath);
    pathRow->addWidget(edtPath, 1);
    page->addLayout(pathRow);

    auto* chooserRow = new QHBoxLayout;
    chooserRow->addWidget(lblDrive);
    chooserRow->addWidget(DriveCombo, 1);
    chooserRow->addSpacing(12);
    chooserRow->addWidget(lblFileType);
    chooserRow->addWidget(edtMergeType, 1);
    page->addLayout(chooserRow);

    page->addWidget(pnlBrowser, 1);
    page->addWidget(lblMergeOutput);
    page->addWidget(edtMergeOutput);

    auto* separatorRow = new QHBoxLayout;
    separatorRow->addWidget(lblSeparator, 0, Qt::AlignTop);
    separatorRow->addWidget(mmoSeparator, 1);
    mmoSeparator->setFixedHeight(72);
    page->addLayout(separatorRow);
    page->addWidget(btnMerge, 0, Qt::AlignRight);

    QWidget* order[] = {edtPath,  DriveCombo,     edtMergeType, Directory, QuillSplitter1,
                        FileList, edtMergeOutput, mmoSeparator, btnMerge};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void TMergeTab::ConnectHandlers() {
    using T = TMergeTab;
    Connect(Directory, &TFolderList::OnChange, &T::DirectoryChange);
    Connect(edtPath, &TPathEdit::Changed, &T::edtPathChange);
    Connect(edtMergeType, &QLineEdit::textChanged, &T::edtMergeTypeChange);
    Connect(mmoSeparator, &TMemo::Changed, &T::mmoSeparatorChange);
    Connect(DriveCombo, &TDriveComboBox::Changed, &T::DriveComboChange);
    // The merge runs to its end on the window's thread: no task, no Cancel.
    Connect(btnMerge, &QPushButton::clicked, &T::btnMergeClick);
    edtMergeOutput->installEventFilter(this);
}

bool TMergeTab::eventFilter(QObject* watched, QEvent* event) {
    // Tab and Shift+Tab only move the focus on, and a modifier alone does
    // nothing: passing through keeps the name following the folder.
    if (watched == edtMergeOutput && event->type() == QEvent::KeyPress) {
        switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
        case Qt::Key_Shift:
        case Qt::Key_Control:
        case Qt::Key_Alt:
        case Qt::Key_Meta:
            break;
        default:
            ErrorReporting::RunGuarded([this] { edtMergeOutputKeyDown(); });
        }
    }
    return TTabPage::eventFilter(watched, event);
}

void TMergeTab::DirectoryChange() {
    // While the path box asked for the move it keeps what the user typed.
    if (!FPathRequest && edtPath->text() != Directory->Directory())
        edtPath->setText(Directory->Directory());
    // Read after the path box has settled: its completion may have moved
    // the list on, and the output name must follow the folder shown.
    const QString folder = Directory->Directory();
    if (!OutputNameEdited)
        edtMergeOutput->setText(
            QString::fromStdString(QuillTPU::AddTrailingDelimiter(folder.toStdString())) +
            QString::fromUtf8(kOutputFileName));
    FollowDrive();
}

void TMergeTab::edtPathChange() {
    TFlagScope request(FPathRequest);
    Directory->GoToPath(edtPath->text());
}

void TMergeTab::edtMergeTypeChange() {
    FileList->SetMask(edtMergeType->text());
}

void TMergeTab::edtMergeOutputKeyDown() {
    OutputNameEdited = true;
    SetBackground(edtMergeOutput, kOutputEditedColor);
}

void TMergeTab::mmoSeparatorChange() {
    SetBackground(mmoSeparator,
                  mmoSeparator->Text().isEmpty() ? kNoSeparatorColor : kSeparatorColor);
}

void TMergeTab::DriveComboChange() {
    if (FFollowingDrive)
        return;
    const char letter = DriveCombo->Value();
    if (letter == 0)
        return;
    const QString folder = TFolderList::DriveFolder(QChar(letter));
    if (folder == Directory->Directory() || (!folder.isEmpty() && Directory->SetDirectory(folder)))
        return;
    // The folder list stays where it is; so does the chooser, which must not
    // claim a drive the list does not show.
    FollowDrive();
    throw FvError(std::string("Cannot open drive ") + letter + ":.");
}

void TMergeTab::FollowDrive() {
    const auto drive =
        Platform::DriveHolding(QFile::encodeName(Directory->Directory()).toStdString());
    const char letter = drive ? drive->letter : 0;
    if (letter == 0)
        return;
    TFlagScope following(FFollowingDrive);
    DriveCombo->SetValue(letter);
}

void TMergeTab::btnMergeClick() {
    TMergeInputs inputs(*this);
    Merge::MergeRun run(Host().Tasks(), inputs);
    run.Execute();
}
