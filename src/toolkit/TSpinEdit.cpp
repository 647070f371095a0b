#include "toolkit/TSpinEdit.h"

#include <QLineEdit>
#include <QLocale>

#include <algorithm>

TSpinEdit::TSpinEdit(QWidget* parent) : QSpinBox(parent) {
    // Plain digits: what is typed is what is read.
    setLocale(QLocale::c());
    setGroupSeparatorShown(false);
    setKeyboardTracking(true);
}

qint64 TSpinEdit::TextToNumber(const QString& text, int minimum) {
    bool ok = false;
    const qint64 number = text.trimmed().toLongLong(&ok, 10);
    return ok ? number : minimum;
}

void TSpinEdit::SetMaxLength(int length) {
    lineEdit()->setMaxLength(length > 0 ? length : 32767);
}

QValidator::State TSpinEdit::validate(QString& input, int&) const {
    // Any text of digits (with a sign) may stand while the user types; it is
    // brought into range when the box gives up the focus.
    const QString t = input.trimmed();
    if (t.isEmpty() || t == "-" || t == "+")
        return QValidator::Intermediate;
    bool ok = false;
    const qint64 number = t.toLongLong(&ok, 10);
    if (!ok)
        return QValidator::Invalid;
    return number >= minimum() && number <= maximum() ? QValidator::Acceptable
                                                      : QValidator::Intermediate;
}

int TSpinEdit::valueFromText(const QString& text) const {
    const qint64 number = TextToNumber(text, minimum());
    return static_cast<int>(std::clamp<qint64>(number, minimum(), maximum()));
}

QString TSpinEdit::textFromValue(int value) const {
    return QString::number(value);
}

void TSpinEdit::fixup(QString& input) const {
    input = QString::number(valueFromText(input));
}

void TSpinEdit::focusOutEvent(QFocusEvent* event) {
    // Not a number, or out of range: the box takes the value the text stands
    // for, brought into range, instead of falling back to the last one.
    const int wanted = valueFromText(lineEdit()->text());
    QSpinBox::focusOutEvent(event);
    if (value() != wanted || text() != QString::number(wanted))
        setValue(wanted);
    if (lineEdit()->text() != QString::number(value()))
        lineEdit()->setText(QString::number(value()));
}
