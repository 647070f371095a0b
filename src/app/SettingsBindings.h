#pragma once
// The saved values of a tab as one list of rows (key, control, default), used
// by both the load at start-up and the save at the end, so every key and its
// default stand once, beside the control they belong to. Loading goes through
// the same paths as the user: a spin box takes the value into its range, a
// radio that becomes checked runs its handler, an edit whose text changes
// runs its change handler.
#include <QString>
#include <QVariant>

#include <functional>
#include <vector>

class QAbstractButton;
class QLineEdit;
class QRadioButton;
class QSpinBox;
class QTabWidget;
class TMemo;

class TSettingsBindings {
public:
    enum class Kind { Integer, Bool, String };
    struct Row {
        QString Key;
        Kind Type;
        QVariant Default;
        std::function<QVariant()> Get;
        std::function<void(const QVariant&)> Set;
    };

    void Add(const char* key, QSpinBox* spin, qint32 defaultValue);
    void Add(const char* key, QLineEdit* edit, const QString& defaultValue);
    // The memo shows "\n"; the stored text has CR LF line breaks.
    void Add(const char* key, TMemo* memo, const QString& defaultValue);
    // A radio of an exclusive group: a stored true checks it; a false leaves
    // it, since checking another radio of the group unchecks it.
    void Add(const char* key, QRadioButton* radio, bool defaultValue);
    // A check box (not a radio): set to the stored state either way.
    void AddCheck(const char* key, QAbstractButton* check, bool defaultValue);
    void Add(const char* key, QTabWidget* pages, qint32 defaultValue);
    // Rows whose control needs more than the plain state.
    void AddInteger(const char* key, qint32 defaultValue, std::function<qint32()> get,
                    std::function<void(qint32)> set);
    void AddBool(const char* key, bool defaultValue, std::function<bool()> get,
                 std::function<void(bool)> set);
    void AddString(const char* key, const QString& defaultValue, std::function<QString()> get,
                   std::function<void(const QString&)> set);

    // Reads every row in order and puts it into its control.
    void Load(const QString& section) const;
    // Writes every row in one write; false when the write failed.
    bool Save(const QString& section) const;

    const std::vector<Row>& Rows() const { return FRows; }

private:
    std::vector<Row> FRows;
};
