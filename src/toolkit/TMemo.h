#pragma once
// A multi-line edit that, like the other edits, announces a change only when
// its text really changes, also when the program sets the text.
#include <QPlainTextEdit>

class TMemo : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit TMemo(QWidget* parent = nullptr);

    // The text as typed, lines separated by "\n".
    QString Text() const;
    // Replaces the text; emits Changed only when it differs.
    void SetText(const QString& text);

signals:
    // Every change of the text, typed, pasted or set by the program.
    void Changed();

private:
    QString FLastText;
};
