#pragma once
// A spin box whose value is its text read as a decimal integer (the minimum
// when the text is not a number). The value is always brought into range: when
// the program sets it and when the box loses the keyboard focus; its arrows
// move it by the step.
#include <QSpinBox>

class TSpinEdit : public QSpinBox {
    Q_OBJECT
public:
    explicit TSpinEdit(QWidget* parent = nullptr);

    // The number the text stands for, before it is brought into range.
    static qint64 TextToNumber(const QString& text, int minimum);
    // Limits how many characters the user can type (0: no limit).
    void SetMaxLength(int length);

protected:
    QValidator::State validate(QString& input, int& pos) const override;
    int valueFromText(const QString& text) const override;
    QString textFromValue(int value) const override;
    void fixup(QString& input) const override;
    void focusOutEvent(QFocusEvent* event) override;
};
