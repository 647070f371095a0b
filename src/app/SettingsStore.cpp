#include "app/SettingsStore.h"

#include <QSettings>
#include <QStringList>

#include <limits>
#include <memory>
#include <optional>

namespace SettingsStore {

namespace {

// "Software\Org\App[\More]" -> the settings of (Org, App[/More]); nothing when
// the path names no application key.
std::unique_ptr<QSettings> OpenKey(RegRoot root, const QString& keyPath) {
    if (root != RegRoot::CurrentUser)
        return nullptr;
    QStringList parts = keyPath.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    if (parts.size() < 3 || parts.front().compare("Software", Qt::CaseInsensitive) != 0)
        return nullptr;
    const QString organisation = parts.at(1);
    const QString application = parts.mid(2).join(QLatin1Char('/'));
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, organisation,
                                       application);
}

// A value name is one entry, never a group path.
bool ValidName(const QString& name) {
    return !name.isEmpty() && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\'));
}

std::optional<QVariant> ReadRaw(RegRoot root, const QString& keyPath, const QString& name) {
    if (!ValidName(name))
        return std::nullopt;
    const auto settings = OpenKey(root, keyPath);
    if (!settings || settings->status() != QSettings::NoError || !settings->contains(name))
        return std::nullopt;
    return settings->value(name);
}

// A whole decimal number in the signed 32-bit range, or nothing.
std::optional<qint32> AsInteger(const QVariant& value) {
    bool ok = false;
    qint64 number = 0;
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        number = value.toLongLong(&ok);
        break;
    case QMetaType::QString:
        number = value.toString().trimmed().toLongLong(&ok, 10);
        break;
    default:
        return std::nullopt;
    }
    if (!ok || number < std::numeric_limits<qint32>::min() ||
        number > std::numeric_limits<qint32>::max())
        return std::nullopt;
    return static_cast<qint32>(number);
}

bool WriteRaw(RegRoot root, const QString& keyPath, const QString& name, const QVariant& value) {
    if (!ValidName(name))
        return false;
    const auto settings = OpenKey(root, keyPath);
    if (!settings || !settings->isWritable())
        return false;
    settings->setValue(name, value);
    settings->sync();
    return settings->status() == QSettings::NoError;
}

} // namespace

QString RegReadString(RegRoot root, const QString& keyPath, const QString& name,
                      const QString& defaultValue) {
    const auto value = ReadRaw(root, keyPath, name);
    // A list (an unquoted text with commas, typed into the file by hand) or
    // any other type is not a string value.
    if (!value || value->typeId() != QMetaType::QString)
        return defaultValue;
    return value->toString();
}

qint32 RegReadInteger(RegRoot root, const QString& keyPath, const QString& name,
                      qint32 defaultValue) {
    const auto value = ReadRaw(root, keyPath, name);
    if (!value)
        return defaultValue;
    return AsInteger(*value).value_or(defaultValue);
}

bool RegReadBool(RegRoot root, const QString& keyPath, const QString& name, bool defaultValue) {
    const auto value = ReadRaw(root, keyPath, name);
    if (!value)
        return defaultValue;
    const auto number = AsInteger(*value);
    return number ? *number != 0 : defaultValue;
}

bool RegWriteString(RegRoot root, const QString& keyPath, const QString& name, bool,
                    const QString& value) {
    return WriteRaw(root, keyPath, name, value);
}

bool RegWriteInteger(RegRoot root, const QString& keyPath, const QString& name, bool,
                     qint32 value) {
    return WriteRaw(root, keyPath, name, value);
}

bool RegWriteBool(RegRoot root, const QString& keyPath, const QString& name, bool, bool value) {
    return WriteRaw(root, keyPath, name, value ? 1 : 0);
}

QString KeyPathOf(const QString& section) {
    return QStringLiteral("Software\\QMK\\") + section;
}

QString ReadSettingString(const QString& section, const QString& name,
                          const QString& defaultValue) {
    return RegReadString(RegRoot::CurrentUser, KeyPathOf(section), name, defaultValue);
}

qint32 ReadSettingInteger(const QString& section, const QString& name, qint32 defaultValue) {
    return RegReadInteger(RegRoot::CurrentUser, KeyPathOf(section), name, defaultValue);
}

bool ReadSettingBool(const QString& section, const QString& name, bool defaultValue) {
    return RegReadBool(RegRoot::CurrentUser, KeyPathOf(section), name, defaultValue);
}

void WriteSettingString(const QString& section, const QString& name, const QString& value) {
    RegWriteString(RegRoot::CurrentUser, KeyPathOf(section), name, true, value);
}

void WriteSettingInteger(const QString& section, const QString& name, qint32 value) {
    RegWriteInteger(RegRoot::CurrentUser, KeyPathOf(section), name, true, value);
}

void WriteSettingBool(const QString& section, const QString& name, bool value) {
    RegWriteBool(RegRoot::CurrentUser, KeyPathOf(section), name, true, value);
}

bool WriteSettings(const QString& section, const std::vector<TSettingValue>& values) {
    const auto settings = OpenKey(RegRoot::CurrentUser, KeyPathOf(section));
    if (!settings || !settings->isWritable())
        return false;
    for (const TSettingValue& v : values) {
        if (!ValidName(v.Name))
            return false;
        settings->setValue(v.Name, v.Value.typeId() == QMetaType::Bool
                                       ? QVariant(v.Value.toBool() ? 1 : 0)
                                       : v.Value);
    }
    settings->sync();
    return settings->status() == QSettings::NoError;
}

QString StorageLocation(RegRoot root, const QString& keyPath) {
    const auto settings = OpenKey(root, keyPath);
    return settings ? settings->fileName() : QString();
}

} // namespace SettingsStore
