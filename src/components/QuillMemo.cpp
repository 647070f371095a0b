#include "components/QuillMemo.h"

#include "util/Checks.h"

#include <QClipboard>
#include <QCollator>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <algorithm>

TQuillMemo::TQuillMemo(QWidget* parent) : TMemo(parent) {}

void TQuillMemo::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers mods =
        event->modifiers() &
        (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    // Control+A with any other modifier too (Control+Shift+A would otherwise
    // do nothing).
    if (event->key() == Qt::Key_A && (mods & Qt::ControlModifier)) {
        selectAll();
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Insert) {
        if (mods == Qt::NoModifier) {
            InsertOn = !InsertOn;
        } else if (mods == Qt::ShiftModifier) {
            // Not every key scheme binds these; they paste and copy everywhere.
            paste();
            event->accept();
            return;
        } else if (mods == Qt::ControlModifier) {
            copy();
            event->accept();
            return;
        }
    }
    if (!InsertOn)
        PrepareOverwrite(event);
    TMemo::keyPressEvent(event);
}

void TQuillMemo::PrepareOverwrite(const QKeyEvent* event) {
    if (isReadOnly())
        return;
    const int key = event->key();
    const bool typed = key == Qt::Key_Backspace || key == Qt::Key_Return || key == Qt::Key_Enter ||
                       (!event->text().isEmpty() && event->text().at(0).isPrint() &&
                        !(event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier)));
    if (!typed)
        return;
    QTextCursor cursor = textCursor();
    // At the end of a line the typed character goes in before the line break
    // rather than joining the line with the next, as at the end of the text.
    if (cursor.hasSelection() || cursor.atBlockEnd())
        return;
    cursor.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor);
    setTextCursor(cursor);
}

void TQuillMemo::SelectLine(int line) {
    const QTextBlock block = document()->findBlockByNumber(line);
    if (!block.isValid())
        return;
    QTextCursor cursor(block);
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    setTextCursor(cursor);
}

void TQuillMemo::SelectCurrentLine() {
    SelectLine(document()->findBlock(textCursor().selectionStart()).blockNumber());
}

void TQuillMemo::SetMargins(int leftMargin, int rightMargin, int topBottomMargin) {
    const QRect client = contentsRect();
    const int left = CheckedAdd(client.left(), leftMargin);
    const int right = CheckedSub(client.left() + client.width(), rightMargin);
    const int top = CheckedAdd(client.top(), topBottomMargin);
    const int bottom = CheckedSub(client.top() + client.height(), topBottomMargin);
    setViewportMargins(left - client.left(), top - client.top(),
                       client.left() + client.width() - right,
                       client.top() + client.height() - bottom);
}

void TQuillMemo::SortLines() {
    QString text = Text();
    if (text.isEmpty())
        return;
    // A final line break ends the last line; it is no empty line to sort.
    const bool finalBreak = text.endsWith(QLatin1Char('\n'));
    if (finalBreak)
        text.chop(1);
    QStringList lines = text.split(QLatin1Char('\n'));
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::sort(lines.begin(), lines.end(),
              [&](const QString& a, const QString& b) { return collator.compare(a, b) < 0; });
    SetText(lines.join(QLatin1Char('\n')) + (finalBreak ? QStringLiteral("\n") : QString()));
}

void TQuillMemo::ScrollAtEnd() {
    verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMaximum);
}

void TQuillMemo::CopyToClipboardAll() {
    selectAll();
    copy();
    moveCursor(QTextCursor::Start);
}
