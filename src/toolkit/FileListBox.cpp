#include "toolkit/FileListBox.h"

#include "components/FileMask.h"
#include "platform/FileSystem.h"

#include <QApplication>
#include <QDir>
#include <QMouseEvent>

#include <algorithm>
#include <optional>
#include <vector>

#include <unistd.h>

namespace {

// Each item keeps its file's name as bytes.
constexpr int kNameRole = Qt::UserRole;

// What the folder holds that a file list shows: regular files and links to
// them, not hidden. A pipe or a device is never listed: reading one (as a
// merge would) could block for ever or never end.
bool IsListedFile(const std::string& folder, const Platform::DirEntry& entry) {
    const auto attrs = entry.info.attributes;
    if (attrs & (Platform::faHidden | Platform::faSysFile | Platform::faDirectory))
        return false;
    if (attrs & Platform::faSymLink) {
        const auto target = Platform::GetTargetInfo(folder + "/" + entry.name);
        return target && (target->attributes & Platform::faArchive) &&
               !(target->attributes & Platform::faDirectory);
    }
    return (attrs & Platform::faArchive) != 0;
}

QString WithoutTrailingSlash(const QString& folder) {
    return QString::fromStdString(Platform::WithoutTrailingSlash(folder.toStdString()));
}

// The busy cursor for as long as it lives, once shown.
class BusyCursor {
public:
    void Show() {
        if (!FShown) {
            QApplication::setOverrideCursor(Qt::WaitCursor);
            FShown = true;
        }
    }
    ~BusyCursor() {
        if (FShown)
            QApplication::restoreOverrideCursor();
    }

private:
    bool FShown = false;
};

} // namespace

TFileListBox::TFileListBox(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    setAccessibleName(tr("Files"));
    FDirectory = WithoutTrailingSlash(QDir::currentPath());
    ReadFileNames();
}

bool TFileListBox::SetDirectory(const QString& folder) {
    const QString wanted = WithoutTrailingSlash(folder);
    if (wanted.isEmpty() || wanted == FDirectory)
        return false;
    if (::chdir(QFile::encodeName(wanted).constData()) != 0)
        return false;
    FDirectory = wanted;
    ReadFileNames();
    return true;
}

void TFileListBox::SetMask(const QString& mask) {
    if (mask == FMask)
        return;
    FMask = mask;
    ReadFileNames();
}

QString TFileListBox::FileName() const {
    const QListWidgetItem* item = currentItem();
    return item && item->isSelected() ? item->text() : QString();
}

QString TFileListBox::FilePath() const {
    const QString name = FileName();
    if (name.isEmpty())
        return {};
    return FDirectory.endsWith('/') ? FDirectory + name : FDirectory + '/' + name;
}

std::string TFileListBox::NativeFilePath() const {
    if (FileName().isEmpty())
        return {};
    const std::string folder = QFile::encodeName(FDirectory).toStdString();
    const std::string name = currentItem()->data(kNameRole).toByteArray().toStdString();
    return folder.ends_with('/') ? folder + name : folder + '/' + name;
}

std::vector<std::string> TFileListBox::ItemNames() const {
    std::vector<std::string> names;
    names.reserve(static_cast<std::size_t>(count()));
    for (int i = 0; i < count(); ++i)
        names.push_back(item(i)->data(kNameRole).toByteArray().toStdString());
    return names;
}

QStringList TFileListBox::Items() const {
    QStringList names;
    names.reserve(count());
    for (int i = 0; i < count(); ++i)
        names << item(i)->text();
    return names;
}

void TFileListBox::ReadFileNames() {
    const std::string folder = QFile::encodeName(FDirectory).toStdString();
    // As the folder is read it becomes the current one, so relative names
    // used next to this list refer to what it shows. One that cannot become
    // current is still listed below, by its full name.
    [[maybe_unused]] const int changed = ::chdir(folder.c_str());
    clear();

    std::vector<std::string> names;
    const auto entries = Platform::ListFolder(folder);
    if (entries) {
        std::vector<const Platform::DirEntry*> files;
        for (const auto& e : *entries)
            if (IsListedFile(folder, e))
                files.push_back(&e);
        BusyCursor busy;
        for (const QString& pattern : FMask.split(';')) {
            if (pattern.isEmpty())
                continue;
            std::optional<QuillFindFile::TFileMask> mask;
            try {
                mask.emplace(pattern.toStdString());
            } catch (const QuillFindFile::EInvalidMask&) {
                continue; // an unfinished "[" set, as while typing: it lists nothing
            }
            for (const auto* e : files) {
                if (!mask->Matches(e->name))
                    continue;
                names.push_back(e->name);
                if (names.size() > static_cast<std::size_t>(kBusyFrom))
                    busy.Show();
            }
        }
        std::vector<std::pair<QString, QByteArray>> texts;
        texts.reserve(names.size());
        for (const auto& n : names) {
            QByteArray bytes = QByteArray::fromStdString(n);
            texts.emplace_back(QFile::decodeName(bytes), std::move(bytes));
        }
        std::stable_sort(texts.begin(), texts.end(), [](const auto& a, const auto& b) {
            return QString::compare(a.first, b.first, Qt::CaseInsensitive) < 0;
        });
        setUpdatesEnabled(false);
        for (auto& [text, bytes] : texts) {
            auto* entry = new QListWidgetItem(text);
            entry->setData(kNameRole, bytes);
            addItem(entry);
        }
        setUpdatesEnabled(true);
    }
    emit OnChange();
}

void TFileListBox::mousePressEvent(QMouseEvent* event) {
    const int before = currentRow();
    QListWidget::mousePressEvent(event);
    if (event->button() == Qt::LeftButton && itemAt(event->position().toPoint()))
        emit OnClick();
    if (currentRow() != before)
        emit OnChange();
}

void TFileListBox::keyPressEvent(QKeyEvent* event) {
    const int before = currentRow();
    QListWidget::keyPressEvent(event);
    if (currentRow() != before) {
        emit OnClick();
        emit OnChange();
    }
}

void TFileListBox::focusInEvent(QFocusEvent* event) {
    // The view would make the first item current, unselected, when the list
    // gains the focus; here the current item is always the selected one, so
    // the selection operations and the file name agree.
    const bool hadCurrent = currentIndex().isValid();
    QListWidget::focusInEvent(event);
    if (!hadCurrent && currentIndex().isValid() && !currentItem()->isSelected())
        selectionModel()->clear();
}
