#include "toolkit/TMemo.h"

TMemo::TMemo(QWidget* parent) : QPlainTextEdit(parent) {
    // Tab moves on to the next control, as in the other edit boxes.
    setTabChangesFocus(true);
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        // QPlainTextEdit also signals format-only changes; pass on real ones.
        QString now = toPlainText();
        if (now == FLastText)
            return;
        FLastText = std::move(now);
        emit Changed();
    });
}

void TMemo::SetText(const QString& text) {
    if (text == toPlainText())
        return;
    setPlainText(text);
}
