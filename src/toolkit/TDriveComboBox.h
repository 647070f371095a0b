#pragma once
// The drive chooser: one entry per drive of the drive table, in letter
// order, "x: label  mount point". Its value is the drive's letter in lower
// case. The list is read afresh whenever the user opens it, so a volume
// mounted while the program runs can be chosen.
#include <QComboBox>

class TDriveComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit TDriveComboBox(QWidget* parent = nullptr);

    // The chosen drive's letter, lower case; 0 when no drive is chosen (the
    // current folder lies on no drive, or the table is empty).
    char Value() const;
    // Chooses the drive that has this letter (either case) now; the table is
    // read afresh first. False when there is no such drive; the selection
    // then stays on its volume.
    bool SetValue(char letter);

    // Re-reads the drive table. The chosen volume stays chosen when it is
    // still mounted, even if its letter moved.
    void Refresh();

    void showPopup() override;

signals:
    // Every change of the chosen drive, and once when the chooser is first
    // shown, so a label that depends on it is filled without any action.
    void Changed(char letter);

protected:
    void showEvent(QShowEvent* event) override;

private:
    // The mount point of entry `index`; empty for none.
    QString MountPointAt(int index) const;
    void NoteSelection();

    // What was last announced: a change is a new letter or a new volume.
    char FLetter = 0;
    QString FMountPoint;
    bool FShown = false;
    bool FFilling = false;
};
