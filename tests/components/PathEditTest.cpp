// The path box's completion, typed key by key into a temporary folder that
// holds one entry per first letter (the order in which a folder lists its
// entries is the file system's).
#include "components/PATHEdit.h"
#include "TempDir.h"

#include <QDir>
#include <QSignalSpy>
#include <QtTest>

#include <filesystem>

namespace fs = std::filesystem;

class PathEditTest : public QObject {
    Q_OBJECT

    TempDir FDir;
    QString FRoot; // the folder with a trailing "/"

    // A fresh box holding start, focused, with the last key a plain one.
    void Reset(TPathEdit& edit, const QString& start) {
        edit.setText(QString());
        QTest::keyClicks(&edit, start);
    }

private slots:
    void initTestCase() {
        fs::create_directories(FDir / "notes");
        fs::create_directories(FDir / "Documents");
        FDir.Write("music.mp3", "x");
        FRoot = QString::fromStdString(FDir.Path()) + "/";
    }

    void completionWalk() {
        TPathEdit edit;
        edit.show();
        QVERIFY(QTest::qWaitForWindowExposed(&edit));
        edit.setFocus();
        QStringList seen; // the text as the owner's change handler sees it
        connect(&edit, &TPathEdit::Changed, [&] { seen << edit.text(); });

        // Nothing typed after a folder's "/": nothing to complete.
        Reset(edit, FRoot);
        QCOMPARE(edit.text(), FRoot);

        // The owner hears the typed text first, then the completed one.
        seen.clear();
        QTest::keyClick(&edit, 'n');
        QCOMPARE(edit.text(), FRoot + "notes");
        QCOMPARE(edit.selectedText(), QStringLiteral("otes"));
        QCOMPARE(edit.cursorPosition(), FRoot.size() + 1);
        QCOMPARE(seen, (QStringList{FRoot + "n", FRoot + "notes"}));

        // The next character replaces the suggestion and is completed again.
        QTest::keyClick(&edit, 'o');
        QCOMPARE(edit.text(), FRoot + "notes");
        QCOMPARE(edit.selectedText(), QStringLiteral("tes"));

        // Enter accepts it and adds "/" to a folder.
        QTest::keyClick(&edit, Qt::Key_Return);
        QCOMPARE(edit.text(), FRoot + "notes/");
        QVERIFY(!edit.hasSelectedText());
        QCOMPARE(edit.cursorPosition(), edit.text().size());

        // Backspace removes a suggestion and offers none.
        Reset(edit, FRoot + "m");
        QCOMPARE(edit.selectedText(), QStringLiteral("usic.mp3"));
        QTest::keyClick(&edit, Qt::Key_Backspace);
        QCOMPARE(edit.text(), FRoot + "m");
        QVERIFY(!edit.hasSelectedText());

        // Enter on a file only moves the caret to the end.
        Reset(edit, FRoot + "mu");
        QTest::keyClick(&edit, Qt::Key_Return);
        QCOMPARE(edit.text(), FRoot + "music.mp3");
        QCOMPARE(edit.cursorPosition(), edit.text().size());

        // No match: as typed, nothing selected.
        Reset(edit, FRoot + "mx");
        QCOMPARE(edit.text(), FRoot + "mx");
        QVERIFY(!edit.hasSelectedText());

        // Linux names are case-sensitive: "d" is not "Documents".
        Reset(edit, FRoot + "d");
        QCOMPARE(edit.text(), FRoot + "d");
        Reset(edit, FRoot + "D");
        QCOMPARE(edit.text(), FRoot + "Documents");

        // Relative names and drive letters are left as typed.
        QDir::setCurrent(FRoot);
        for (const QString& typed :
             {QStringLiteral("no"), QStringLiteral("c"), QStringLiteral("c:")}) {
            Reset(edit, typed);
            QCOMPARE(edit.text(), typed);
            QCOMPARE(edit.cursorPosition(), typed.size());
        }

        // Off: the component never touches the text.
        edit.SetComplete(false);
        Reset(edit, FRoot + "n");
        QCOMPARE(edit.text(), FRoot + "n");
    }

    void attributesChooseWhatIsOffered() {
        QCOMPARE(TPathEdit::AttributesToMask(
                     {peaReadOnly, peaHidden, peaSysFile, peaDirectory, peaArchive}),
                 0x37u);
        QCOMPARE(TPathEdit::AttributesToMask({}), 0u);

        TPathEdit edit;
        edit.show();
        edit.setFocus();
        edit.SetCompleteWith({peaArchive}); // regular files only
        Reset(edit, FRoot + "n");
        QCOMPARE(edit.text(), FRoot + "n");
        Reset(edit, FRoot + "m");
        QCOMPARE(edit.text(), FRoot + "music.mp3");
        edit.SetCompleteWith({peaDirectory});
        Reset(edit, FRoot + "m");
        QCOMPARE(edit.text(), FRoot + "m");
    }
};

QTEST_MAIN(PathEditTest)
#include "PathEditTest.moc"
