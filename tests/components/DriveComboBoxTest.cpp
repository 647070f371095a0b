// The drive chooser through drive tables of the test's own.
#include "TempDir.h"
#include "platform/DriveTable.h"
#include "toolkit/TDriveComboBox.h"

#include <QAbstractItemView>
#include <QSignalSpy>
#include <QtTest>

#include <unistd.h>

using Platform::Drive;
using Platform::DriveKind;
using Platform::ScopedDriveTable;

namespace {

Drive Entry(char letter, const std::string& mountPoint, DriveKind kind,
            std::optional<std::string> label = std::nullopt, const std::string& device = {}) {
    Drive d;
    d.letter = letter;
    d.mountPoint = mountPoint;
    d.root = mountPoint.back() == '/' ? mountPoint : mountPoint + "/";
    d.kind = kind;
    d.device = device;
    d.label = std::move(label);
    return d;
}

QStringList Entries(const QComboBox& box) {
    QStringList texts;
    for (int i = 0; i < box.count(); ++i)
        texts << box.itemText(i);
    return texts;
}

// Runs the test inside a folder and goes back afterwards.
class InFolder {
public:
    explicit InFolder(const std::string& folder) : FOld(::getcwd(nullptr, 0)) {
        QVERIFY(::chdir(folder.c_str()) == 0);
    }
    ~InFolder() {
        if (::chdir(FOld) != 0)
            qWarning("cannot go back to the old folder");
        std::free(FOld);
    }

private:
    char* FOld;
};

} // namespace

class DriveComboBoxTest : public QObject {
    Q_OBJECT

private slots:
    void entriesInLetterOrderStartingOnTheCurrentFolder() {
        TempDir dir;
        InFolder here(dir.Path());
        ScopedDriveTable table(
            {Entry('C', "/", DriveKind::Fixed, "System"),
             Entry('D', "/mnt/share", DriveKind::Network, std::nullopt, "server:/export"),
             Entry('E', "/media/usb", DriveKind::Removable, "STICK"),
             Entry('F', dir.Path(), DriveKind::RamDisk, "scratch"),
             Entry('G', "/srv", DriveKind::Fixed, "")});
        TDriveComboBox box;
        QCOMPARE(Entries(box),
                 QStringList({"c: System  /", "d: server:/export  /mnt/share", "e:  /media/usb",
                              QString::fromStdString("f: scratch  " + dir.Path()), "g:  /srv"}));
        // The deepest drive that holds the current folder, not "/".
        QCOMPARE(box.Value(), 'f');
    }

    void noDriveHoldsTheCurrentFolder() {
        TempDir dir;
        InFolder here(dir.Path());
        ScopedDriveTable table({Entry('C', "/srv", DriveKind::Fixed, "data")});
        TDriveComboBox box;
        QCOMPARE(box.currentIndex(), -1);
        QCOMPARE(box.Value(), '\0');
    }

    void oneNotificationAtFirstShowThenOnEveryChange() {
        TempDir dir;
        InFolder here(dir.Path());
        ScopedDriveTable table({Entry('C', "/", DriveKind::Fixed, "System"),
                                Entry('D', dir.Path(), DriveKind::Fixed, "data")});
        TDriveComboBox box;
        QSignalSpy spy(&box, &TDriveComboBox::Changed);
        QCOMPARE(spy.count(), 0);
        box.show();
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).value<char>(), 'd');
        box.hide();
        box.show();
        QCOMPARE(spy.count(), 1);

        QVERIFY(box.SetValue('C'));
        QCOMPARE(box.Value(), 'c');
        QCOMPARE(spy.count(), 2);
        QCOMPARE(spy.at(1).at(0).value<char>(), 'c');
        QVERIFY(box.SetValue('c')); // no change, no notification
        QVERIFY(!box.SetValue('z'));
        QCOMPARE(box.Value(), 'c');
        QCOMPARE(spy.count(), 2);

        // The keyboard changes it too.
        box.setFocus();
        QTest::keyClick(&box, Qt::Key_Down);
        QCOMPARE(box.Value(), 'd');
        QCOMPARE(spy.count(), 3);
    }

    void openingTheListReadsTheTableAndKeepsTheVolume() {
        ScopedDriveTable table(
            {Entry('C', "/", DriveKind::Fixed, "System"), Entry('D', "/data", DriveKind::Fixed)});
        TDriveComboBox box;
        box.show();
        QVERIFY(box.SetValue('d'));
        QSignalSpy spy(&box, &TDriveComboBox::Changed);
        {
            // A volume mounted meanwhile takes D:; the chosen one moves to E:.
            ScopedDriveTable mounted({Entry('C', "/", DriveKind::Fixed, "System"),
                                      Entry('D', "/backup", DriveKind::Fixed, "backup"),
                                      Entry('E', "/data", DriveKind::Fixed)});
            box.showPopup();
            box.hidePopup();
            QCOMPARE(Entries(box),
                     QStringList({"c: System  /", "d: backup  /backup", "e:  /data"}));
            QCOMPARE(box.Value(), 'e');
            QCOMPARE(spy.count(), 1);
            QCOMPARE(spy.at(0).at(0).value<char>(), 'e');
        }
        // The chosen volume is gone: it stays shown, never replaced by the
        // volume that took its letter, until the user opens the list; then
        // the current folder's drive is chosen.
        QVERIFY(box.SetValue('d'));
        {
            TempDir dir;
            InFolder here(dir.Path());
            ScopedDriveTable unmounted({Entry('C', "/", DriveKind::Fixed, "System"),
                                        Entry('D', "/other", DriveKind::Fixed),
                                        Entry('E', dir.Path(), DriveKind::Fixed)});
            box.Refresh();
            QCOMPARE(box.currentText(), QString("d:  /data"));
            QCOMPARE(box.Volume()->mountPoint, std::string("/data"));
            QVERIFY(!box.SetValue('z'));
            QCOMPARE(box.currentText(), QString("d:  /data"));
            box.showPopup();
            box.hidePopup();
            QCOMPARE(box.Value(), 'e');
            QCOMPARE(Entries(box).size(), 3);
        }
    }

    // A long mount point is cut in the closed box only: the list shows it
    // whole, and the tooltip and the screen reader's name carry it.
    void longEntriesShowInFull() {
        const std::string deep = "/media/" + std::string(80, 'x') + "/volume";
        ScopedDriveTable table({Entry('C', deep, DriveKind::Fixed, "Archive")});
        TDriveComboBox box;
        box.setAccessibleName("Check speed of this drive");
        box.resize(120, box.sizeHint().height());
        box.show();
        QVERIFY(box.SetValue('c'));
        const QString entry = QString::fromStdString("c: Archive  " + deep);
        QCOMPARE(box.toolTip(), entry);
        QCOMPARE(box.accessibleName(), "Check speed of this drive: " + entry);
        box.showPopup();
        QAbstractItemView* list = box.view();
        QCOMPARE(list->textElideMode(), Qt::ElideNone);
        QVERIFY(list->viewport()->width() >= list->sizeHintForColumn(0));
        box.hidePopup();
    }
};

QTEST_MAIN(DriveComboBoxTest)
#include "DriveComboBoxTest.moc"
