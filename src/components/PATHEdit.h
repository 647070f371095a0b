#pragma once
// TPathEdit: a one-line edit that completes an absolute path while the user
// types. After each typed character it looks in the folder named so far for
// the entry named exactly as the last part typed or, failing that, the first
// whose name begins with it, writes the rest of that name in and selects
// it: the next character replaces the
// suggestion, Enter accepts it (and adds "/" to a folder). Names match
// case-sensitively, as Linux names are: matching "d" to "Documents" would
// complete to a path that does not exist. What completes to what is decided
// in PathRequest.h; this class is the widget around it.
#include <QLineEdit>

#include <cstdint>
#include <set>

enum TAttributesFile { peaReadOnly, peaHidden, peaSysFile, peaDirectory, peaArchive };
using TAttributesFiles = std::set<TAttributesFile>;

class TPathEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TPathEdit(QWidget* parent = nullptr);

    bool Complete() const { return FComplete; }
    void SetComplete(bool value) { FComplete = value; }
    // Which entries may be offered: those sharing an attribute with these.
    const TAttributesFiles& CompleteWith() const { return FCompleteWith; }
    void SetCompleteWith(const TAttributesFiles& value) { FCompleteWith = value; }

    // The attribute word of a set: read-only 0x01, hidden 0x02, system
    // 0x04, folder 0x10, archive 0x20.
    static std::uint32_t AttributesToMask(const TAttributesFiles& attributes);

signals:
    // Every change of the text, typed or set by the program; raised before
    // the completion runs.
    void Changed();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    int FKey = 0;
    bool FComplete = true;
    TAttributesFiles FCompleteWith{peaReadOnly, peaHidden, peaSysFile, peaDirectory, peaArchive};
    bool FCompleting = false;

    void Change();
};
