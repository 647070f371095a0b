// The splitter dragged with the mouse in an aligning panel: a folder tree
// 217 pixels wide on the left, the bar, and an edit filling the rest.
#include "components/QuillSplitter.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {

struct Browser {
    TAlignPanel panel;
    QWidget* tree;
    TQuillSplitter* bar;
    QLineEdit* rest;

    explicit Browser(TResizeStyle style) {
        panel.resize(431, 120);
        tree = new QWidget(&panel);
        tree->resize(217, 10);
        SetAlignOf(tree, alLeft);
        bar = new TQuillSplitter(&panel);
        bar->SetResizeStyle(style);
        rest = new QLineEdit(&panel);
        SetAlignOf(rest, alClient);
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        rest->setFocus();
    }
    // The mouse, in the panel's coordinates: down on the bar, then dx away
    // from where it went down (the bar itself may move meanwhile).
    int downX = 0;
    QPoint At(int dx) const { return bar->mapFrom(&panel, QPoint(downX + dx, 50)); }
    void Press() {
        downX = bar->x() + 1;
        QTest::mousePress(bar, Qt::LeftButton, {}, At(0));
    }
    void Move(int dx) { QTest::mouseMove(bar, At(dx)); }
    void Release(int dx) { QTest::mouseRelease(bar, Qt::LeftButton, {}, At(dx)); }
    void Drag(int dx) {
        Press();
        Move(dx);
        Release(dx);
    }
};

} // namespace

class SplitterTest : public QObject {
    Q_OBJECT

private slots:
    void patternLineThenSizeOnRelease() {
        Browser b(rsPattern);
        QCOMPARE(b.bar->geometry(), QRect(217, 0, 3, 120));
        QSignalSpy moved(b.bar, &TQuillSplitter::OnMoved);
        b.Press();
        b.Move(50);
        QVERIFY(b.bar->TrackLine());
        QCOMPARE(b.bar->TrackLine()->geometry(), QRect(267, 0, 3, 120));
        QCOMPARE(b.tree->width(), 217);
        // The line is checkered over the edit beneath it.
        const QImage during = b.panel.grab().toImage();
        const QRgb a = during.pixel(267, 40), c = during.pixel(268, 40), d = during.pixel(267, 41);
        QVERIFY(a != c && a == during.pixel(268, 41) && c == d);
        QVERIFY((a == qRgb(0, 0, 0) && c == qRgb(255, 255, 255)) ||
                (c == qRgb(0, 0, 0) && a == qRgb(255, 255, 255)));
        QCOMPARE(moved.count(), 0);

        b.Release(50);
        QCOMPARE(b.tree->width(), 267);
        QCOMPARE(b.bar->x(), 267);
        QCOMPARE(b.rest->x(), 270);
        QCOMPARE(moved.count(), 2); // the size applied, then the drag's end
        QVERIFY(!b.bar->TrackLine());
        QCOMPARE(b.panel.children().size(), 3); // the line left nothing behind
    }

    void escapeCancelsWithoutTrace() {
        Browser b(rsLine);
        const QImage before = b.panel.grab().toImage();
        QSignalSpy moved(b.bar, &TQuillSplitter::OnMoved);
        b.Press();
        b.Move(50);
        QVERIFY(b.bar->TrackLine());
        QTest::keyClick(b.rest, 'x'); // other keys still reach the edit
        QTest::keyClick(b.rest, Qt::Key_Escape);
        QVERIFY(!b.bar->TrackLine());
        QCOMPARE(moved.count(), 1);
        b.Release(50);
        QCOMPARE(moved.count(), 1);
        QCOMPARE(b.tree->width(), 217);
        QTest::keyClick(b.rest, Qt::Key_Backspace); // its own handling is back
        QCOMPARE(b.rest->text(), QString());
        QCOMPARE(b.panel.grab().toImage(), before);
    }

    void updateResizesLive() {
        Browser b(rsUpdate);
        QSignalSpy moved(b.bar, &TQuillSplitter::OnMoved);
        b.Press();
        b.Move(10);
        QCOMPARE(b.tree->width(), 227);
        QCOMPARE(b.bar->x(), 227);
        QVERIFY(!b.bar->TrackLine());
        b.Move(30);
        QCOMPARE(b.tree->width(), 247);
        b.Release(30);
        QCOMPARE(b.tree->width(), 247);
        QCOMPARE(moved.count(), 3); // two changes, then the end
    }

    void snapCollapsesAndReopens() {
        Browser b(rsPattern);
        b.Press();
        b.Move(-300);
        // The line stops where the tree would keep MinSize.
        QVERIFY(b.bar->TrackLine());
        QCOMPARE(b.bar->TrackLine()->x(), 1);
        b.Release(-300);
        QCOMPARE(b.tree->width(), 0);
        QCOMPARE(b.bar->x(), 0);
        QCOMPARE(b.bar->FindSizedControl(), b.tree);
        b.Drag(100);
        QCOMPARE(b.tree->width(), 100);
        // No upper bound: wider than the panel, the bar out of view.
        b.Drag(500);
        QCOMPARE(b.tree->width(), 600);
        QVERIFY(b.bar->x() > b.panel.width());
    }

