#pragma once
// The user's settings between two runs of the program. Typed reads with a
// default and typed writes on a key of the user's settings, plus wrappers
// that place every value under the program's own key "Software\QMK\<section>".
//
// A key path names an organisation and an application after "Software\":
// "Software\QMK\FerVan" is QSettings(NativeFormat, UserScope, "QMK", "FerVan"),
// the registry key of that name on Windows and ~/.config/QMK/FerVan.conf here.
// Integers are signed 32-bit numbers, booleans the numbers 1 and 0. A value
// of another type than the read asks for counts as missing: the read returns
// its default and nothing else is affected.
#include <QString>
#include <QVariant>

#include <vector>

namespace SettingsStore {

enum class RegRoot { CurrentUser };

QString RegReadString(RegRoot root, const QString& keyPath, const QString& name,
                      const QString& defaultValue);
qint32 RegReadInteger(RegRoot root, const QString& keyPath, const QString& name,
                      qint32 defaultValue);
bool RegReadBool(RegRoot root, const QString& keyPath, const QString& name, bool defaultValue);

// True when the value was written. QSettings always replaces its file as a
// whole (write to a temporary file, then rename), so the lazy-write flag
// changes nothing here; it is kept for the callers' sake.
bool RegWriteString(RegRoot root, const QString& keyPath, const QString& name, bool lazyWrite,
                    const QString& value);
bool RegWriteInteger(RegRoot root, const QString& keyPath, const QString& name, bool lazyWrite,
                     qint32 value);
bool RegWriteBool(RegRoot root, const QString& keyPath, const QString& name, bool lazyWrite,
                  bool value);

// The program's section.
inline constexpr const char* kSection = "FerVan";

QString KeyPathOf(const QString& section);

QString ReadSettingString(const QString& section, const QString& name, const QString& defaultValue);
qint32 ReadSettingInteger(const QString& section, const QString& name, qint32 defaultValue);
bool ReadSettingBool(const QString& section, const QString& name, bool defaultValue);
void WriteSettingString(const QString& section, const QString& name, const QString& value);
void WriteSettingInteger(const QString& section, const QString& name, qint32 value);
void WriteSettingBool(const QString& section, const QString& name, bool value);

// One value of a batch write: a qint32, a bool (stored as 1 or 0) or a QString.
struct TSettingValue {
    QString Name;
    QVariant Value;
};
// Writes all values under the program's key in one write of the store (not
// one per value). False when the store could not be written; the caller
// reports it, since a lost save must never be silent.
bool WriteSettings(const QString& section, const std::vector<TSettingValue>& values);

// Where the values of a key path live (the settings file here), for the user's
// information and for tests; empty when the key path names no key.
QString StorageLocation(RegRoot root, const QString& keyPath);

} // namespace SettingsStore
