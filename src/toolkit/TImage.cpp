#include "toolkit/TImage.h"

#include <QMouseEvent>

#include <utility>

TImage::TImage(QWidget* parent) : QLabel(parent) {
    setCursor(Qt::PointingHandCursor);
    setAlignment(Qt::AlignCenter);
}

void TImage::SetDrawing(std::function<QPixmap(qreal pixelRatio)> draw) {
    draw_ = std::move(draw);
    Redraw();
}

void TImage::Redraw() {
    if (!draw_)
        return;
    drawnRatio_ = devicePixelRatioF();
    setPixmap(draw_(drawnRatio_));
}

void TImage::paintEvent(QPaintEvent* event) {
    // The ratio is only sure once the widget is on its screen; checking here
    // catches both the first showing and a move to another screen.
    if (draw_ && !qFuzzyCompare(drawnRatio_, devicePixelRatioF()))
        Redraw();
    QLabel::paintEvent(event);
}

void TImage::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit Clicked();
}