    void minSizeWithoutSnap_data() {
        QTest::addColumn<int>("minSize");
        QTest::newRow("1") << 1;
        QTest::newRow("40") << 40;
    }
    void minSizeWithoutSnap() {
        QFETCH(int, minSize);
        Browser b(rsNone);
        b.bar->SetAutoSnap(false);
        b.bar->SetMinSize(minSize);
        b.Drag(-300);
        QCOMPARE(b.tree->width(), minSize);
    }

    void canResizeRefusesOrChanges() {
        Browser b(rsUpdate);
        b.bar->OnCanResize = [](TQuillSplitter*, int& size, bool& accept) { accept = size <= 240; };
        b.Press();
        b.Move(10);
        b.Move(60); // refused: the size stays at the last accepted one
        QCOMPARE(b.tree->width(), 227);
        b.Release(60);
        QCOMPARE(b.tree->width(), 227);

        b.bar->SetResizeStyle(rsLine);
        b.bar->OnCanResize = [](TQuillSplitter*, int& size, bool&) { size = 300; };
        b.Drag(5);
        QCOMPARE(b.tree->width(), 300);
    }

    void rightAlignedKeepsTheFarEdge() {
        TAlignPanel panel;
        panel.resize(431, 120);
        auto* rest = new QWidget(&panel);
        SetAlignOf(rest, alClient);
        auto* list = new QWidget(&panel);
        list->resize(100, 10);
        SetAlignOf(list, alRight);
        auto* bar = new TQuillSplitter(&panel);
        bar->SetAlign(alRight);
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        QCOMPARE(bar->x(), 328);
        QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(1, 50));
        QTest::mouseMove(bar, QPoint(-29, 50));
        QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(-29, 50));
        QCOMPARE(list->geometry(), QRect(301, 0, 130, 120));
        QCOMPARE(bar->x(), 298);
    }

    void verticalBars_data() {
        QTest::addColumn<int>("align");
        QTest::addColumn<QRect>("sized"); // after a drag 20 pixels down
        QTest::newRow("top") << int(alTop) << QRect(0, 0, 200, 60);
        QTest::newRow("bottom") << int(alBottom) << QRect(0, 180, 200, 20);
    }
    void verticalBars() {
        QFETCH(int, align);
        QFETCH(QRect, sized);
        TAlignPanel panel;
        panel.resize(200, 200);
        auto* rest = new QWidget(&panel);
        SetAlignOf(rest, alClient);
        auto* pane = new QWidget(&panel);
        pane->resize(10, 40);
        SetAlignOf(pane, TAlign(align));
        auto* bar = new TQuillSplitter(&panel);
        bar->resize(bar->width(), 3);
        bar->SetAlign(TAlign(align));
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(50, 1));
        QTest::mouseMove(bar, QPoint(50, 21));
        QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(50, 21));
        QCOMPARE(pane->geometry(), sized);
        QCOMPARE(bar->y(), align == alTop ? 60 : 177);
    }

    void noNeighbourNoDrag() {
        TAlignPanel panel;
        panel.resize(200, 100);
        auto* bar = new TQuillSplitter(&panel);
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        QSignalSpy moved(bar, &TQuillSplitter::OnMoved);
        QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(1, 50));
        QVERIFY(!bar->SizedControl());
        QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(40, 50));
        QCOMPARE(moved.count(), 0);
        QCOMPARE(bar->x(), 0);
    }

    void arrowKeysMoveTheFocusedBar() {
        Browser b(rsPattern);
        QSignalSpy moved(b.bar, &TQuillSplitter::OnMoved);
        QTest::keyClick(b.rest, Qt::Key_Tab, Qt::ShiftModifier);
        QVERIFY(b.bar->hasFocus());
        QTest::keyClick(b.bar, Qt::Key_Right);
        QTest::keyClick(b.bar, Qt::Key_Right);
        QTest::keyClick(b.bar, Qt::Key_Left);
        QTest::keyClick(b.bar, Qt::Key_Down); // not this bar's axis
        QCOMPARE(b.tree->width(), 217 + TQuillSplitter::kKeyStep);
        QCOMPARE(b.bar->x(), b.tree->width());
        QCOMPARE(moved.count(), 3);
    }

    void cursorFollowsAlignment() {
        TQuillSplitter bar;
        QCOMPARE(bar.cursor().shape(), Qt::SplitHCursor);
        bar.SetAlign(alTop);
        QCOMPARE(bar.cursor().shape(), Qt::SplitVCursor);
        bar.SetAlign(alRight);
        QCOMPARE(bar.cursor().shape(), Qt::SplitHCursor);
        bar.setCursor(Qt::PointingHandCursor);
        bar.SetAlign(alBottom);
        QCOMPARE(bar.cursor().shape(), Qt::PointingHandCursor);
    }
};

QTEST_MAIN(SplitterTest)
#include "SplitterTest.moc"
