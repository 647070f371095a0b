// The merge browser's lists on temporary folders: the file list (masks,
// Delete to the Trash, selection) and the folder list (lines, navigation,
// the path box's requests).
#include "RecordingPresenter.h"
#include "TempDir.h"
#include "components/QuillFileListBox.h"
#include "platform/DriveTable.h"
#include "toolkit/FolderList.h"
#include "tools/merge/MergeSources.h"

#include <QDir>
#include <QSignalSpy>
#include <QtTest>

#include <filesystem>

#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

// Moves a file into a folder of the test's own, as the desktop's Trash
// would, or refuses with a set errno.
class FolderTrash : public QuillTPU::IShell {
public:
    explicit FolderTrash(std::string folder) : FFolder(std::move(folder)) {
        QuillTPU::SetShell(this);
    }
    ~FolderTrash() override { QuillTPU::SetShell(nullptr); }
    bool OpenDocument(const std::string&, const std::string&) override { return false; }
    int MoveToTrash(const std::string& path, std::string* errorText) override {
        if (refuse != 0) {
            *errorText = "refused";
            return refuse;
        }
        fs::rename(path, FFolder + "/" + fs::path(path).filename().string());
        return 0;
    }
    int refuse = 0;

private:
    std::string FFolder;
};

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

QPoint RowCenter(QListWidget& list, int row) {
    return list.visualItemRect(list.item(row)).center();
}

// A double click as the window system delivers it: a click, then the second
// press that it reports as a double click.
void DoubleClickRow(QListWidget& list, int row) {
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, RowCenter(list, row));
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, RowCenter(list, row));
}

// The file list as the merge tab sets it up: it lists a merge's sources.
class MergeFileList : public TQuillFileList {
public:
    MergeFileList() {
        SetLister([](const std::string& folder, const std::string& mask) {
            return Merge::ListSources(folder, mask).names;
        });
    }
};

} // namespace

class FileBrowserTest : public QObject {
    Q_OBJECT

    QString FStartFolder;

private slots:
    void initTestCase() { FStartFolder = QDir::currentPath(); }
    void cleanup() { QDir::setCurrent(FStartFolder); }

    void masksListNormalFilesSorted_data() {
        QTest::addColumn<QString>("mask");
        QTest::addColumn<QStringList>("items");
        const QStringList all{"A.txt", "b.txt", "c.log", "ln.txt"};
        QTest::newRow("every name") << "*.*" << all;
        QTest::newRow("two patterns") << "*.txt;*.log" << all;
        QTest::newRow("a file matching two patterns is listed twice")
            << "*.txt;b*" << QStringList{"A.txt", "b.txt", "b.txt", "ln.txt"};
        QTest::newRow("case-insensitive") << "*.TXT" << QStringList{"A.txt", "b.txt", "ln.txt"};
        QTest::newRow("empty mask") << "" << QStringList{};
        QTest::newRow("unfinished set") << "*.[" << QStringList{};
    }
    void masksListNormalFilesSorted() {
        QFETCH(QString, mask);
        QFETCH(QStringList, items);
        TempDir dir;
        for (const char* name : {"b.txt", "A.txt", "c.log", ".hidden.txt"})
            dir.Write(name, "x");
        fs::create_directory(dir / "folder.txt");
        fs::create_symlink(dir / "b.txt", dir / "ln.txt");
        fs::create_symlink(dir / "folder.txt", dir / "lnfolder.txt");
        QVERIFY(::mkfifo((dir / "pipe.txt").c_str(), 0600) == 0);

        MergeFileList list;
        QSignalSpy changes(&list, &TFileListBox::OnChange);
        QVERIFY(list.SetDirectory(Q(dir.Path())));
        QCOMPARE(QDir::currentPath(), Q(dir.Path()));
        list.SetMask(mask);
        QCOMPARE(list.Items(), items);
        // The same text again reads nothing; another case of it does.
        const auto reads = changes.count();
        list.SetMask(mask);
        QCOMPARE(changes.count(), reads);
        list.SetMask(mask.toLower());
        QCOMPARE(changes.count(), reads + (mask.toLower() != mask ? 1 : 0));
    }

