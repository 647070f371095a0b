#include "app/FormBuilders.h"

#include "toolkit/TDriveComboBox.h"
#include "util/Drives.h"
#include "util/Format.h"

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

namespace {

// A panel at least its designed height and never shorter than its rows need
// (a fixed minimum would let a larger font or a short screen squeeze the rows
// over each other).
class TPanel final : public QFrame {
public:
    TPanel(QWidget* parent, int height) : QFrame(parent), designedHeight_(height) {}
    QSize minimumSizeHint() const override {
        return QFrame::minimumSizeHint().expandedTo(QSize(0, designedHeight_));
    }
    QSize sizeHint() const override {
        return QFrame::sizeHint().expandedTo(QSize(0, designedHeight_));
    }

private:
    int designedHeight_;
};

} // namespace

QFrame* NewPanel(QWidget* parent, const char* name, int height) {
    auto* panel = new TPanel(parent, height);
    panel->setObjectName(name);
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

// What a screen reader calls the free-space label, before its figure.
constexpr const char* kFreeSpaceName = "Free space";

QLabel* NewFreeSpaceLabel(QWidget* parent, const char* name) {
    QLabel* label = NewLabel(parent, name, "-");
    label->setAccessibleName(QString::fromLatin1(kFreeSpaceName));
    return label;
}

void ShowFreeSpace(const TDriveComboBox& chooser, QLabel& label) {
    const auto drive = chooser.Volume();
    const std::int64_t free = drive ? QuillTPU::VolumeFreeSpace(*drive) : 0;
    label.setText(QString::fromStdString(QuillTPU::FormatReal(free / 1073741824.0L, 2)) +
                  QStringLiteral("GB free"));
    label.setAccessibleName(QString::fromLatin1(kFreeSpaceName) + QStringLiteral(": ") +
                            label.text());
}

std::optional<Platform::ChosenDrive> ChosenDriveOf(const TDriveComboBox& chooser) {
    auto drive = chooser.Volume();
    if (!drive)
        return std::nullopt;
    return Platform::ChosenDrive{std::move(*drive), Platform::CurrentFolder()};
}

} // namespace FormBuilders
