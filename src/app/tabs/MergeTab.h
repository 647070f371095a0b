#pragma once
// The "Merge files" tab: a folder browser (path box, drive chooser, folder
// list and file list narrowed by a file-type mask), the output name that
// follows the folder until the user edits it, the separator memo, and the
// merge run behind "Merge". Its saved values are edtMergeType and
// mmoSeparator; its first folder is shown from LateInitialize.
#include "app/tabs/TabPage.h"

class QLabel;
class QLineEdit;
class QPushButton;
class TAlignPanel;
class TDriveComboBox;
class TFolderList;
class TMemo;
class TPathEdit;
class TQuillFileList;
class TQuillSplitter;

class TMergeTab final : public TTabPage {
    Q_OBJECT
public:
    explicit TMergeTab(ITabHost& host);

    void Build() override;
    void AddSettings(TSettingsBindings& rows) override;
    void LateInitialize() override;

    // Handlers, named as in the window's design.
    void DirectoryChange();
    void edtPathChange();
    void edtMergeTypeChange();
    void edtMergeOutputKeyDown();
    void mmoSeparatorChange();
    void DriveComboChange();
    void btnMergeClick();

    static const char* const kOutputFileName; // "Merge Output File.txt"

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class TMergeInputs;

    void BuildControls();
    void BuildBrowser();
    void BuildLayout();
    void ConnectHandlers();
    // Puts the drive chooser on the shown folder's drive, quietly.
    void FollowDrive();

    QLabel* lblPath = nullptr;
    TPathEdit* edtPath = nullptr;
    QLabel* lblDrive = nullptr;
    TDriveComboBox* DriveCombo = nullptr;
    QLabel* lblFileType = nullptr;
    QLineEdit* edtMergeType = nullptr;
    TAlignPanel* pnlBrowser = nullptr;
    TFolderList* Directory = nullptr;
    TQuillSplitter* QuillSplitter1 = nullptr;
    TQuillFileList* FileList = nullptr;
    QLabel* lblMergeOutput = nullptr;
    QLineEdit* edtMergeOutput = nullptr;
    QLabel* lblSeparator = nullptr;
    TMemo* mmoSeparator = nullptr;
    QPushButton* btnMerge = nullptr;

    // The first key in the output box makes the name the user's.
    bool OutputNameEdited = false;
    // The folder list moves because the path box asked: the box keeps what
    // the user is typing.
    bool FPathRequest = false;
    // The drive chooser follows the folder list: it must not send it back.
    bool FFollowingDrive = false;
};
