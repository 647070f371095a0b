#include "app/Logo.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

QPixmap DrawQuillmarkLogo(int size, qreal pixelRatio) {
    if (!(pixelRatio > 0))
        pixelRatio = 1.0;
    const int device = qRound(size * pixelRatio);
    QPixmap pixmap(device, device);
    pixmap.setDevicePixelRatio(pixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    // The painter works in logical pixels of the pixmap.
    p.scale(size / 256.0, size / 256.0);

    // Round badge.
    QLinearGradient badge(0, 0, 256, 256);
    badge.setColorAt(0, QColor(38, 92, 160));
    badge.setColorAt(1, QColor(16, 44, 88));
    p.setPen(Qt::NoPen);
    p.setBrush(badge);
    p.drawRoundedRect(QRectF(8, 8, 240, 240), 48, 48);

    // Three stacked plates: the files the tools write.
    for (int i = 0; i < 3; ++i) {
        const qreal y = 150 + i * 26;
        p.setBrush(QColor(255, 255, 255, 90 + i * 60));
        p.drawRoundedRect(QRectF(58, y, 140, 18), 9, 9);
    }

    // The vane: a quill-shaped arrow on a mast.
    p.setBrush(QColor(250, 196, 60));
    p.drawRect(QRectF(124, 56, 8, 90));
    QPainterPath vane;
    vane.moveTo(60, 70);
    vane.cubicTo(100, 40, 160, 40, 200, 62);
    vane.lineTo(176, 74);
    vane.cubicTo(150, 66, 110, 68, 84, 84);
    vane.closeSubpath();
    p.drawPath(vane);
    p.setBrush(QColor(255, 255, 255));
    p.drawEllipse(QPointF(128, 56), 9, 9);
    return pixmap;
}

QIcon QuillmarkIcon() {
    QIcon drawn;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        drawn.addPixmap(DrawQuillmarkLogo(size));
    return QIcon::fromTheme(QString::fromLatin1(kDesktopId), drawn);
}
