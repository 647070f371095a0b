#include "components/QuillFileListBox.h"

#include "util/Checks.h"
#include "util/QuillTPU.h"

#include <QFile>
#include <QKeyEvent>
#include <QMouseEvent>

const char* const TQuillFileList::kHint =
    "Press the \"Delete\" key to delete the selected file from disk.";

TQuillFileList::TQuillFileList(QWidget* parent) : TFileListBox(parent) {
    setToolTip(QString::fromUtf8(kHint));
    // The hint goes at the first click; a screen reader keeps telling it.
    setAccessibleDescription(QString::fromUtf8(kHint));
}

void TQuillFileList::DeselectAll() {
    // No current item either, as in a single-selection list box the current
    // item is the selected one.
    selectionModel()->clear();
}

void TQuillFileList::SelectItem(int itemPos) {
    DeselectAll();
    FV_ASSERT(itemPos >= 0, "Negative item position");
    if (itemPos == currentRow() || itemPos >= count())
        return;
    setCurrentRow(itemPos, QItemSelectionModel::ClearAndSelect);
    emit OnChange();
}

void TQuillFileList::SelectItem(const QString& itemName) {
    if (count() == 0 || QString::compare(SelectedItem(), itemName, Qt::CaseInsensitive) == 0)
        return;
    for (int i = 0; i < count(); ++i) {
        if (QString::compare(item(i)->text(), itemName, Qt::CaseInsensitive) == 0) {
            DeselectAll();
            setCurrentRow(i, QItemSelectionModel::ClearAndSelect);
            emit OnChange();
            return;
        }
    }
}

void TQuillFileList::SelectItemClick(int itemPos) {
    if (count() == 0)
        return;
    SelectItem(itemPos);
    emit OnClick();
}

void TQuillFileList::SimulateClickCurItem() {
    if (currentRow() >= 0)
        emit OnClick();
}

void TQuillFileList::InvertSelection() {
    for (int i = 0; i < count(); ++i)
        item(i)->setSelected(!item(i)->isSelected());
}

bool TQuillFileList::MoveSelectionUp() {
    const int previous = currentRow();
    if (count() == 0 || previous < 1)
        return false;
    setCurrentRow(previous - 1, QItemSelectionModel::ClearAndSelect);
    emit OnSelectChaged(previous);
    return true;
}

bool TQuillFileList::MoveSelectionDwn() {
    const int previous = currentRow();
    if (count() == 0 || previous >= count() - 1)
        return false;
    setCurrentRow(previous + 1, QItemSelectionModel::ClearAndSelect);
    emit OnSelectChaged(previous);
    return true;
}

QString TQuillFileList::SelectedItem() const {
    const QListWidgetItem* current = currentItem();
    return current ? current->text() : QString();
}

void TQuillFileList::DeleteCurrentFile() {
    const QString path = FilePath();
    // The name's own bytes: one that is not UTF-8 is shown otherwise.
    const std::string file = NativeFilePath();
    if (!QuillTPU::CheckFileExists(file))
        return;
    emit OnBeforeDelete(path);
    if (QuillTPU::ShellDeleteFile(true, FDelConfirm, file) == 0)
        ReadFileNames();
    else
        QuillTPU::ShowWarningMessage("Cannot delete file.\r\n" + file);
}

void TQuillFileList::ReadFileNames() {
    const QString selected = FileName();
    TFileListBox::ReadFileNames();
    if (!selected.isEmpty())
        SelectItem(selected);
}

void TQuillFileList::mousePressEvent(QMouseEvent* event) {
    // The list makes the clicked item current on the press already; what
    // the release reports is measured from here.
    FRowAtPress = currentRow();
    TFileListBox::mousePressEvent(event);
}

void TQuillFileList::mouseReleaseEvent(QMouseEvent* event) {
    setToolTip(QString());
    const int previous = FRowAtPress;
    TFileListBox::mouseReleaseEvent(event);
    FRowAtPress = currentRow();
    if (count() > 0 && currentRow() != previous)
        emit OnSelectChaged(previous);
}

void TQuillFileList::keyReleaseEvent(QKeyEvent* event) {
    // On the release, and not for the repeats of a held key: one file per
    // press.
    if (count() > 0 && event->key() == Qt::Key_Delete && !event->isAutoRepeat()) {
        if (FDeleteFile) {
            DeleteCurrentFile();
        } else {
            int pos = currentRow();
            emit OnDeleteItem(pos >= 0 ? item(pos)->text() : QString(), pos);
            for (QListWidgetItem* selected : selectedItems())
                delete selected;
            if (pos >= count())
                pos = count() - 1;
            if (pos >= 0)
                SelectItem(pos);
        }
    }
    TFileListBox::keyReleaseEvent(event);
}
