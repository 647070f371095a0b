#pragma once
// Small builders for the window's controls, shared by every tab: each gives
// the control its object name and the accessible name a screen reader reads.
#include "platform/DriveWork.h"

#include <QString>

#include <optional>

class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QWidget;
class TDriveComboBox;

namespace FormBuilders {

// Hints are written with the design's "\r\n" and "\r" line breaks.
QString Hint(const char* text);

QLabel* NewLabel(QWidget* parent, const char* name, const char* caption, bool bold = false);
QPushButton* NewButton(QWidget* parent, const char* name, const char* caption);
QRadioButton* NewRadio(QWidget* parent, const char* name, const char* caption);
QGroupBox* NewGroup(QWidget* parent, const char* name, const char* caption);
QFrame* NewPanel(QWidget* parent, const char* name, int height);

// Gives a box the label that names it: the label's text (without its colon)
// becomes the box's accessible name and the label's mnemonic focuses it.
void Name(QLabel* label, QWidget* box);

// The drive tabs' free-space label beside their chooser, "-" until a drive
// is shown; ShowFreeSpace fills it for the chooser's volume, "12.34GB free",
// with the figure in its accessible name too.
QLabel* NewFreeSpaceLabel(QWidget* parent, const char* name);
void ShowFreeSpace(const TDriveComboBox& chooser, QLabel& label);
// The chooser's volume as a run takes it; the window's user folder is the
// process's current folder.
std::optional<Platform::ChosenDrive> ChosenDriveOf(const TDriveComboBox& chooser);

} // namespace FormBuilders
