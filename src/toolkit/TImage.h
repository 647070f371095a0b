#pragma once
// A picture that can be clicked (the logos): a hand cursor and a Clicked
// signal on a left click.
#include <QLabel>

class TImage : public QLabel {
    Q_OBJECT
public:
    explicit TImage(QWidget* parent = nullptr);

signals:
    void Clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};
