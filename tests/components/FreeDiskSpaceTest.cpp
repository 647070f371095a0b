// The disk space panel through a drive table of the test's own.
#include "components/FreeDiskSpace.h"
#include "TempDir.h"
#include "platform/DriveTable.h"
#include "platform/VolumeQuery.h"

#include <QLabel>
#include <QProgressBar>
#include <QScrollBar>
#include <QtTest>

#include <atomic>
#include <climits>
#include <future>

using Platform::Drive;
using Platform::DriveSpace;
using Platform::ScopedDriveTable;

namespace {

constexpr std::int64_t GB = 1073741824;

Drive Stated(char letter, const std::string& folder, std::int64_t freeBytes,
             std::int64_t totalBytes) {
    Drive d;
    d.letter = letter;
    d.mountPoint = folder;
    d.space = DriveSpace{freeBytes, totalBytes};
    return d;
}

Drive NotReady(char letter, const std::string& folder) {
    Drive d;
    d.letter = letter;
    d.mountPoint = folder; // not there: the size query fails
    return d;
}

} // namespace

class FreeDiskSpaceTest : public QObject {
    Q_OBJECT

private slots:
    void titleAndDefaultSize() {
        ScopedDriveTable table({});
        TFreeDiskSpace panel;
        QCOMPARE(panel.size(), QSize(300, 100));
        QCOMPARE(panel.Title()->text(), QStringLiteral("Free disk space:"));
        QVERIFY(panel.Title()->font().bold());
        QCOMPARE(panel.Title()->pos(), QPoint(1, 2));
        QCOMPARE(panel.Title()->parentWidget(), panel.Content());
        QVERIFY(panel.Rows().empty());
        QCOMPARE(panel.LastBottom(), 20);
    }

    void readyDrivesOnlyAt30And54() {
        TempDir dir;
        ScopedDriveTable table({Stated('C', dir.Path(), 1 * GB, 3 * GB),
                                NotReady('D', dir / "no-disc"),
                                Stated('E', dir / "e", 2 * GB, 3 * GB)});
        TFreeDiskSpace panel;
        const auto& rows = panel.Rows();
        QCOMPARE(rows.size(), std::size_t(2));
        QCOMPARE(rows[0].label->text(), QStringLiteral("C:"));
        QCOMPARE(rows[1].label->text(), QStringLiteral("E:"));
        QCOMPARE(rows[0].label->pos(), QPoint(4, 30));
        QCOMPARE(rows[1].label->pos(), QPoint(4, 54));
        QCOMPARE(rows[0].bar->geometry(), QRect(20, 30, 270, 14));
        QCOMPARE(rows[1].bar->geometry(), QRect(20, 54, 270, 14));
        QCOMPARE(rows[0].bar->minimum(), 0);
        QCOMPARE(rows[0].bar->maximum(), 100);
        QCOMPARE(rows[0].bar->value(), 33);
        QCOMPARE(rows[1].bar->value(), 67);
        QCOMPARE(panel.LastBottom(), 68);
        // A Linux user learns from the letter's tooltip which volume it is.
        QCOMPARE(rows[0].label->toolTip(), QString::fromStdString(dir.Path()));
        QCOMPARE(rows[1].label->toolTip(), QString::fromStdString(dir / "e"));
        // A screen reader hears which drive a bar stands for.
        QCOMPARE(rows[1].bar->accessibleName(), QString::fromStdString("E: " + dir / "e"));
        QCOMPARE(rows[1].bar->accessibleDescription(), rows[1].bar->toolTip());
    }

    void aVolumeThatNeverAnswersIsLeftOut() {
        // The window must come up although a network volume hangs.
        TempDir dir;
        QDir().mkpath(QString::fromStdString(dir / "nas"));
        ScopedDriveTable table({Platform::DriveForFolder('C', dir.Path()),
                                Platform::DriveForFolder('D', dir / "nas"),
                                Stated('E', dir.Path(), GB, 2 * GB)});
        auto server = std::make_shared<std::promise<void>>();
        auto askedC = std::make_shared<std::atomic<int>>(0);
        const std::string rootC = dir.Path() + "/", silent = dir / "nas/";
        Platform::ScopedVolumeQuery query(
            [back = server->get_future().share(), askedC, rootC, silent](const std::string& root,
                                                                         int* error) {
                if (root == silent)
                    back.wait();
                if (root == rootC)
                    ++*askedC;
                return Platform::StatVolume(root, error);
            },
            std::chrono::milliseconds(100));
        TFreeDiskSpace panel;
        server->set_value();
        QCOMPARE(panel.Rows().size(), std::size_t(2));
        QCOMPARE(panel.Rows()[0].label->text(), QStringLiteral("C:"));
        QCOMPARE(panel.Rows()[1].label->text(), QStringLiteral("E:"));
        QCOMPARE(askedC->load(), 1); // one reading serves the bar and its hint
    }

    void floppyLettersAreNeverListed() {
        TempDir dir;
        ScopedDriveTable table({Stated('A', dir.Path(), 1, 2), Stated('B', dir.Path(), 1, 2)});
        TFreeDiskSpace panel;
        QVERIFY(panel.Rows().empty());
    }

