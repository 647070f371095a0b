#include "app/FormBuilders.h"

#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

namespace FormBuilders {

QString Hint(const char* text) {
    QString hint = QString::fromUtf8(text);
    hint.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    hint.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return hint;
}

QLabel* NewLabel(QWidget* parent, const char* name, const char* caption, bool bold) {
    auto* label = new QLabel(QString::fromUtf8(caption), parent);
    label->setObjectName(name);
    if (bold) {
        QFont f = label->font();
        f.setBold(true);
        label->setFont(f);
    }
    return label;
}

QPushButton* NewButton(QWidget* parent, const char* name, const char* caption) {
    auto* button = new QPushButton(QString::fromUtf8(caption), parent);
    button->setObjectName(name);
    button->setAccessibleName(button->text());
    return button;
}

QRadioButton* NewRadio(QWidget* parent, const char* name, const char* caption) {
    auto* radio = new QRadioButton(QString::fromUtf8(caption), parent);
    radio->setObjectName(name);
    radio->setAccessibleName(radio->text());
    return radio;
}

QGroupBox* NewGroup(QWidget* parent, const char* name, const char* caption) {
    auto* group = new QGroupBox(QString::fromUtf8(caption), parent);
    group->setObjectName(name);
    group->setAccessibleName(group->title());
    return group;
}

QFrame* NewPanel(QWidget* parent, const char* name, int height) {
    auto* panel = new QFrame(parent);
    panel->setObjectName(name);
    panel->setMinimumHeight(height);
    return panel;
}

void Name(QLabel* label, QWidget* box) {
    label->setBuddy(box);
    QString name = label->text();
    name.remove(QLatin1Char('&'));
    if (name.endsWith(QLatin1Char(':')))
        name.chop(1);
    box->setAccessibleName(name.trimmed());
}

} // namespace FormBuilders
