#include "toolkit/FolderList.h"

#include "platform/DriveTable.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "toolkit/FileListBox.h"
#include "util/QuillTPU.h"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QPainter>
#include <QStyle>
#include <QStyledItemDelegate>

#include <algorithm>

#include <cerrno>
#include <unistd.h>

namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kLevelRole = Qt::UserRole + 1;
constexpr int kIndent = 12;

// Indents each line by its level, so the path reads as a tree.
class LevelDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem shifted(option);
        shifted.rect.adjust(index.data(kLevelRole).toInt() * kIndent, 0, 0, 0);
        QStyledItemDelegate::paint(painter, shifted, index);
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize s = QStyledItemDelegate::sizeHint(option, index);
        s.rwidth() += index.data(kLevelRole).toInt() * kIndent;
        return s;
    }
};

std::string Encoded(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

QString Decoded(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

bool Holds(const QString& mountPoint, const QString& folder) {
    if (mountPoint == "/")
        return true;
    return folder == mountPoint || folder.startsWith(mountPoint + '/');
}

// The mount point of the volume that holds folder: the deepest drive or
// mount point above it.
QString RootOf(const QString& folder) {
    QString best = QStringLiteral("/");
    auto consider = [&](const std::string& point) {
        QString p = Decoded(point);
        while (p.size() > 1 && p.endsWith('/'))
            p.chop(1);
        if (Holds(p, folder) && p.size() > best.size())
            best = p;
    };
    for (const auto& d : Platform::ReadDriveTable())
        consider(d.mountPoint);
    for (const auto& point : Platform::MountPoints())
        consider(point);
    return best;
}

} // namespace

TFolderList::TFolderList(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    setItemDelegate(new LevelDelegate(this));
    setAccessibleName(tr("Folders"));
    connect(this, &QListWidget::itemDoubleClicked, this, &TFolderList::OpenLine);
    SetDirectory(QDir::currentPath());
}

bool TFolderList::SetDirectory(const QString& folder) {
    return MoveTo(folder) == 0;
}

int TFolderList::MoveTo(const QString& folder) {
    if (folder.isEmpty())
        return ENOENT;
    // Links resolved: the path lines then name real folders, as the
    // process's current folder does.
    const QString real = QFileInfo(folder).canonicalFilePath();
    if (real.isEmpty())
        return ENOENT;
    if (real == FDirectory)
        return -1;
    if (!QFileInfo(real).isDir())
        return ENOTDIR;
    int error = 0;
    const auto entries = Platform::ListFolder(Encoded(real), &error);
    if (!entries)
        return error;
    if (::chdir(Encoded(real).c_str()) != 0)
        return errno;

    QStringList subFolders;
    for (const auto& e : *entries) {
        if (e.info.attributes & (Platform::faHidden | Platform::faSysFile))
            continue;
        const bool folderEntry = (e.info.attributes & Platform::faDirectory) ||
                                 ((e.info.attributes & Platform::faSymLink) &&
                                  Platform::IsFolder(Encoded(real) + "/" + e.name));
        if (folderEntry)
            subFolders << Decoded(e.name);
    }
    std::sort(subFolders.begin(), subFolders.end(), [](const QString& a, const QString& b) {
        return QString::compare(a, b, Qt::CaseInsensitive) < 0;
    });
    FDirectory = real;
    Fill(real, subFolders);
    if (FFileList)
        FFileList->SetDirectory(real);
    emit OnChange();
    return 0;
}

void TFolderList::Fill(const QString& folder, const QStringList& subFolders) {
    clear();
    const QString root = RootOf(folder);
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
    auto add = [&](const QString& text, const QString& path, int level, const QIcon& icon) {
        auto* item = new QListWidgetItem(icon, text, this);
        item->setData(kPathRole, path);
        item->setData(kLevelRole, level);
    };
    add(root, root, 0, open);
    int level = 0;
    QString path = root;
    const QString below = folder.mid(root.size());
    for (const QString& part : below.split('/', Qt::SkipEmptyParts)) {
        path = path.endsWith('/') ? path + part : path + '/' + part;
        add(part, path, ++level, open);
    }
    FPathLines = count();
    const QString base = folder.endsWith('/') ? folder : folder + '/';
    for (const QString& name : subFolders)
        add(name, base + name, level + 1, closed);
    setCurrentRow(FPathLines - 1);
}

QStringList TFolderList::Lines() const {
    QStringList lines;
    for (int i = 0; i < count(); ++i)
        lines << item(i)->text();
    return lines;
}

QString TFolderList::FolderOf(int line) const {
    const QListWidgetItem* it = item(line);
    return it ? it->data(kPathRole).toString() : QString();
}

void TFolderList::OpenLine(QListWidgetItem* item) {
    if (!item)
        return;
    const QString target = item->data(kPathRole).toString();
    const int error = MoveTo(target);
    // The user asked for this folder and should learn why it did not open.
    if (error > 0)
        QuillTPU::ShowErrorMessage("Cannot open folder \"" + Encoded(target) + "\".CRLF" +
                                   Platform::ErrorText(error));
}

void TFolderList::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        OpenLine(currentItem());
        return;
    }
    QListWidget::keyPressEvent(event);
}

QString TFolderList::DriveFolder(QChar letter) {
    const auto drive = Platform::FindDrive(letter.toLatin1());
    if (!drive)
        return {};
    QString mount = Decoded(drive->mountPoint);
    while (mount.size() > 1 && mount.endsWith('/'))
        mount.chop(1);
    const auto current = Platform::CurrentDrive();
    return current && current->letter == drive->letter ? QDir::currentPath() : mount;
}

QString TFolderList::ResolveRequest(const QString& text) {
    if (text.isEmpty())
        return {};
    if (text.size() == 2 && text[1] == ':' && text[0].isLetter() && text[0].unicode() < 128)
        return DriveFolder(text[0]);
    QString path = QDir::isAbsolutePath(text) ? text : QDir::current().absoluteFilePath(text);
    const QString last = path.mid(path.lastIndexOf('/') + 1);
    const QFileInfo info(path);
    if (last.contains('*') || last.contains('?') || (info.exists() && !info.isDir()))
        path = path.left(std::max<qsizetype>(path.lastIndexOf('/'), 1));
    const QFileInfo folder(path);
    return folder.isDir() ? folder.canonicalFilePath() : QString();
}

bool TFolderList::GoToPath(const QString& text) {
    const QString folder = ResolveRequest(text);
    return !folder.isEmpty() && SetDirectory(folder);
}
