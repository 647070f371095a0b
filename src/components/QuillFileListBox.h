#pragma once
// TQuillFileList: the toolkit's file list box with selection operations, a
// selection-change event, and Delete that moves the selected file to the
// Trash after asking. Its hint is shown only until the first click in it.
#include "toolkit/FileListBox.h"

class TQuillFileList : public TFileListBox {
    Q_OBJECT
public:
    explicit TQuillFileList(QWidget* parent = nullptr);

    // Delete removes the file from disk (true) or only the item (false).
    bool DelDeletesFile() const { return FDeleteFile; }
    void SetDelDeletesFile(bool value) { FDeleteFile = value; }
    // Ask before a file is deleted from disk.
    bool DelShowConfirm() const { return FDelConfirm; }
    void SetDelShowConfirm(bool value) { FDelConfirm = value; }

    void DeselectAll();
    void SelectFirstItem() { SelectItem(0); }
    // Selects the item at a position; a negative position is a programming
    // error and raises an assertion.
    void SelectItem(int itemPos);
    // Selects the first item whose text equals the name without regard to
    // case, unless the current item already does.
    void SelectItem(const QString& itemName);
    void SelectItemClick(int itemPos);
    void SimulateClickCurItem();
    void InvertSelection();
    bool MoveSelectionUp();
    bool MoveSelectionDwn();
    // The text of the current item, selected or not; empty when none.
    QString SelectedItem() const;
    void DeleteCurrentFile();
    // Re-reads and selects again the item that was current, if still listed.
    void ReadFileNames() override;

    static const char* const kHint;

signals:
    // The current item changed through the mouse or the move operations;
    // the index it had before (-1 for none).
    void OnSelectChaged(int previousItem);
    // An item is about to be removed from the list only.
    void OnDeleteItem(const QString& itemName, int itemPos);
    // A file (full path) is about to be deleted from disk.
    void OnBeforeDelete(const QString& fileName);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    bool FDeleteFile = true;
    bool FDelConfirm = true;
    int FRowAtPress = -1;
};
