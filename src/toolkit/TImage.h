#pragma once
// A picture that can be clicked (the logos): a hand cursor and a Clicked
// signal on a left click. A picture drawn by code is drawn again whenever the
// widget's device pixel ratio changes (a high-density screen, the window
// moved to another screen), so it is never a blown-up small picture.
#include <QLabel>

#include <functional>

class TImage : public QLabel {
    Q_OBJECT
public:
    explicit TImage(QWidget* parent = nullptr);

    // Draws the picture now with draw(devicePixelRatio) and again on a
    // change of the ratio.
    void SetDrawing(std::function<QPixmap(qreal pixelRatio)> draw);

signals:
    void Clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void Redraw();

    std::function<QPixmap(qreal)> draw_;
    qreal drawnRatio_ = 0;
};
