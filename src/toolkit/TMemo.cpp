#include "toolkit/TMemo.h"

#include <QTextDocument>

TMemo::TMemo(QWidget* parent) : QPlainTextEdit(parent) {
    // Tab moves on to the next control, as in the other edit boxes.
    setTabChangesFocus(true);
    // The text area inside would report the focus along with the memo, a
    // second, nameless object for a screen reader; a click in it still
    // focuses the memo, its nearest parent that takes the focus.
    viewport()->setFocusProxy(nullptr);
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        // QPlainTextEdit also signals format-only changes; pass on real ones.
        QString now = Text();
        if (now == FLastText)
            return;
        FLastText = std::move(now);
        emit Changed();
    });
}

QString TMemo::Text() const {
    // toPlainText() would also turn a no-break space into a plain one.
    QString text = document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    return text;
}

void TMemo::SetText(const QString& text) {
    if (text == Text())
        return;
    setPlainText(text);
}
