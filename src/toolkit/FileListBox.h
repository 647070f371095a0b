#pragma once
// A list box of the files of one folder that match a mask: normal files only
// (no folders, no hidden files, nothing that is not a regular file or a link
// to one), sorted by name without regard to case. Reading the list makes its
// folder the process's current folder.
#include <QListWidget>
#include <QString>
#include <QStringList>

#include <string>
#include <vector>

class TFileListBox : public QListWidget {
    Q_OBJECT
public:
    // Lists the process's current folder with the mask "*.*".
    explicit TFileListBox(QWidget* parent = nullptr);

    // The folder listed, without a trailing "/" (except the root "/").
    QString Directory() const { return FDirectory; }
    // Moves to another folder (compared exactly: Linux names are case-
    // sensitive) and re-reads. False when the folder is the one listed or
    // cannot be made the current folder; the list then stays as it was.
    bool SetDirectory(const QString& folder);

    // Patterns separated by ";", matched as the file finder matches masks
    // (without regard to case, "*.*" covering every name). A file that
    // matches two patterns is listed twice; an empty mask lists nothing.
    QString Mask() const { return FMask; }
    // Re-reads only when the text differs (case-sensitive comparison).
    void SetMask(const QString& mask);

    // The text of the current item when it is selected, else empty.
    QString FileName() const;
    // Directory joined with FileName by one "/", or empty.
    QString FilePath() const;
    // The same path as the system knows it, with the name's own bytes.
    std::string NativeFilePath() const;
    // The listed names, in their order, as shown.
    QStringList Items() const;
    // The same names as the folder holds them, byte for byte: a name that is
    // not valid UTF-8 is shown with replacement characters, yet must still
    // open the file it stands for.
    std::vector<std::string> ItemNames() const;

    // Reads the folder afresh.
    virtual void ReadFileNames();

    // From this many items on, a read shows the busy cursor.
    static constexpr int kBusyFrom = 100;

signals:
    // The list was read, or the current item changed through a click, a key
    // or the program.
    void OnChange();
    // A click on an item, or the program's simulation of one.
    void OnClick();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    QString FDirectory;
    QString FMask = QStringLiteral("*.*");
};
