// The busy state of the window, Cancel, refused nested runs, a close during a
// run, and errors that escape handlers.
#include "AppTestMain.h"
#include "Controls.h"
#include "RecordingPresenter.h"
#include "SettingsFile.h"
#include "app/FormMain.h"
#include "app/QtPresenter.h"
#include "app/SettingsStore.h"
#include "app/tabs/GeneratorTab.h"
#include "platform/Errors.h"
#include "toolkit/TMemo.h"
#include "util/QuillTPU.h"
#include "util/TaskScope.h"

#include <csignal>
#include <unistd.h>

#include <QAccessible>
#include <QFile>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {

bool BusyCursor() {
    return QApplication::overrideCursor() &&
           QApplication::overrideCursor()->shape() == Qt::WaitCursor;
}

// A tool in the shape every tool has: units of work, pumping, the Cancel test.
// Returns the number of units done.
int RunUnits(TMainForm& form, int units, const std::function<void(int)>& afterUnit = {}) {
    QuillTPU::ITaskHost& host = form.Tasks();
    host.BeginTask();
    host.ClearCancel();
    int done = 0;
    for (int i = 0; i < units; ++i) {
        ++done;
        if (afterUnit)
            afterUnit(i);
        host.PumpMessages();
        if (host.CancelRequested()) {
            host.EndTask();
            host.SetStatus("  CANCELED!");
            return done;
        }
        host.SetStatus(std::to_string(done) + " of " + std::to_string(units));
    }
    host.EndTask();
    host.SetStatus("Done");
    return done;
}

// A presenter whose first box fails, as a broken component might.
class ThrowingPresenter : public RecordingPresenter {
public:
    void ShowMessage(QuillTPU::MessageKind kind, const std::string& caption,
                     const std::string& text) override {
        if (throwNext) {
            throwNext = false;
            throw FvError("The box broke");
        }
        RecordingPresenter::ShowMessage(kind, caption, text);
    }
    bool throwNext = false;
};

// An object whose event handler raises: only the application's net catches it.
class Raiser : public QObject {
public:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User)
            throw FvError("Raised in an event");
        return QObject::event(e);
    }
};

} // namespace

class TaskControlTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        QFile::remove(SettingsFile());
        FPresenter = std::make_unique<ThrowingPresenter>();
        FForm = std::make_unique<TMainForm>();
        FForm->LateInitialize();
        FForm->show();
    }
    void cleanup() {
        FForm.reset();
        FPresenter.reset();
    }

    void cancelIsVisibleOnlyWhileATaskRuns() {
        TMainForm& form = *FForm;
        QVERIFY(!form.btnCancel->isVisible());
        QVERIFY(!BusyCursor());
        form.Tasks().BeginTask();
        QVERIFY(form.btnCancel->isVisible());
        QVERIFY(BusyCursor());
        form.Tasks().EndTask();
        QVERIFY(!form.btnCancel->isVisible());
        QVERIFY(!BusyCursor());
    }

    void aFailedInputCheckLeavesTheWindowIdle() {
        TMainForm& form = *FForm;
        QVERIFY(form.Tasks().RunTaskHandler([&] {
            form.Tasks().BeginTask();
            QuillTPU::ShowPlainMessage("Error! You must insert at least a character");
            form.Tasks().EndTask();
        }));
        QCOMPARE(FPresenter->shown.size(), size_t(1));
        QVERIFY(!form.btnCancel->isVisible());
        QVERIFY(!BusyCursor());
    }

    void cancelStopsTheRunAfterTheCurrentUnit() {
        TMainForm& form = *FForm;
        QString statusSeenAfterClick;
        QString spokenAfterClick;
        QString shownAfterClick;
        const int done = RunUnits(form, 100, [&](int i) {
            if (i == 2) {
                // The click arrives while the tool pumps messages.
                QTimer::singleShot(0, form.btnCancel, [&] {
                    QTest::mouseClick(form.btnCancel, Qt::LeftButton);
                    statusSeenAfterClick = form.Tasks().StatusText();
                    // What a screen reader reads of the status line, mid-run.
                    QAccessibleInterface* bar =
                        QAccessible::queryAccessibleInterface(form.findChild<QStatusBar*>());
                    spokenAfterClick = bar ? bar->text(QAccessible::Name) : QString();
                    shownAfterClick = form.findChild<QStatusBar*>()->currentMessage();
                });
            }
        });
        QCOMPARE(done, 3);
        QCOMPARE(statusSeenAfterClick, QString("Canceling..."));
        // A screen reader reads what the status line shows, during the run.
        QVERIFY(!shownAfterClick.isEmpty());
        QCOMPARE(spokenAfterClick, shownAfterClick);
        QCOMPARE(QAccessible::queryAccessibleInterface(form.findChild<QStatusBar*>())
                     ->text(QAccessible::Name),
                 QString("  CANCELED!"));
        QCOMPARE(form.Tasks().StatusText(), QString("  CANCELED!"));
        QVERIFY(!form.btnCancel->isVisible());
        QVERIFY(!BusyCursor());
        // The flag stays until the next task clears it; that task runs to its end.
        QVERIFY(form.Tasks().CancelRequested());
        QCOMPARE(RunUnits(form, 5), 5);
        QCOMPARE(form.Tasks().StatusText(), QString("Done"));
    }

    void aTaskStartedWhileOneRunsIsRefused() {
        TMainForm& form = *FForm;
        bool innerRan = false;
        bool refused = false;
        QVERIFY(form.Tasks().RunTaskHandler([&] {
            form.Tasks().BeginTask();
            form.Tasks().SetStatus("3 of 10");
            // A click on a start button, processed inside the run's pumping.
            QTimer::singleShot(0, &form, [&] {
                refused = !form.Tasks().RunTaskHandler([&] { innerRan = true; });
                QTest::mouseClick(Control<QPushButton>(&form, "btnGenerate"), Qt::LeftButton);
            });
            form.Tasks().PumpMessages();
            QVERIFY(form.btnCancel->isVisible());
            QVERIFY(form.Tasks().Busy());
            QCOMPARE(form.Tasks().StatusText(), QString("3 of 10"));
            form.Tasks().EndTask();
        }));
        QVERIFY(refused);
        QVERIFY(!innerRan);
        QVERIFY(!form.Tasks().Busy());
        // Once idle, a start is accepted again.
        QVERIFY(form.Tasks().RunTaskHandler([&] { innerRan = true; }));
        QVERIFY(innerRan);
    }

    // The user's close and a SIGTERM to the program take the same way.
    void closingDuringARunCancelsItThenClosesAndSaves_data() {
        QTest::addColumn<bool>("signal");
        QTest::newRow("user closes") << false;
        QTest::newRow("SIGTERM") << true;
    }
    void closingDuringARunCancelsItThenClosesAndSaves() {
        QFETCH(bool, signal);
        TMainForm& form = *FForm;
        form.pagCrtl->setCurrentIndex(5);
        int done = 0;
        QVERIFY(form.Tasks().RunTaskHandler([&] {
            done = RunUnits(form, 1000, [&](int i) {
                if (i == 1 && signal)
                    ::kill(::getpid(), SIGTERM);
                else if (i == 1)
                    QTimer::singleShot(0, &form, [&] { form.close(); });
            });
            // The run ends through its own cancel path while the window stays.
            QVERIFY(form.isVisible());
        }));
        QCOMPARE(done, 2);
        QCOMPARE(form.Tasks().StatusText(), QString("  CANCELED!"));
        QTRY_VERIFY(!form.isVisible());
        QVERIFY(QFile::exists(SettingsFile()));
        QCOMPARE(SettingsStore::ReadSettingInteger(SettingsStore::kSection, "ActivePageIndex", -1),
                 5);
    }

    // While a task runs the tools' start buttons are off (a start would be
    // refused); afterwards they are back, a button its tab turned off stays off.
    void startButtonsRestDuringATask() {
        TMainForm& form = *FForm;
        const char* const starts[] = {"btnGenerate", "btnSpeedMe", "btnFullTest", "btnWipe"};
        auto* wipe = Control<QPushButton>(&form, "btnWipe");
        wipe->setEnabled(false); // as if its tab had a reason
        std::vector<std::string> enabledDuring;
        QVERIFY(form.Tasks().RunTaskHandler([&] {
            QuillTPU::TaskScope task(form.Tasks());
            for (const char* name : starts)
                if (Control<QPushButton>(&form, name)->isEnabled())
                    enabledDuring.push_back(name);
        }));
        QVERIFY(enabledDuring.empty());
        QVERIFY(Control<QPushButton>(&form, "btnGenerate")->isEnabled());
        QVERIFY(Control<QPushButton>(&form, "btnSpeedMe")->isEnabled());
        QVERIFY(!wipe->isEnabled());
    }

    // A question open when a stop signal comes would hold the program until
    // somebody answers: it is answered No, and the window closes.
    void aStopSignalAnswersAnOpenQuestionNo() {
        TMainForm& form = *FForm;
        TQtPresenter boxes;
        QuillTPU::ScopedPresenter installed(boxes);
        bool answer = true;
        QVERIFY(form.Tasks().RunTaskHandler([&] {
            QuillTPU::TaskScope task(form.Tasks());
            QTimer::singleShot(50, [] { ::kill(::getpid(), SIGTERM); });
            answer = QuillTPU::MessagePresenter().Confirm("Confirm", "Create them anyway?");
        }));
        QVERIFY(!answer);
        QTRY_VERIFY(!form.isVisible());
    }

    void anErrorInATaskIsShownAndTheWindowGoesOn() {
        TMainForm& form = *FForm;
        QVERIFY(form.Tasks().RunTaskHandler([&] {
            form.Tasks().BeginTask();
            throw StreamReadError("Stream read error", 5);
        }));
        QCOMPARE(FPresenter->shown.size(), size_t(1));
        QCOMPARE(FPresenter->shown[0].kind, QuillTPU::MessageKind::Error);
        QCOMPARE(FPresenter->shown[0].text, std::string("Stream read error"));
        // Every way out passes through EndTask, an error too.
        QVERIFY(!form.btnCancel->isVisible());
        QVERIFY(!BusyCursor());
        QTest::mouseClick(Control<QPushButton>(&form, "btnFloppy"), Qt::LeftButton);
        QCOMPARE(Control<TGeneratorTab>(&form, "tabMain")->ComputeFileSize(), qint64(1467392));
    }

    void anErrorInAConnectedHandlerIsShownAndTheWindowGoesOn() {
        TMainForm& form = *FForm;
        QTest::mouseClick(Control<QRadioButton>(&form, "radFillWithThis"), Qt::LeftButton);
        FPresenter->throwNext = true;
        Control<TMemo>(&form, "mmoFillText")
            ->SetText((QString(62, 'q') + '\n').repeated(TGeneratorTab::kFillTextLimit / 64 + 1));
        // The failing box ended the handler; its error was shown instead.
        QCOMPARE(FPresenter->shown.size(), size_t(1));
        QCOMPARE(FPresenter->shown[0].text, std::string("The box broke"));
        QCOMPARE(FPresenter->shown[0].kind, QuillTPU::MessageKind::Error);
        QTest::mouseClick(Control<QPushButton>(&form, "btn10MB"), Qt::LeftButton);
        QCOMPARE(Control<TGeneratorTab>(&form, "tabMain")->ComputeFileSize(), qint64(10485760));
    }

    void theApplicationCatchesWhatEscapesAnEvent() {
        Raiser raiser;
        QEvent event(QEvent::User);
        QVERIFY(!QApplication::sendEvent(&raiser, &event));
        QCOMPARE(FPresenter->shown.size(), size_t(1));
        QCOMPARE(FPresenter->shown[0].text, std::string("Raised in an event"));
        QTest::mouseClick(FForm->btnSupport, Qt::LeftButton); // still responds
    }

    void supportWorksWhileATaskRuns() {
        RecordingShell shell;
        TMainForm& form = *FForm;
        RunUnits(form, 3, [&](int i) {
            if (i == 0)
                QTimer::singleShot(0, &form,
                                   [&] { QTest::mouseClick(form.btnSupport, Qt::LeftButton); });
        });
        QCOMPARE(shell.opened.size(), size_t(1));
    }

private:
    std::unique_ptr<ThrowingPresenter> FPresenter;
    std::unique_ptr<TMainForm> FForm;
};

FV_APP_TEST_MAIN(TaskControlTest)
#include "TaskControlTest.moc"
