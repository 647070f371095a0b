#pragma once
// Window-system helpers of QuillTPU that need the widget toolkit.
class QWidget;

namespace QuillTPU {

// Asks for flicker-free painting for a window and every windowed control in
// it (not labels, pictures or separator lines). Qt paints every widget through
// the window's off-screen backing store, so nothing flickers either way; the
// request is kept on each control as the "doubleBuffered" property.
void SetDoubleBufferedAll(QWidget* control, bool value);
// Whether the control is one that SetDoubleBufferedAll treats.
bool IsWindowedControl(const QWidget* control);

} // namespace QuillTPU
