// "Wipe free space" on the real window: the tab feeds the run with its drive,
// its passes and the Settings tab's buffer size. And both drive tabs hand
// their run the volume their chooser shows, whatever was mounted meanwhile.
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

#include <sys/mount.h>
#include <sys/stat.h>

class WipeClickTest : public QObject {
    Q_OBJECT
private slots:
    void wipeFillsAndEmptiesTheChosenVolume();
    void theRunTakesTheChosenVolumeWhenAnotherIsMountedBeforeIt_data();
    void theRunTakesTheChosenVolumeWhenAnotherIsMountedBeforeIt();
    void aVolumeMountedAtTheChosenPlaceAfterItWentIsNotReady();
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
    // A screen reader hears the figure too, as on the Drive speed tab.
    QCOMPARE(Control<QLabel>(form, "lblFreeSpace3")->accessibleName(), "Free space: " + freeText);
    Control<TSpinEdit>(form, "spnBufWipe")->setValue(1);
    Control<TSpinEdit>(form, "spnPass")->setValue(2);
    QTest::mouseClick(Control<QPushButton>(form, "btnWipe"), Qt::LeftButton);

    QVERIFY2(presenter.shown.empty(),
             presenter.shown.empty() ? "" : presenter.shown.front().text.c_str());
    QCOMPARE(form->StatusBar->currentMessage(), QString("Done"));
    QVERIFY(!form->Tasks().Busy());
    QVERIFY(!std::filesystem::exists(volume->MountPoint() + "/wp_binary"));
}

void WipeClickTest::theRunTakesTheChosenVolumeWhenAnotherIsMountedBeforeIt_data() {
    QTest::addColumn<QString>("tab");
    QTest::addColumn<QString>("chooser");
    QTest::addColumn<QString>("button");
    QTest::newRow("wipe") << "tabWipe"
                          << "drvWipe"
                          << "btnWipe";
    QTest::newRow("speed") << "tabDiskSpeed"
                           << "drvSpeed"
                           << "btnSpeedMe";
}

void WipeClickTest::theRunTakesTheChosenVolumeWhenAnotherIsMountedBeforeIt() {
    QFETCH(QString, tab);
    QFETCH(QString, chooser);
    QFETCH(QString, button);
    // The real mount table: "b" is chosen, then "a" is mounted, which sorts
    // before it.
    TempDir places;
    const std::string chosen = places / "b";
    const std::string neighbour = places / "a";
    std::filesystem::create_directory(chosen);
    std::filesystem::create_directory(neighbour);
    if (::mount("tmpfs", chosen.c_str(), "tmpfs", 0, "size=4m") != 0)
        QSKIP("mounting needs root");
    struct Unmount {
        std::string a, b;
        ~Unmount() {
            ::umount2(a.c_str(), MNT_DETACH);
            ::umount2(b.c_str(), MNT_DETACH);
        }
    } unmount{neighbour, chosen};
    RecordingPresenter presenter;
    auto form = std::make_unique<TMainForm>();
    form->LateInitialize();
    form->show();
    form->pagCrtl->setCurrentWidget(Control<QWidget>(form, tab.toLatin1().constData()));
    Control<TSpinEdit>(form, "spnBufWipe")->setValue(1);
    Control<TSpinEdit>(form, "spnBuf2")->setValue(1);
    Control<TSpinEdit>(form, "spnPass")->setValue(1);

    auto* drive = Control<TDriveComboBox>(form, chooser.toLatin1().constData());
    char letter = 0;
    for (const auto& d : Platform::ReadDriveTable())
        if (d.mountPoint == chosen)
            letter = d.letter;
    QVERIFY(letter);
    QVERIFY(drive->SetValue(letter));
    QVERIFY(::mount("tmpfs", neighbour.c_str(), "tmpfs", 0, "size=4m") == 0);
    struct stat before {
    }, chosenBefore{};
    ::stat(neighbour.c_str(), &before);
    ::stat(chosen.c_str(), &chosenBefore);

    QTest::mouseClick(Control<QPushButton>(form, button.toLatin1().constData()), Qt::LeftButton);
    QVERIFY2(presenter.shown.empty(),
             presenter.shown.empty() ? "" : presenter.shown.front().text.c_str());
    QCOMPARE(form->StatusBar->currentMessage(), QString("Done"));
    QCOMPARE(drive->Volume()->mountPoint, chosen);
    // The neighbour saw no folder come and go; the chosen volume did.
    struct stat after {
    }, chosenAfter{};
    ::stat(neighbour.c_str(), &after);
    ::stat(chosen.c_str(), &chosenAfter);
    QCOMPARE(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    QCOMPARE(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    QVERIFY(chosenAfter.st_mtim.tv_sec != chosenBefore.st_mtim.tv_sec ||
            chosenAfter.st_mtim.tv_nsec != chosenBefore.st_mtim.tv_nsec);
}

// The kernel hands a new mount the ids of one that went: the chooser still
// tells them apart.
void WipeClickTest::aVolumeMountedAtTheChosenPlaceAfterItWentIsNotReady() {
    TempDir places;
    const std::string chosen = places / "b";
    std::filesystem::create_directory(chosen);
    if (::mount("tmpfs", chosen.c_str(), "tmpfs", 0, "size=4m") != 0)
        QSKIP("mounting needs root");
    struct Unmount {
        std::string point;
        ~Unmount() { ::umount2(point.c_str(), MNT_DETACH); }
    } unmount{chosen};
    RecordingPresenter presenter;
    auto form = std::make_unique<TMainForm>();
    form->LateInitialize();
    form->show();
    form->pagCrtl->setCurrentWidget(Control<QWidget>(form, "tabWipe"));
    auto* drive = Control<TDriveComboBox>(form, "drvWipe");
    char letter = 0;
    for (const auto& d : Platform::ReadDriveTable())
        if (d.mountPoint == chosen)
            letter = d.letter;
    QVERIFY(letter && drive->SetValue(letter));
    QCOMPARE(::umount2(chosen.c_str(), 0), 0);
    QCOMPARE(::mount("tmpfs", chosen.c_str(), "tmpfs", 0, "size=4m"), 0);

    QTest::mouseClick(Control<QPushButton>(form, "btnWipe"), Qt::LeftButton);
    QCOMPARE(presenter.shown.size(), std::size_t(1));
    QCOMPARE(presenter.shown[0].text, std::string("Disk not ready!"));
    QVERIFY(std::filesystem::is_empty(chosen));
    // Opening the list moves the selection off the volume that went.
    drive->showPopup();
    drive->hidePopup();
    QVERIFY(!drive->Volume() || drive->Volume()->uniqueMountId == 0 ||
            drive->Volume()->mountPoint != chosen);
}

FV_APP_TEST_MAIN(WipeClickTest)

#include "WipeClickTest.moc"
