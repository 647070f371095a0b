#pragma once
// The drive chooser: one entry per lettered drive of the drive table, in
// letter order, "x: label  mount point". Its selection is a volume (its
// identity in the mount table), not a letter: re-reading the table keeps
// the same volume chosen whatever letters do. A chosen volume that went
// away stays shown until the user opens the list; the selection then moves
// to the current folder's drive. The list is read afresh whenever the user
// opens it, so a volume mounted while the program runs can be chosen.
#include "platform/DriveTable.h"

#include <QComboBox>

#include <optional>
#include <vector>

class TDriveComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit TDriveComboBox(QWidget* parent = nullptr);

    // The chosen drive's letter, lower case; 0 when no drive is chosen (the
    // current folder lies on no drive, or the table is empty).
    char Value() const;
    // The chosen volume as it was listed; nullopt when none is chosen.
    std::optional<Platform::Drive> Volume() const;
    // Chooses the drive that has this letter (either case) now; the table is
    // read afresh first. False when there is no such drive; the selection
    // then stays on its volume.
    bool SetValue(char letter);

    // Re-reads the drive table. The chosen volume stays chosen while it is
    // mounted, even if its letter moved; one that went away stays shown.
    void Refresh();

    void showPopup() override;

signals:
    // Every change of the chosen drive, and once when the chooser is first
    // shown, so a label that depends on it is filled without any action.
    void Changed(char letter);

protected:
    void showEvent(QShowEvent* event) override;

private:
    // listOpening: the user is about to see the list, so a volume that went
    // away gives way to the current folder's drive.
    void Fill(bool listOpening);
    void NoteSelection();
    void RememberChosenMount();
    void ShowEntryInFull();

    std::vector<Platform::Drive> FDrives; // one per entry
    // What was last announced: a change is a new letter or a new volume.
    char FLetter = 0;
    std::optional<Platform::VolumeId> FVolume;
    QString FCaption; // the name a label gave the box
    QString FShownName;
    bool FGoneShown = false; // the last entry is a volume that went away
    bool FShown = false;
    bool FFilling = false;
};
