#pragma once
// A panel that places its children by their alignment, one after the other
// in the order they were added: a top-aligned child takes the top strip
// left over at its turn, bottom, left and right likewise, and a client-
// aligned child fills what remains. A child keeps its own width (left,
// right) or height (top, bottom); the other extent is stretched.
//
// Unlike a Qt layout this imposes no size on the children and none on the
// panel: a child may be made wider than the panel and simply pushes the
// children after it out of view, which is what a splitter bar relies on.
#include <QWidget>

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

// The alignment of any widget (alNone when never set). Setting it asks an
// aligning parent to place its children again.
TAlign AlignOf(const QWidget* widget);
void SetAlignOf(QWidget* widget, TAlign align);

class TAlignPanel : public QWidget {
    Q_OBJECT
public:
    explicit TAlignPanel(QWidget* parent = nullptr);

    // Places the children now (does nothing while alignment is suspended).
    void Realign();
    // Suspends alignment while a child is moved and sized in steps; nested.
    void DisableAlign() { ++FDisabled; }
    void EnableAlign();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    int FDisabled = 0;
    bool FAligning = false;
};

// Keeps a panel's alignment suspended for a scope, also when an error is
// raised inside it.
class TAlignSuspension {
public:
    explicit TAlignSuspension(QWidget* parent);
    ~TAlignSuspension();
    TAlignSuspension(const TAlignSuspension&) = delete;
    TAlignSuspension& operator=(const TAlignSuspension&) = delete;

private:
    TAlignPanel* FPanel;
};
