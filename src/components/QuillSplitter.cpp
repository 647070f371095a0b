#include "components/QuillSplitter.h"

#include "util/Checks.h"
#include "util/Drives.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>

namespace {

// The line over the parent's children. It takes no input and is deleted
// at the end of a drag, so what lay beneath paints itself again.
class LineOverlay : public QWidget {
public:
    LineOverlay(QWidget* parent, const QBrush& pattern) : QWidget(parent), FPattern(pattern) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        if (FPattern.style() != Qt::NoBrush) {
            p.fillRect(rect(), FPattern);
        } else {
            // Inverts what lies beneath, as the line of a plain drag should.
            p.setCompositionMode(QPainter::CompositionMode_Difference);
            p.fillRect(rect(), Qt::white);
        }
    }

private:
    QBrush FPattern;
};

// Alternating black and white pixels.
QBrush CheckeredBrush() {
    QImage image(8, 8, QImage::Format_RGB32);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            image.setPixel(x, y, (x + y) % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    return QBrush(QPixmap::fromImage(image));
}

} // namespace

TQuillSplitter::TQuillSplitter(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::TabFocus);
    setAccessibleName(tr("Splitter"));
    setCursor(Qt::SplitHCursor);
    resize(3, height());
    SetAlign(alLeft);
}

TQuillSplitter::~TQuillSplitter() {
    ReleaseLine();
    if (FActiveControl)
        FActiveControl->removeEventFilter(this);
}

bool TQuillSplitter::SizesWidth() const {
    return Align() == alLeft || Align() == alRight;
}

void TQuillSplitter::SetAlign(TAlign value) {
    SetAlignOf(this, value);
    const auto shape = cursor().shape();
    if (shape == Qt::SplitHCursor || shape == Qt::SplitVCursor)
        setCursor(value == alTop || value == alBottom ? Qt::SplitVCursor : Qt::SplitHCursor);
}

void TQuillSplitter::SetBeveled(bool value) {
    FBeveled = value;
    update();
}

QColor TQuillSplitter::Color() const {
    if (FParentColor && parentWidget())
        return parentWidget()->palette().color(QPalette::Window);
    return FColor.isValid() ? FColor : palette().color(QPalette::Button);
}

void TQuillSplitter::SetColor(const QColor& value) {
    FColor = value;
    FParentColor = false;
    update();
}

void TQuillSplitter::SetParentColor(bool value) {
    FParentColor = value;
    update();
}

void TQuillSplitter::SetMinSize(int value) {
    if (value < 1)
        throw QuillTPU::RangeError();
    FMinSize = value;
}

bool TQuillSplitter::QueryResize(int& newSize) {
    bool accept = true;
    if (OnCanResize)
        OnCanResize(this, newSize, accept);
    return accept;
}

bool TQuillSplitter::ApproveResize(int& newSize) {
    const bool result = QueryResize(newSize);
    if (result && FAutoSnap && newSize <= FMinSize)
        newSize = 0;
    return result;
}

QWidget* TQuillSplitter::FindSizedControl() const {
    QWidget* parent = parentWidget();
    if (!parent)
        return nullptr;
    QPoint p = pos();
    const TAlign align = Align();
    switch (align) {
    case alLeft:
        p.rx() = CheckedSub(p.x(), 1);
        break;
    case alRight:
        p.rx() = CheckedAdd(p.x(), width());
        break;
    case alTop:
        p.ry() = CheckedSub(p.y(), 1);
        break;
    case alBottom:
        p.ry() = CheckedAdd(p.y(), height());
        break;
    default:
        return nullptr;
    }
    const bool towardsStart = align == alLeft || align == alTop;
    for (QObject* child : parent->children()) {
        auto* w = qobject_cast<QWidget*>(child);
        if (!w || w == this || w == FLine || w->isWindow() || w->isHidden() || !w->isEnabled())
            continue;
        int left = w->x(), top = w->y(), right = w->x() + w->width(), bottom = w->y() + w->height();
        // A control collapsed to 0 is widened by a pixel on the bar's side,
        // so that it can be found and dragged open again.
        if (w->width() == 0)
            towardsStart ? --left : ++right;
        if (w->height() == 0)
            towardsStart ? --top : ++bottom;
        if (p.x() >= left && p.x() < right && p.y() >= top && p.y() < bottom)
            return w;
    }
    return nullptr;
}

void TQuillSplitter::ComputeNewSize(int x, int y, int& newSize, int& split) const {
    split = SizesWidth() ? CheckedSub(x, FDownPos.x()) : CheckedSub(y, FDownPos.y());
    int s = 0;
    switch (Align()) {
    case alLeft:
        s = CheckedAdd(FControl->width(), split);
        break;
    case alRight:
        s = CheckedSub(FControl->width(), split);
        break;
    case alTop:
        s = CheckedAdd(FControl->height(), split);
        break;
    default:
        s = CheckedSub(FControl->height(), split);
        break;
    }
    newSize = s < FMinSize ? FMinSize : s;
    if (newSize != s) {
        // The line stops where the control would have MinSize.
        if (Align() == alRight || Align() == alBottom)
            split = CheckedAdd(split, CheckedSub(s, newSize));
        else
            split = CheckedAdd(split, CheckedSub(newSize, s));
    }
}

