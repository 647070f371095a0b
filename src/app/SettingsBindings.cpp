#include "app/SettingsBindings.h"

#include "app/SettingsStore.h"
#include "toolkit/TMemo.h"

#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>

using namespace SettingsStore;

void TSettingsBindings::AddInteger(const char* key, qint32 defaultValue,
                                   std::function<qint32()> get, std::function<void(qint32)> set) {
    FRows.push_back({key, Kind::Integer, defaultValue, [get] { return QVariant(get()); },
                     [set](const QVariant& v) { set(v.toInt()); }});
}

void TSettingsBindings::AddBool(const char* key, bool defaultValue, std::function<bool()> get,
                                std::function<void(bool)> set) {
    FRows.push_back({key, Kind::Bool, defaultValue, [get] { return QVariant(get()); },
                     [set](const QVariant& v) { set(v.toBool()); }});
}

void TSettingsBindings::AddString(const char* key, const QString& defaultValue,
                                  std::function<QString()> get,
                                  std::function<void(const QString&)> set) {
    FRows.push_back({key, Kind::String, defaultValue, [get] { return QVariant(get()); },
                     [set](const QVariant& v) { set(v.toString()); }});
}

void TSettingsBindings::Add(const char* key, QSpinBox* spin, qint32 defaultValue) {
    AddInteger(
        key, defaultValue, [spin] { return spin->value(); },
        [spin](qint32 v) { spin->setValue(v); });
}

void TSettingsBindings::Add(const char* key, QLineEdit* edit, const QString& defaultValue) {
    AddString(
        key, defaultValue, [edit] { return edit->text(); },
        [edit](const QString& v) { edit->setText(v); });
}

void TSettingsBindings::Add(const char* key, TMemo* memo, const QString& defaultValue) {
    AddString(
        key, defaultValue,
        [memo] {
            QString text = memo->Text();
            return text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
        },
        [memo](const QString& v) {
            QString text = v;
            memo->SetText(text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
        });
}

void TSettingsBindings::Add(const char* key, QRadioButton* radio, bool defaultValue) {
    AddBool(
        key, defaultValue, [radio] { return radio->isChecked(); },
        [radio](bool v) {
            if (v)
                radio->setChecked(true);
        });
}

void TSettingsBindings::AddCheck(const char* key, QAbstractButton* check, bool defaultValue) {
    AddBool(
        key, defaultValue, [check] { return check->isChecked(); },
        [check](bool v) { check->setChecked(v); });
}

void TSettingsBindings::Add(const char* key, QTabWidget* pages, qint32 defaultValue) {
    AddInteger(
        key, defaultValue, [pages] { return pages->currentIndex(); },
        [pages](qint32 v) { pages->setCurrentIndex(v); });
}

void TSettingsBindings::Load(const QString& section) const {
    for (const Row& row : FRows) {
        switch (row.Type) {
        case Kind::Integer:
            row.Set(ReadSettingInteger(section, row.Key, row.Default.toInt()));
            break;
        case Kind::Bool:
            row.Set(ReadSettingBool(section, row.Key, row.Default.toBool()));
            break;
        case Kind::String:
            row.Set(ReadSettingString(section, row.Key, row.Default.toString()));
            break;
        }
    }
}

bool TSettingsBindings::Save(const QString& section) const {
    std::vector<TSettingValue> values;
    values.reserve(FRows.size());
    for (const Row& row : FRows)
        values.push_back({row.Key, row.Get()});
    return WriteSettings(section, values);
}
