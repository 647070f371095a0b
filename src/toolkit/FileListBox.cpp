#include "toolkit/FileListBox.h"

#include "platform/FileSystem.h"

#include <QApplication>
#include <QDir>
#include <QMouseEvent>

#include <utility>
#include <vector>

#include <unistd.h>

namespace {

// Each item keeps its file's name as bytes.
constexpr int kNameRole = Qt::UserRole;

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

void TFileListBox::SetLister(TFileLister lister) {
    FLister = std::move(lister);
    ReadFileNames();
}

void TFileListBox::ReadFileNames() {
    const std::string folder = QFile::encodeName(FDirectory).toStdString();
    // As the folder is read it becomes the current one, so relative names
    // used next to this list refer to what it shows. One that cannot become
    // current is still listed below, by its full name.
    [[maybe_unused]] const int changed = ::chdir(folder.c_str());
    clear();
    const std::vector<std::string> names =
        FLister ? FLister(folder, FMask.toStdString()) : std::vector<std::string>();
    BusyCursor busy;
    if (names.size() > static_cast<std::size_t>(kBusyFrom))
        busy.Show();
    setUpdatesEnabled(false);
    for (const std::string& name : names) {
        QByteArray bytes = QByteArray::fromStdString(name);
        auto* entry = new QListWidgetItem(QFile::decodeName(bytes));
        entry->setData(kNameRole, std::move(bytes));
        addItem(entry);
    }
    setUpdatesEnabled(true);
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
