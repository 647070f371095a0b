#pragma once
// TQuillSplitter: a thin bar that the user drags with the left button to
// size the neighbouring control on its aligned side. The size is bounded
// only from below (MinSize); with AutoSnap a size at or below MinSize
// collapses the control to 0, and a collapsed control can still be dragged
// open again. During a drag Escape in the focused control cancels it.
//
// The bar aligns itself in a TAlignPanel like its neighbours; the tracking
// line is a short-lived child of the parent drawn above all its children,
// so removing it leaves no trace.
//
// So that the bar can be used without a mouse, Tab reaches it (a click does
// not take the focus from the control that has it) and the arrow keys of
// its axis move it by kKeyStep pixels, as a drag of that length would.
#include "toolkit/AlignPanel.h"

#include <QBrush>
#include <QColor>
#include <QPointer>
#include <QWidget>

#include <functional>

enum TResizeStyle { rsNone, rsLine, rsUpdate, rsPattern };

class TQuillSplitter : public QWidget {
    Q_OBJECT
public:
    explicit TQuillSplitter(QWidget* parent = nullptr);
    // Gives back the line and the borrowed key handling of a drag cut short.
    ~TQuillSplitter() override;

    TAlign Align() const { return AlignOf(this); }
    // Also picks the split cursor that fits, unless a custom one was set.
    void SetAlign(TAlign value);
    bool AutoSnap() const { return FAutoSnap; }
    void SetAutoSnap(bool value) { FAutoSnap = value; }
    bool Beveled() const { return FBeveled; }
    void SetBeveled(bool value);
    // The fill colour: the parent's while ParentColor is on.
    QColor Color() const;
    void SetColor(const QColor& value);
    bool ParentColor() const { return FParentColor; }
    void SetParentColor(bool value);
    int MinSize() const { return FMinSize; }
    // 1 .. 2147483647; anything else raises a range error.
    void SetMinSize(int value);
    TResizeStyle ResizeStyle() const { return FResizeStyle; }
    void SetResizeStyle(TResizeStyle value) { FResizeStyle = value; }

    // Asked before each size change of a drag: may change newSize or refuse
    // by clearing accept (true on entry).
    std::function<void(TQuillSplitter* sender, int& newSize, bool& accept)> OnCanResize;

    static constexpr int kKeyStep = 8;

    // The control a press would size now, or none.
    QWidget* FindSizedControl() const;
    // Dragging: the control being sized, or none.
    QWidget* SizedControl() const { return FControl; }
    // The tracking line while it is shown, or none.
    QWidget* TrackLine() const { return FLineVisible ? FLine.data() : nullptr; }

signals:
    // After a size change, and at the end of every drag.
    void OnMoved();
    // After the bar painted itself.
    void OnPaint();

protected:
    virtual bool QueryResize(int& newSize);
    virtual bool ApproveResize(int& newSize);
    // Ends a drag (without applying a size) and tells OnMoved.
    virtual void EndSizing();

    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> FActiveControl;
    bool FAutoSnap = true;
    bool FBeveled = false;
    QBrush FBrush;
    QColor FColor;
    QPointer<QWidget> FControl;
    QPoint FDownPos;
    QPointer<QWidget> FLine; // stands for the drawing context on the parent
    bool FLineVisible = false;
    int FMinSize = 1;
    int FNewSize = 0;
    int FOldSize = -1;
    bool FParentColor = true;
    TResizeStyle FResizeStyle = rsPattern;
    int FSplit = 0;

    bool SizesWidth() const;
    void KeyboardResize(int step);
    void ComputeNewSize(int x, int y, int& newSize, int& split) const;
    void ApplyNewSize();
    void ToggleTrackLine();
    void AcquireLine();
    void ReleaseLine();
};