    void barsRoundHalvesToEven() {
        QCOMPARE(TFreeDiskSpace::FreeShare(GB, 2 * GB), 50);
        QCOMPARE(TFreeDiskSpace::FreeShare(101, 200), 50); // 50.5
        QCOMPARE(TFreeDiskSpace::FreeShare(103, 200), 52); // 51.5
        QCOMPARE(TFreeDiskSpace::FreeShare(1, 3), 33);
        QCOMPARE(TFreeDiskSpace::FreeShare(2, 3), 67);
        QCOMPARE(TFreeDiskSpace::FreeShare(5, 0), 0);
        QCOMPARE(TFreeDiskSpace::FreeShare(0, 10), 0);
        QCOMPARE(TFreeDiskSpace::FreeShare(10, 10), 100);
        // Free space times 100 does not fit 64 bits here; the share still comes out.
        QCOMPARE(TFreeDiskSpace::FreeShare(LLONG_MAX / 2, LLONG_MAX), 50);
    }

    void hintsInTheirExactForm() {
        const std::int64_t free = static_cast<std::int64_t>(12.345 * GB);
        QCOMPARE(TFreeDiskSpace::HintText("C:", free, 100 * GB),
                 std::string("[Drive C:]   12.34GB of 100GB free."));
        QCOMPARE(TFreeDiskSpace::HintText("F:", 0, GB + GB / 2 + GB / 20),
                 std::string("[Drive F:]   0GB of 1.5GB free."));
        TempDir dir;
        ScopedDriveTable table({Stated('C', dir.Path(), free, 100 * GB),
                                Stated('D', dir.Path(), 3 * GB / 2, 201 * GB / 2)});
        TFreeDiskSpace panel;
        QCOMPARE(panel.Rows()[0].bar->toolTip(),
                 QStringLiteral("[Drive C:]   12.34GB of 100GB free."));
        QCOMPARE(panel.Rows()[1].bar->toolTip(),
                 QStringLiteral("[Drive D:]   1.5GB of 100.5GB free."));
        QCOMPARE(panel.Rows()[1].bar->value(), 1); // 1.49...
    }

    void emptyDriveGivesAFullBarAndZeroTotalAnEmptyOne() {
        TempDir dir;
        ScopedDriveTable table({Stated('C', dir.Path(), GB, GB), Stated('D', dir.Path(), 0, 0)});
        TFreeDiskSpace panel;
        QCOMPARE(panel.Rows()[0].bar->value(), 100);
        QCOMPARE(panel.Rows()[1].bar->value(), 0);
    }

    void manyDrivesScrollVertically() {
        TempDir dir;
        std::vector<Drive> drives;
        for (char letter = 'C'; letter <= 'Z'; ++letter)
            drives.push_back(Stated(letter, dir.Path(), GB, 2 * GB));
        ScopedDriveTable table(drives);
        TFreeDiskSpace panel;
        QCOMPARE(panel.Rows().size(), std::size_t(24));
        QCOMPARE(panel.LastBottom(), 20 + 24 * 24);
        QCOMPARE(panel.Rows().back().label->text(), QStringLiteral("Z:"));
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        QVERIFY(panel.verticalScrollBar()->maximum() > 0);
    }

    void widerPanelWidensTheBarsOnly() {
        TempDir dir;
        ScopedDriveTable table({Stated('C', dir.Path(), GB, 2 * GB)});
        TFreeDiskSpace panel;
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        const int before = panel.Rows()[0].bar->width();
        panel.resize(500, 100);
        QTRY_COMPARE(panel.Rows()[0].bar->width(), before + 200);
        QCOMPARE(panel.Rows()[0].bar->x(), 20);
        QCOMPARE(panel.Rows()[0].label->pos(), QPoint(4, 30));
        panel.resize(250, 100);
        QTRY_COMPARE(panel.Rows()[0].bar->width(), before - 50);
    }

    void placedOnAPageItFollowsAllFourEdges() {
        TempDir dir;
        ScopedDriveTable table({Stated('C', dir.Path(), GB, 2 * GB)});
        QWidget page;
        page.resize(200, 100); // provisional, before the window's layout
        TFreeDiskSpace* panel = TFreeDiskSpace::PlaceOn(&page);
        QCOMPARE(panel->parentWidget(), &page);
        QCOMPARE(panel->objectName(), QStringLiteral("FreeDiskSpace"));
        QCOMPARE(panel->toolTip(), QStringLiteral("Disk space info"));
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        QCOMPARE(panel->geometry(), QRect(32, 71, 369, 394));
        page.resize(437, 560);
        QTRY_COMPARE(page.size(), QSize(437, 560));
        QCOMPARE(panel->geometry(), QRect(32, 71, 369, 394));
        page.resize(537, 660);
        QTRY_COMPARE(panel->geometry(), QRect(32, 71, 469, 494));
        page.resize(337, 460);
        QTRY_COMPARE(panel->geometry(), QRect(32, 71, 269, 294));
    }

    void systemTableRowsMatchTheVolumes() {
        // No test table: this machine's volumes, as the real window sees
        // them. Other tests may mount volumes meanwhile: compare only when
        // the table stood still while the panel was built.
        auto readyPoints = [] {
            QStringList points;
            for (const auto& d : Platform::ReadDriveTable())
                if (Platform::VolumeSpace(d))
                    points << QString::fromStdString(d.mountPoint);
            return points;
        };
        for (int attempt = 0; attempt < 10; ++attempt) {
            const QStringList before = readyPoints();
            TFreeDiskSpace panel;
            if (readyPoints() != before)
                continue;
            QStringList shown;
            for (const auto& row : panel.Rows()) {
                shown << row.label->toolTip();
                QVERIFY(row.bar->toolTip().startsWith("[Drive " + row.label->text() + "]   "));
            }
            QCOMPARE(shown, before);
            return;
        }
        QSKIP("the volumes kept changing while the panel was built");
    }
};

QTEST_MAIN(FreeDiskSpaceTest)
#include "FreeDiskSpaceTest.moc"
