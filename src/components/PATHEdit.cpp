#include "components/PATHEdit.h"

#include "platform/FileSystem.h"

#include <QFile>
#include <QKeyEvent>

#include <memory>
#include <optional>
#include <string>

#include <dirent.h>

namespace {

// The first entry of a folder, in the order the file system returns them
// ("." and ".." included), whose name begins with prefix and whose
// attributes share a bit with mask. Reads no further than that entry.
// A link counts with what it leads to, so "/li" still finds "/lib".
std::optional<std::string> FirstMatch(const std::string& folder, const std::string& prefix,
                                      std::uint32_t mask) {
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
    if (!dir)
        return std::nullopt;
    while (const dirent* e = ::readdir(dir.get())) {
        const std::string name = e->d_name;
        if (name.compare(0, prefix.size(), prefix) != 0)
            continue;
        // A name that is not UTF-8 cannot be shown and typed back as it is.
        if (QString::fromUtf8(name).toUtf8().toStdString() != name)
            continue;
        const std::string path = folder + name;
        auto info = Platform::GetTargetInfo(path);
        if (!info)
            info = Platform::GetInfo(path);
        if (info && (info->attributes & mask))
            return name;
    }
    return std::nullopt;
}

} // namespace

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
    // Only absolute paths complete; a drive letter means nothing here, and
    // after a "/" nothing of the next name has been typed yet.
    if (!typed.startsWith('/') || typed.endsWith('/'))
        return;
    const qsizetype slash = typed.lastIndexOf('/');
    const std::string folder = QFile::encodeName(typed.left(slash + 1)).toStdString();
    const std::string part = QFile::encodeName(typed.mid(slash + 1)).toStdString();
    const auto name = FirstMatch(folder, part, AttributesToMask(FCompleteWith));
    if (!name)
        return;
    const QString completed =
        typed + QFile::decodeName(QByteArray::fromStdString(name->substr(part.size())));
    // Setting the text raises the change again; the name is complete then,
    // and one folder read per keystroke is enough.
    FCompleting = true;
    setText(completed);
    FCompleting = false;
    // The completed tail selected, with the caret after the typed part.
    setSelection(completed.size(), typed.size() - completed.size());
}
