// The drive speed tab on the real window: the free-space label fills itself,
// and "Speed me" runs the test on the chosen drive, its button disabled
// while the run logs and enabled again afterwards.
#include "AppTestMain.h"
#include "Controls.h"
#include "RecordingPresenter.h"
#include "app/FormMain.h"
#include "components/QuillMemo.h"
#include "toolkit/TDriveComboBox.h"
#include "toolkit/TSpinEdit.h"

#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTest>

#include <memory>

class SpeedTabTest : public QObject {
    Q_OBJECT
private slots:
    void speedMeLogsBothSpeedsWithTheButtonDisabled();
};

void SpeedTabTest::speedMeLogsBothSpeedsWithTheButtonDisabled() {
    RecordingPresenter presenter;
    auto form = std::make_unique<TMainForm>();
    form->LateInitialize();
    form->show();
    auto* memo = Control<TQuillMemo>(form, "mmoSpeed");
    auto* button = Control<QPushButton>(form, "btnSpeedMe");
    auto* drive = Control<TDriveComboBox>(form, "drvSpeed");
    QCOMPARE(memo->Text(), QString("Log:"));
    // The chooser announced its first selection when the tab was shown.
    form->pagCrtl->setCurrentWidget(Control<QWidget>(form, "tabDiskSpeed"));
    QVERIFY(QRegularExpression("^[0-9]+(\\.[0-9]{1,2})?GB free$")
                .match(Control<QLabel>(form, "lblFreeSpace2")->text())
                .hasMatch());
    QVERIFY2(drive->Value() != 0, "the current folder lies on no drive of the table");
    // The screen reader hears the box's caption and the whole entry, and
    // the free-space label's figure.
    QCOMPARE(drive->accessibleName(), "Check speed of this drive: " + drive->currentText());

    Control<TSpinEdit>(form, "spnBuf2")->setValue(1);
    int linesWhileDisabled = 0;
    QObject::connect(memo, &QPlainTextEdit::textChanged, memo,
                     [&] { linesWhileDisabled += button->isEnabled() ? 0 : 1; });
    QTest::mouseClick(button, Qt::LeftButton);

    QVERIFY2(presenter.shown.empty(),
             presenter.shown.empty() ? "" : presenter.shown.front().text.c_str());
    const QStringList lines = memo->Text().split('\n');
    QCOMPARE(linesWhileDisabled, lines.size() - 1);
    QCOMPARE(lines.mid(1, 2), QStringList({"", ""}));
    QVERIFY(lines[3].startsWith("Drive " + QString(QChar(drive->Value()).toUpper()) + ":   -   ["));
    QCOMPARE(lines[5], QString("OS buffer: disabled"));
    QVERIFY(lines[7].startsWith("          Write speed: "));
    QVERIFY(lines[8].startsWith("          Read speed: "));
    QVERIFY(button->isEnabled());
    QVERIFY(!form->Tasks().Busy());
    QCOMPARE(form->Tasks().StatusText(), QString("Done"));
}

FV_APP_TEST_MAIN(SpeedTabTest)

#include "SpeedTabTest.moc"
