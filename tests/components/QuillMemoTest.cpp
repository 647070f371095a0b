// The log memo's keyboard and its operations, through real key events.
#include "components/QuillMemo.h"
#include "platform/Errors.h"

#include <QApplication>
#include <QClipboard>
#include <QScrollBar>
#include <QtTest>

#include <climits>

namespace {

// A shown memo holding `text` with the caret at `caret`, selecting `length`.
void Prepare(TQuillMemo& memo, const QString& text, int caret, int length = 0) {
    memo.setPlainText(text);
    QTextCursor cursor = memo.textCursor();
    cursor.setPosition(caret);
    cursor.setPosition(caret + length, QTextCursor::KeepAnchor);
    memo.setTextCursor(cursor);
}

} // namespace

class QuillMemoTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        FMemo.resize(300, 120);
        FMemo.show();
        QVERIFY(QTest::qWaitForWindowExposed(&FMemo));
        FMemo.setFocus();
    }
    void init() { FMemo.InsertOn = true; }

    void controlASelectsAll_data() {
        QTest::addColumn<int>("modifiers");
        QTest::newRow("Control") << int(Qt::ControlModifier);
        QTest::newRow("Control+Shift") << int(Qt::ControlModifier | Qt::ShiftModifier);
        QTest::newRow("Control+Alt") << int(Qt::ControlModifier | Qt::AltModifier);
    }
    void controlASelectsAll() {
        QFETCH(int, modifiers);
        Prepare(FMemo, "one\ntwo", 2);
        QTest::keyClick(&FMemo, Qt::Key_A, Qt::KeyboardModifiers(modifiers));
        QCOMPARE(FMemo.textCursor().selectedText(), QStringLiteral("one\u2029two"));
        QCOMPARE(FMemo.Text(), QStringLiteral("one\ntwo")); // no "a" typed
    }

    void onlyInsertAloneTogglesAndItsCombinationsKeepTheirMeaning() {
        QVERIFY(FMemo.InsertOn);
        QTest::keyClick(&FMemo, Qt::Key_Insert);
        QVERIFY(!FMemo.InsertOn);
        QTest::keyClick(&FMemo, Qt::Key_Insert);
        QVERIFY(FMemo.InsertOn);

        Prepare(FMemo, "copy me", 0, 4);
        QTest::keyClick(&FMemo, Qt::Key_Insert, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("copy"));
        Prepare(FMemo, "X", 1);
        QTest::keyClick(&FMemo, Qt::Key_Insert, Qt::ShiftModifier);
        QCOMPARE(FMemo.Text(), QStringLiteral("Xcopy"));
        QVERIFY(FMemo.InsertOn);
    }

    void overwriteTyping_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("caret");
        QTest::addColumn<int>("selected");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("expected");
        QTest::newRow("replaces the next") << "abc" << 0 << 0 << int(Qt::Key_X) << "xbc";
        QTest::newRow("selection as usual") << "abc" << 0 << 2 << int(Qt::Key_X) << "xc";
        QTest::newRow("appends at the end") << "abc" << 3 << 0 << int(Qt::Key_X) << "abcx";
        QTest::newRow("backspace removes the next")
            << "abc" << 1 << 0 << int(Qt::Key_Backspace) << "ac";
        QTest::newRow("enter replaces the next")
            << "abcd" << 2 << 0 << int(Qt::Key_Return) << "ab\nd";
        QTest::newRow("line end keeps the break")
            << "ab\ncd" << 2 << 0 << int(Qt::Key_X) << "abx\ncd";
    }
    void overwriteTyping() {
        QFETCH(QString, text);
        QFETCH(int, caret);
        QFETCH(int, selected);
        QFETCH(int, key);
        QFETCH(QString, expected);
        FMemo.InsertOn = false;
        Prepare(FMemo, text, caret, selected);
        QTest::keyClick(&FMemo, Qt::Key(key));
        QCOMPARE(FMemo.Text(), expected);
    }

    void insertModeTypesAsUsual() {
        Prepare(FMemo, "abc", 1);
        QTest::keyClick(&FMemo, Qt::Key_Backspace);
        QTest::keyClick(&FMemo, Qt::Key_X);
        QCOMPARE(FMemo.Text(), QStringLiteral("xbc"));
    }

    void selectingLines() {
        Prepare(FMemo, "one\ntwo\nthree", 9);
        FMemo.SelectLine(1);
        QCOMPARE(FMemo.textCursor().selectedText(), QStringLiteral("two"));
        QCOMPARE(FMemo.textCursor().selectionStart(), 4);
        FMemo.SelectLine(3); // no such line: the selection stays
        QCOMPARE(FMemo.textCursor().selectedText(), QStringLiteral("two"));
        Prepare(FMemo, "one\ntwo\nthree", 10);
        FMemo.SelectCurrentLine();
        QCOMPARE(FMemo.textCursor().selectedText(), QStringLiteral("three"));
    }

    void sortLines() {
        Prepare(FMemo, "b\nA\nc", 0);
        FMemo.SortLines();
        QCOMPARE(FMemo.Text(), QStringLiteral("A\nb\nc"));
        // A final line break stays at the end instead of sorting to the top.
        Prepare(FMemo, "b\na\n", 0);
        FMemo.SortLines();
        QCOMPARE(FMemo.Text(), QStringLiteral("a\nb\n"));
    }

    void marginsMoveTheTextAndOverflowIsRaised() {
        const int before = FMemo.viewport()->geometry().left();
        FMemo.SetMargins(10, 5, 3);
        QCOMPARE(FMemo.viewport()->geometry().left(), before + 10);
        QVERIFY_THROWS_EXCEPTION(OverflowError, FMemo.SetMargins(0, INT_MIN, 0));
        QVERIFY_THROWS_EXCEPTION(OverflowError, FMemo.SetMargins(0, 0, INT_MIN));
        FMemo.SetMargins(0, 0, 0);
        QCOMPARE(FMemo.viewport()->geometry().left(), before);
    }

    void scrollAtEndLeavesTheCaret() {
        QStringList lines;
        for (int i = 0; i < 200; ++i)
            lines << QString::number(i);
        Prepare(FMemo, lines.join('\n'), 0);
        FMemo.verticalScrollBar()->setValue(0);
        FMemo.ScrollAtEnd();
        QVERIFY(FMemo.verticalScrollBar()->maximum() > 0);
        QCOMPARE(FMemo.verticalScrollBar()->value(), FMemo.verticalScrollBar()->maximum());
        QCOMPARE(FMemo.textCursor().position(), 0);

        Prepare(FMemo, "", 0);
        FMemo.ScrollAtEnd();
        QCOMPARE(FMemo.Text(), QString());
    }

    void copyAllLeavesTheCaretAtTheStart() {
        Prepare(FMemo, "Log:\nline", 6, 2);
        FMemo.CopyToClipboardAll();
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("Log:\nline"));
        QVERIFY(!FMemo.textCursor().hasSelection());
        QCOMPARE(FMemo.textCursor().position(), 0);
    }

private:
    TQuillMemo FMemo;
};

QTEST_MAIN(QuillMemoTest)
#include "QuillMemoTest.moc"
