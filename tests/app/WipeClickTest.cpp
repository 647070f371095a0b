// "Wipe free space" on the real window: the tab feeds the run with its drive,
// its passes and the Settings tab's buffer size.
#include "../components/TestVolume.h"
#include "AppTestMain.h"
#include "Controls.h"
#include "RecordingPresenter.h"
#include "app/FormMain.h"
#include "platform/DriveTable.h"
#include "toolkit/TDriveComboBox.h"
#include "toolkit/TSpinEdit.h"

#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>

#include <filesystem>
#include <memory>

class WipeClickTest : public QObject {
    Q_OBJECT
private slots:
    void wipeFillsAndEmptiesTheChosenVolume();
};

void WipeClickTest::wipeFillsAndEmptiesTheChosenVolume() {
    std::string why;
    auto volume = TestVolume::Tmpfs(4 * 1048576, false, &why);
    if (!volume)
        QSKIP(why.c_str());
    Platform::ScopedDriveTable table({Platform::DriveForFolder('V', volume->MountPoint())});
    RecordingPresenter presenter;
    auto form = std::make_unique<TMainForm>();
    form->LateInitialize();
    form->show();

    auto* drive = Control<TDriveComboBox>(form, "drvWipe");
    QVERIFY(drive->SetValue('V'));
    QCOMPARE(drive->Value(), 'v');
    const QString freeText = Control<QLabel>(form, "lblFreeSpace3")->text();
    QVERIFY2(freeText.endsWith("GB free"), qPrintable(freeText));
    Control<TSpinEdit>(form, "spnBufWipe")->setValue(1);
    Control<TSpinEdit>(form, "spnPass")->setValue(2);
    QTest::mouseClick(Control<QPushButton>(form, "btnWipe"), Qt::LeftButton);

    QVERIFY2(presenter.shown.empty(),
             presenter.shown.empty() ? "" : presenter.shown.front().text.c_str());
    QCOMPARE(form->StatusBar->currentMessage(), QString("Done"));
    QVERIFY(!form->Tasks().Busy());
    QVERIFY(!std::filesystem::exists(volume->MountPoint() + "/wp_binary"));
}

FV_APP_TEST_MAIN(WipeClickTest)

#include "WipeClickTest.moc"
