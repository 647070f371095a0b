#pragma once
// The folder list: the path of the current folder from its drive's root
// (the mount point of the volume that holds it) down, one line per level,
// then the folder's sub-folders (no hidden ones). Double-click or Enter on a
// line goes there. The current folder is always the process's current
// folder, so relative names elsewhere refer to the folder shown.
#include <QListWidget>
#include <QString>
#include <QStringList>

class TFileListBox;

class TFolderList : public QListWidget {
    Q_OBJECT
public:
    // Shows the process's current folder.
    explicit TFolderList(QWidget* parent = nullptr);

    // The folder shown: a full path without links, without a trailing "/"
    // (except the root "/").
    QString Directory() const { return FDirectory; }
    // Goes to a folder. False, leaving everything as it was, when it is the
    // folder shown, does not exist, cannot be read or cannot be made the
    // current folder. On success the linked file list follows, then
    // OnChange is raised.
    bool SetDirectory(const QString& folder);

    // Goes where a typed text points (the path box's request): a text whose
    // last part is an existing file or holds "*" or "?" names the folder
    // that holds it; "x:" names that drive's current folder; a relative text
    // is taken from the process's current folder. Anything that leads to no
    // folder, or to the folder shown, leaves the list as it is, silently.
    // True when the list moved.
    bool GoToPath(const QString& text);

    // The folder a drive letter stands for: the process's current folder
    // when it lies on that drive, else the drive's root; empty when there is
    // no such drive.
    static QString DriveFolder(QChar letter);
    // The folder a request text names (see GoToPath), or empty.
    static QString ResolveRequest(const QString& text);

    // The file list that follows this list's folder (may be none).
    void SetFileList(TFileListBox* fileList) { FFileList = fileList; }

    // The shown lines: the path levels, then the sub-folders.
    QStringList Lines() const;
    // How many of the lines are path levels (the last is the current folder).
    int PathLineCount() const { return FPathLines; }
    // The folder a line stands for.
    QString FolderOf(int line) const;

signals:
    void OnChange();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QString FDirectory;
    int FPathLines = 0;
    TFileListBox* FFileList = nullptr;

    // 0 when moved, -1 for the folder shown, else why it could not be.
    int MoveTo(const QString& folder);
    void Fill(const QString& folder, const QStringList& subFolders);
    void OpenLine(QListWidgetItem* item);
};