    void deleteAsksAndTrashes_data() {
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QByteArray>("name");
        QTest::newRow("Yes") << true << QByteArray("b.txt");
        QTest::newRow("No") << false << QByteArray("b.txt");
        // Shown with a replacement character; deleted by its own bytes.
        QTest::newRow("Yes, name not UTF-8") << true << QByteArray("b\xFF.txt");
    }
    void deleteAsksAndTrashes() {
        QFETCH(bool, yes);
        QFETCH(QByteArray, name);
        const std::string b = name.toStdString();
        const QString shown = QFile::decodeName(name);
        TempDir dir, trash;
        for (const std::string& file : {std::string("a.txt"), b, std::string("c.txt")})
            dir.Write(file, "x");
        RecordingPresenter presenter;
        presenter.answer = yes;
        FolderTrash shell(trash.Path());
        MergeFileList list;
        list.SetDirectory(Q(dir.Path()));
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, RowCenter(list, 1));
        QCOMPARE(list.FileName(), shown);

        QTest::keyClick(&list, Qt::Key_Delete);
        QCOMPARE(presenter.questions,
                 std::vector<std::string>{"Confirmation|Are you sure you want to delete this "
                                          "file?\r\n" +
                                          dir / b});
        QVERIFY(presenter.shown.empty());
        QCOMPARE(fs::exists(trash / b), yes);
        QCOMPARE(fs::exists(dir / b), !yes);
        if (yes) {
            QCOMPARE(list.Items(), (QStringList{"a.txt", "c.txt"}));
            QCOMPARE(list.FileName(), QString());
        } else {
            QCOMPARE(list.Items(), (QStringList{"a.txt", shown, "c.txt"}));
            QCOMPARE(list.FileName(), shown);
        }
    }

    void deleteFailuresAreReported() {
        TempDir dir, trash;
        dir.Write("a.txt", "x");
        dir.Write("b.txt", "x");
        RecordingPresenter presenter;
        FolderTrash shell(trash.Path());
        shell.refuse = EACCES;
        MergeFileList list;
        list.SetDelShowConfirm(false);
        list.SetDirectory(Q(dir.Path()));
        QSignalSpy reads(&list, &TFileListBox::OnChange);

        // Nothing selected: told so, nothing goes.
        QTest::keyClick(&list, Qt::Key_Delete);
        QCOMPARE(presenter.shown.back().text, std::string("No file specified!"));

        // The Trash refuses: the warning, and the list stays as read.
        list.SelectItem(1);
        presenter.shown.clear();
        reads.clear();
        QTest::keyClick(&list, Qt::Key_Delete);
        QVERIFY(presenter.questions.empty());
        QCOMPARE(presenter.shown.back().kind, QuillTPU::MessageKind::Warning);
        QCOMPARE(presenter.shown.back().text, "Cannot delete file.\r\n" + dir / "b.txt");
        QCOMPARE(reads.count(), 0);

        // The file vanished since the list was read.
        fs::remove(dir / "b.txt");
        presenter.shown.clear();
        QTest::keyClick(&list, Qt::Key_Delete);
        QCOMPARE(presenter.shown.back().text, "File \"" + dir / "b.txt" + "\" does not exist");
        QCOMPARE(list.Items(), (QStringList{"a.txt", "b.txt"}));

        // An empty list: nothing at all.
        list.SetMask("");
        presenter.shown.clear();
        QTest::keyClick(&list, Qt::Key_Delete);
        QVERIFY(presenter.shown.empty());
    }

    void hintSelectionAndMoves() {
        TempDir dir;
        for (const char* name : {"a.txt", "b.txt", "c.log"})
            dir.Write(name, "x");
        MergeFileList list;
        list.SetDirectory(Q(dir.Path()));
        QSignalSpy moved(&list, &TQuillFileList::OnSelectChaged);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));

        QCOMPARE(list.toolTip(), QString::fromUtf8(TQuillFileList::kHint));
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, RowCenter(list, 2));
        QCOMPARE(list.toolTip(), QString());
        QCOMPARE(moved.takeFirst().at(0).toInt(), -1);

        list.DeselectAll();
        QVERIFY(list.MoveSelectionDwn()); // no current item: the first
        QCOMPARE(moved.takeFirst().at(0).toInt(), -1);
        QCOMPARE(list.FileName(), QStringLiteral("a.txt"));
        QVERIFY(!list.MoveSelectionUp());
        QVERIFY(list.MoveSelectionDwn());
        QVERIFY(list.MoveSelectionDwn());
        QVERIFY(!list.MoveSelectionDwn());
        QVERIFY(list.MoveSelectionUp());
        QCOMPARE(moved.count(), 3);
        QCOMPARE(list.FileName(), QStringLiteral("b.txt"));

        // A re-read for another mask keeps the selection while it is listed.
        list.SetMask("*.txt");
        QCOMPARE(list.FileName(), QStringLiteral("b.txt"));
        list.SetMask("*.log");
        QCOMPARE(list.FileName(), QString());
    }

    void folderLinesAndNavigation() {
        TempDir dir;
        const QString root = QFileInfo(Q(dir.Path())).canonicalFilePath();
        for (const char* name : {"one/two", "one/Alpha", "one/beta", "one/.hidden"})
            fs::create_directories(dir / name);
        dir.Write("one/Alpha/x.txt", "x");
        Platform::ScopedDriveTable drives({Platform::DriveForFolder('C', root.toStdString())});

        TFolderList folders;
        MergeFileList files;
        folders.SetFileList(&files);
        QSignalSpy changes(&folders, &TFolderList::OnChange);
        QVERIFY(folders.SetDirectory(root + "/one"));
        QCOMPARE(folders.Lines(), (QStringList{root, "one", "Alpha", "beta", "two"}));
        QCOMPARE(folders.PathLineCount(), 2);
        QCOMPARE(changes.count(), 1);
        QVERIFY(!folders.SetDirectory(root + "/one/")); // the folder shown
        QCOMPARE(changes.count(), 1);

        folders.show();
        QVERIFY(QTest::qWaitForWindowExposed(&folders));
        folders.setFocus();
        QTest::keyClick(&folders, Qt::Key_Down);
        QTest::keyClick(&folders, Qt::Key_Return);
        QCOMPARE(folders.Directory(), root + "/one/Alpha");
        QCOMPARE(QDir::currentPath(), root + "/one/Alpha");
        QCOMPARE(files.Directory(), root + "/one/Alpha");
        QCOMPARE(files.Items(), QStringList{"x.txt"});
        QCOMPARE(folders.Lines(), (QStringList{root, "one", "Alpha"}));

        DoubleClickRow(folders, 0);
        QCOMPARE(folders.Directory(), root);

        // A folder that went away since it was listed: the list stays, and
        // the user is told why.
        RecordingPresenter presenter;
        fs::remove(dir / "one/two");
        folders.SetDirectory(root + "/one");
        fs::remove(dir / "one/beta");
        DoubleClickRow(folders, 3);
        QCOMPARE(folders.Directory(), root + "/one");
        QCOMPARE(presenter.shown.size(), std::size_t(1));
    }

    void pathRequests_data() {
        QTest::addColumn<QString>("request");
        QTest::addColumn<QString>("expected"); // below the temporary root
        QTest::newRow("folder") << "@/one/two"
                                << "/one/two";
        QTest::newRow("folder with slash") << "@/one/two/"
                                           << "/one/two";
        QTest::newRow("existing file") << "@/one/f.txt"
                                       << "/one";
        QTest::newRow("star") << "@/one/two/*.txt"
                              << "/one/two";
        QTest::newRow("question mark") << "@/one/tw?"
                                       << "/one";
        QTest::newRow("relative") << "two"
                                  << "/one/two";
        QTest::newRow("relative up") << "../other"
                                     << "/other";
        QTest::newRow("other drive") << "d:"
                                     << "/other";
        QTest::newRow("this drive") << "C:"
                                    << "/one";
        QTest::newRow("partial name") << "@/one/tw"
                                      << "/one";
        QTest::newRow("other case") << "@/ONE/two"
                                    << "/one";
        QTest::newRow("empty") << ""
                               << "/one";
    }
    void pathRequests() {
        QFETCH(QString, request);
        QFETCH(QString, expected);
        TempDir dir;
        const QString root = QFileInfo(Q(dir.Path())).canonicalFilePath();
        fs::create_directories(dir / "one/two");
        fs::create_directories(dir / "other");
        dir.Write("one/f.txt", "x");
        Platform::ScopedDriveTable drives(
            {Platform::DriveForFolder('C', root.toStdString()),
             Platform::DriveForFolder('D', (root + "/other").toStdString())});
        TFolderList folders;
        folders.SetDirectory(root + "/one");
        RecordingPresenter presenter;
        QSignalSpy changes(&folders, &TFolderList::OnChange);

        const bool moved = folders.GoToPath(request.replace("@", root));
        QCOMPARE(folders.Directory(), root + expected);
        QCOMPARE(moved, expected != "/one");
        QCOMPARE(changes.count(), moved ? 1 : 0);
        QVERIFY(presenter.shown.empty());
    }
};

QTEST_MAIN(FileBrowserTest)
#include "FileBrowserTest.moc"
