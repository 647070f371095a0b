#include "toolkit/SystemHelpers.h"

#include <QFrame>
#include <QLabel>
#include <QWidget>

namespace QuillTPU {

bool IsWindowedControl(const QWidget* control) {
    if (!control || qobject_cast<const QLabel*>(control))
        return false;
    if (const auto* frame = qobject_cast<const QFrame*>(control)) {
        const auto shape = frame->frameShape();
        if (shape == QFrame::HLine || shape == QFrame::VLine)
            return false;
    }
    return true;
}

void SetDoubleBufferedAll(QWidget* control, bool value) {
    if (!control)
        return;
    if (IsWindowedControl(control))
        control->setProperty("doubleBuffered", value);
    // Everything the window holds, however deeply nested.
    const auto owned = control->findChildren<QWidget*>();
    for (QWidget* child : owned) {
        if (IsWindowedControl(child))
            child->setProperty("doubleBuffered", value);
    }
}

} // namespace QuillTPU