void TQuillSplitter::ApplyNewSize() {
    if (FNewSize == FOldSize || !FControl)
        return;
    QWidget* c = FControl;
    switch (Align()) {
    case alLeft:
        c->resize(FNewSize, c->height());
        break;
    case alTop:
        c->resize(c->width(), FNewSize);
        break;
    case alRight: {
        // The far edge stays where it is.
        TAlignSuspension suspended(parentWidget());
        c->move(CheckedAdd(c->x(), CheckedSub(c->width(), FNewSize)), c->y());
        c->resize(FNewSize, c->height());
        break;
    }
    default: {
        TAlignSuspension suspended(parentWidget());
        c->move(c->x(), CheckedAdd(c->y(), CheckedSub(c->height(), FNewSize)));
        c->resize(c->width(), FNewSize);
        break;
    }
    }
    if (auto* panel = qobject_cast<TAlignPanel*>(parentWidget()))
        panel->Realign();
    repaint();
    emit OnMoved();
    FOldSize = FNewSize;
}

void TQuillSplitter::AcquireLine() {
    if (FResizeStyle == rsPattern && FBrush.style() == Qt::NoBrush)
        FBrush = CheckeredBrush();
    auto* line = new LineOverlay(parentWidget(), FResizeStyle == rsPattern ? FBrush : QBrush());
    line->hide();
    FLine = line;
}

void TQuillSplitter::ReleaseLine() {
    delete FLine.data();
    FLine = nullptr;
    FBrush = QBrush();
}

void TQuillSplitter::ToggleTrackLine() {
    FLineVisible = !FLineVisible;
    if (!FLine)
        return;
    if (FLineVisible) {
        const QPoint at = SizesWidth() ? QPoint(CheckedAdd(x(), FSplit), y())
                                       : QPoint(x(), CheckedAdd(y(), FSplit));
        FLine->setGeometry(QRect(at, size()));
        FLine->raise();
        FLine->show();
    } else {
        FLine->hide();
    }
}

void TQuillSplitter::mousePressEvent(QMouseEvent* event) {
    QWidget::mousePressEvent(event);
    if (event->button() != Qt::LeftButton || !parentWidget())
        return;
    FControl = FindSizedControl();
    FDownPos = event->position().toPoint();
    if (!FControl)
        return;
    ComputeNewSize(FDownPos.x(), FDownPos.y(), FNewSize, FSplit);
    AcquireLine();
    if (QWidget* focused = window()->focusWidget()) {
        FActiveControl = focused;
        focused->installEventFilter(this);
    }
    if (FResizeStyle == rsLine || FResizeStyle == rsPattern)
        ToggleTrackLine();
}

void TQuillSplitter::mouseMoveEvent(QMouseEvent* event) {
    QWidget::mouseMoveEvent(event);
    if (!(event->buttons() & Qt::LeftButton) || !FControl)
        return;
    const QPoint at = event->position().toPoint();
    int newSize = 0, split = 0;
    ComputeNewSize(at.x(), at.y(), newSize, split);
    if (!ApproveResize(newSize))
        return;
    const bool line = FResizeStyle == rsLine || FResizeStyle == rsPattern;
    if (line && FLineVisible)
        ToggleTrackLine();
    FNewSize = newSize;
    FSplit = split;
    if (FResizeStyle == rsUpdate)
        ApplyNewSize();
    if (line)
        ToggleTrackLine();
}

void TQuillSplitter::mouseReleaseEvent(QMouseEvent* event) {
    QWidget::mouseReleaseEvent(event);
    if (!FControl)
        return;
    if ((FResizeStyle == rsLine || FResizeStyle == rsPattern) && FLineVisible)
        ToggleTrackLine();
    ApplyNewSize();
    EndSizing();
}

bool TQuillSplitter::eventFilter(QObject* watched, QEvent* event) {
    if (watched == FActiveControl && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        EndSizing();
        return true; // Escape ends the drag and goes no further
    }
    return QWidget::eventFilter(watched, event);
}

void TQuillSplitter::EndSizing() {
    if (FControl) {
        if (FLineVisible)
            ToggleTrackLine();
        FControl = nullptr;
        ReleaseLine();
        if (FActiveControl) {
            FActiveControl->removeEventFilter(this);
            FActiveControl = nullptr;
        }
    }
    emit OnMoved();
}

void TQuillSplitter::KeyboardResize(int step) {
    if (FControl)
        return; // a mouse drag is in progress
    FControl = FindSizedControl();
    if (!FControl)
        return;
    FDownPos = QPoint(0, 0);
    int newSize = 0, split = 0;
    ComputeNewSize(SizesWidth() ? step : 0, SizesWidth() ? 0 : step, newSize, split);
    if (ApproveResize(newSize)) {
        FNewSize = newSize;
        ApplyNewSize();
    }
    FControl = nullptr;
}

void TQuillSplitter::keyPressEvent(QKeyEvent* event) {
    const bool horizontal = SizesWidth();
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Up:
        if (horizontal == (event->key() == Qt::Key_Left))
            return KeyboardResize(-kKeyStep);
        break;
    case Qt::Key_Right:
    case Qt::Key_Down:
        if (horizontal == (event->key() == Qt::Key_Right))
            return KeyboardResize(kKeyStep);
        break;
    default:
        break;
    }
    QWidget::keyPressEvent(event);
}

void TQuillSplitter::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    update();
}

void TQuillSplitter::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    update();
}

void TQuillSplitter::paintEvent(QPaintEvent*) {
    QPainter p(this);
    // With the keyboard focus the bar shows it in the selection colour.
    p.fillRect(rect(), hasFocus() ? palette().color(QPalette::Highlight) : Color());
    if (FBeveled) {
        QRect r = rect();
        if (SizesWidth())
            r.adjust(1, -2, -1, 2);
        else
            r.adjust(-2, 1, 2, -1);
        r.translate(1, 1);
        p.setPen(palette().color(QPalette::Light));
        p.drawRect(r.adjusted(0, 0, -1, -1));
        r.translate(-2, -2);
        p.setPen(palette().color(QPalette::Dark));
        p.drawRect(r.adjusted(0, 0, -1, -1));
    }
    emit OnPaint();
}
