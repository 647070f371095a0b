// The desktop's message boxes and shell: texts and icons of the boxes, the
// copy shortcut of the error report, the Trash, and opening documents.
#include "AppTestMain.h"
#include "app/QtPresenter.h"

#include <QAccessible>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <cerrno>
#include <memory>

class ShellPresenterTest : public QObject {
    Q_OBJECT
private slots:
    void boxesHaveTheirCaptionIconAndLineBreaks() {
        using QuillTPU::MessageKind;
        std::unique_ptr<QMessageBox> plain(
            TQtPresenter::BuildMessageBox(MessageKind::Plain, "Ferrovane", "one\r\ntwo"));
        QCOMPARE(plain->windowTitle(), QString("Ferrovane"));
        QCOMPARE(plain->icon(), QMessageBox::NoIcon);
        QCOMPARE(plain->text(), QString("one\ntwo"));
        QCOMPARE(plain->standardButtons(), QMessageBox::Ok);
        std::unique_ptr<QMessageBox> warning(
            TQtPresenter::BuildMessageBox(MessageKind::Warning, "Warning", "w"));
        QCOMPARE(warning->icon(), QMessageBox::Warning);
        std::unique_ptr<QMessageBox> error(
            TQtPresenter::BuildMessageBox(MessageKind::Error, "Error", "<b>not html</b>"));
        QCOMPARE(error->icon(), QMessageBox::Critical);
        QCOMPARE(error->textFormat(), Qt::PlainText);
        std::unique_ptr<QMessageBox> question(TQtPresenter::BuildConfirmBox("Confirmation", "?"));
        QCOMPARE(question->standardButtons(), QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(question->defaultButton(), question->button(QMessageBox::No));
        // A screen reader announces a box as an alert and reads its text.
        for (QMessageBox* box : {plain.get(), error.get(), question.get()}) {
            box->show();
            QAccessibleInterface* alert = QAccessible::queryAccessibleInterface(box);
            QVERIFY(alert);
            QCOMPARE(alert->role(), QAccessible::AlertMessage);
            QCOMPARE(alert->text(QAccessible::Name), box->windowTitle());
            QCOMPARE(alert->text(QAccessible::Value), box->text());
            box->hide();
        }
    }

    void theReportCopiesItsWholeTextWithControlC() {
        std::unique_ptr<QMessageBox> box(TQtPresenter::BuildReportBox(
            "Error in DeleteTree", "Cannot delete\r\n/tmp/x\r\n\r\nHint: press Control+C"));
        QCOMPARE(box->icon(), QMessageBox::Critical);
        box->show();
        QVERIFY(QTest::qWaitForWindowExposed(box.get()));
        box->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(box.get()));
        QGuiApplication::clipboard()->clear();
        QTest::keyClick(box.get(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 QString("Error in DeleteTree\n\nCannot delete\n/tmp/x\n\nHint: press Control+C"));
    }

    void aShownBoxReturnsWhenClosed() {
        TQtPresenter presenter;
        bool closed = false;
        QTimer::singleShot(50, [&] {
            if (QWidget* box = QApplication::activeModalWidget()) {
                closed = true;
                box->close();
            }
        });
        presenter.ShowMessage(QuillTPU::MessageKind::Plain, "Ferrovane", "hello");
        QVERIFY(closed);
        QTimer::singleShot(50, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
                box->button(QMessageBox::Yes)->click();
        });
        QVERIFY(presenter.Confirm("Confirmation", "Delete?"));
    }

    // A question whose No throws something away: Enter, Escape and the close
    // button keep things; only No says No. The plain question is the
    // opposite: only Yes says Yes.
    void answersByKey_data() {
        QTest::addColumn<int>("key"); // 0: the window's close button
        QTest::addColumn<bool>("keep");
        QTest::addColumn<bool>("confirm");
        QTest::newRow("Enter") << int(Qt::Key_Return) << true << false;
        QTest::newRow("Escape") << int(Qt::Key_Escape) << true << false;
        QTest::newRow("closed") << 0 << true << false;
        QTest::newRow("N") << int(Qt::Key_N) << false << false;
    }
    void answersByKey() {
        QFETCH(int, key);
        QFETCH(bool, keep);
        QFETCH(bool, confirm);
        TQtPresenter presenter;
        auto answer = [key] {
            QTimer::singleShot(50, [key] {
                QWidget* box = QApplication::activeModalWidget();
                if (!box)
                    return;
                if (key)
                    QTest::keyClick(box, Qt::Key(key),
                                    key == Qt::Key_N ? Qt::AltModifier : Qt::NoModifier);
                else
                    box->close();
            });
        };
        answer();
        QCOMPARE(presenter.ConfirmUnlessNo("Confirm", "Merge to it?"), keep);
        answer();
        QCOMPARE(presenter.Confirm("Confirm", "Create anyway?"), confirm);
    }

    void movedToTheTrashOfTheUsersDataFolder() {
        // A fresh user: no ~/.local/share yet.
        const QString home = qEnvironmentVariable("HOME");
        QDir(home + "/.local").removeRecursively();
        TempDir work;
        TempDir elsewhere;
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(QString::fromStdString(elsewhere.Path())));
        const std::string file = work.Write("doomed.txt", "bye");

        TQtShell shell;
        std::string reason;
        const int code = shell.MoveToTrash(file, &reason);
        QDir::setCurrent(previous);
        QCOMPARE(code, 0);
        QVERIFY(!QFileInfo::exists(QString::fromStdString(file)));
        QVERIFY(QFileInfo::exists(home + "/.local/share/Trash/files/doomed.txt"));
        QVERIFY(QFileInfo::exists(home + "/.local/share/Trash/info/doomed.txt.trashinfo"));
        // Nothing was made beside the current folder.
        QVERIFY(QDir(QString::fromStdString(elsewhere.Path()))
                    .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)
                    .isEmpty());

        QCOMPARE(shell.MoveToTrash(work / "missing.txt", &reason), ENOENT);
        QVERIFY(!reason.empty());
    }

    void openingSomethingThatIsNotThereFailsQuietly() {
        TQtShell shell;
        QVERIFY(!shell.OpenDocument("", ""));
        QVERIFY(!shell.OpenDocument("/no/such/file.txt", ""));
        QVERIFY(QApplication::topLevelWidgets().isEmpty() || !QApplication::activeModalWidget());
    }
};

FV_APP_TEST_MAIN(ShellPresenterTest)
#include "ShellPresenterTest.moc"
