#include "components/PATHEdit.h"

#include "platform/FileSystem.h"

#include <QFile>
#include <QKeyEvent>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <dirent.h>

namespace {

// Whether the entry may be offered: a name that can be shown and typed back
// as it is (UTF-8) whose attributes share a bit with mask. A link counts
// with what it leads to, so "/li" still finds "/lib".
bool Offered(const std::string& folder, const std::string& name, std::uint32_t mask) {
    if (QString::fromUtf8(name).toUtf8().toStdString() != name)
        return false;
    const std::string path = folder + name;
    auto info = Platform::GetTargetInfo(path);
    if (!info)
        info = Platform::GetInfo(path);
    return info && (info->attributes & mask);
}

} // namespace

std::optional<std::string>
TPathEdit::BestMatch(const std::vector<std::string>& names, const std::string& prefix,
                     const std::function<bool(const std::string&)>& offered) {
    // The name typed in full is the one meant: "docs" beside "docsX" stays
    // "docs", whichever the folder happens to hold first. Among longer
    // names the folder's own order decides.
    std::optional<std::string> first;
    for (const std::string& name : names) {
        if (name.compare(0, prefix.size(), prefix) != 0 || (first && name.size() != prefix.size()))
            continue;
        if (!offered(name))
            continue;
        if (name.size() == prefix.size())
            return name;
        first = name;
    }
    return first;
}

namespace {

// The entry to complete to: see BestMatch. The folder is read in the order
// the file system returns it ("." and ".." included).
std::optional<std::string> FirstMatch(const std::string& folder, const std::string& prefix,
                                      std::uint32_t mask) {
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
    if (!dir)
        return std::nullopt;
    std::vector<std::string> names;
    while (const dirent* e = ::readdir(dir.get()))
        names.emplace_back(e->d_name);
    return TPathEdit::BestMatch(
        names, prefix, [&](const std::string& name) { return Offered(folder, name, mask); });
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
