#include "components/PATHEdit.h"

#include "components/PathRequest.h"
#include "platform/FileSystem.h"

#include <QFile>
#include <QKeyEvent>

#include <string>

TPathEdit::TPathEdit(QWidget* parent) : QLineEdit(parent) {
    setAccessibleName(tr("Path"));
    connect(this, &QLineEdit::textChanged, this, &TPathEdit::Change);
}

std::uint32_t TPathEdit::AttributesToMask(const TAttributesFiles& attributes) {
    std::uint32_t mask = 0;
    for (const auto kind : attributes) {
        switch (kind) {
        case peaReadOnly:
            mask |= Platform::faReadOnly;
            break;
        case peaHidden:
            mask |= Platform::faHidden;
            break;
        case peaSysFile:
            mask |= Platform::faSysFile;
            break;
        case peaDirectory:
            mask |= Platform::faDirectory;
            break;
        case peaArchive:
            mask |= Platform::faArchive;
            break;
        }
    }
    return mask;
}

void TPathEdit::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (Platform::IsFolder(QFile::encodeName(text()).toStdString()) && !text().endsWith('/'))
            setText(text() + '/');
        deselect();
        end(false);
    }
    // The key must be known before the edit inserts its character, which
    // raises the change (and with it the completion) at once.
    FKey = event->key();
    QLineEdit::keyPressEvent(event);
}

void TPathEdit::Change() {
    emit Changed();
    if (FCompleting || !FComplete || FKey == Qt::Key_Backspace || FKey == Qt::Key_Delete ||
        text().isEmpty())
        return;
    // A selection is a suggestion that was not accepted.
    QString typed = text();
    if (hasSelectedText())
        typed.remove(selectionStart(), selectedText().size());
    if (typed.isEmpty())
        return;
    const auto tail = PathCompletion(QFile::encodeName(typed).toStdString(),
                                     AttributesToMask(FCompleteWith), DiskPathQuery());
    if (!tail)
        return;
    const QString completed = typed + QFile::decodeName(QByteArray::fromStdString(*tail));
    // Setting the text raises the change again; the name is complete then,
    // and one folder read per keystroke is enough.
    FCompleting = true;
    setText(completed);
    FCompleting = false;
    // The completed tail selected, with the caret after the typed part.
    setSelection(completed.size(), typed.size() - completed.size());
}
