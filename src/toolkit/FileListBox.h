#pragma once
// A list box of the files of one folder that match a mask. Which files, and
// in which order, its owner decides through a lister (the merge tab hands
// it the merge's own listing, so the list shows what a merge joins); until
// it has one the list is empty. Reading the list makes its folder the
// process's current folder.
#include <QListWidget>
#include <QString>
#include <QStringList>

#include <functional>
#include <string>
#include <vector>

// The names (bare, as the folder holds them) to list for a folder and a
// mask, in the order to show them.
using TFileLister =
    std::function<std::vector<std::string>(const std::string& folder, const std::string& mask)>;

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

    // Handed to the lister as it stands.
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

    // Sets what decides the listed names, and reads the folder with it.
    void SetLister(TFileLister lister);

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
    TFileLister FLister;
};
