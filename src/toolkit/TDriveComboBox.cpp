#include "toolkit/TDriveComboBox.h"

#include <QAbstractItemView>
#include <QShowEvent>

#include <algorithm>
#include <cctype>

namespace {

char LowerLetter(char letter) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(letter)));
}

// "c: system  /", "n: server:/export  /mnt/share", "f:  /media/usb".
QString EntryText(const Platform::Drive& drive) {
    QString text = QString(QChar(LowerLetter(drive.letter))) + QLatin1Char(':');
    std::string name;
    switch (drive.kind) {
    case Platform::DriveKind::Network:
        name = drive.device;
        break;
    case Platform::DriveKind::Removable:
        break;
    default:
        name = Platform::VolumeLabel(drive);
        break;
    }
    if (!name.empty())
        text += QLatin1Char(' ') + QString::fromStdString(name);
    return text + QStringLiteral("  ") + QString::fromStdString(drive.mountPoint);
}

int IndexOf(const std::vector<Platform::Drive>& drives, const Platform::VolumeId& id) {
    for (std::size_t i = 0; i < drives.size(); ++i)
        if (Platform::VolumeOf(drives[i]) == id)
            return static_cast<int>(i);
    return -1;
}

} // namespace

TDriveComboBox::TDriveComboBox(QWidget* parent) : QComboBox(parent) {
    // A long mount point must not widen the window: the box is as wide as
    // its row lets it be; the list shows every entry in full.
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(14);
    view()->setTextElideMode(Qt::ElideNone);
    Fill(false);
    // Start on the drive of the current folder.
    const auto current = Platform::CurrentDrive();
    setCurrentIndex(current ? IndexOf(FDrives, Platform::VolumeOf(*current)) : -1);
    RememberChosenMount();
    FLetter = Value();
    FVolume = Volume() ? std::optional(Platform::VolumeOf(*Volume())) : std::nullopt;
    ShowEntryInFull();
    connect(this, &QComboBox::currentIndexChanged, this, [this] {
        if (!FFilling)
            NoteSelection();
    });
}

char TDriveComboBox::Value() const {
    const auto drive = Volume();
    return drive ? LowerLetter(drive->letter) : 0;
}

std::optional<Platform::Drive> TDriveComboBox::Volume() const {
    const int index = currentIndex();
    if (index < 0 || static_cast<std::size_t>(index) >= FDrives.size())
        return std::nullopt;
    return FDrives[static_cast<std::size_t>(index)];
}

bool TDriveComboBox::SetValue(char letter) {
    // The letter means the drive that has it now.
    Refresh();
    const char wanted = LowerLetter(letter);
    // A volume that went away (the last entry) has no letter any more.
    const int listed = count() - (FGoneShown ? 1 : 0);
    for (int i = 0; i < listed; ++i)
        if (LowerLetter(FDrives[static_cast<std::size_t>(i)].letter) == wanted) {
            setCurrentIndex(i);
            return true;
        }
    return false;
}

void TDriveComboBox::Refresh() {
    Fill(false);
}

void TDriveComboBox::Fill(bool listOpening) {
    const std::optional<Platform::Drive> chosen = Volume();
    FFilling = true;
    clear();
    FDrives.clear();
    FGoneShown = false;
    // The window names drives by letter: a volume beyond Z: has none to show.
    for (Platform::Drive& drive : Platform::ReadDriveTable())
        if (drive.letter)
            FDrives.push_back(std::move(drive));
    // Kept letters need not follow the mount points: the list goes by letter.
    std::stable_sort(
        FDrives.begin(), FDrives.end(),
        [](const Platform::Drive& a, const Platform::Drive& b) { return a.letter < b.letter; });
    int keep = chosen ? IndexOf(FDrives, Platform::VolumeOf(*chosen)) : -1;
    if (keep >= 0 && chosen->uniqueMountId != 0) {
        Platform::Drive& listed = FDrives[static_cast<std::size_t>(keep)];
        // The same ids may have gone to a new mount at the same place; the
        // user sees that when he opens the list, a run finds it not ready.
        if (listOpening && Platform::AskUniqueMountId(listed) != chosen->uniqueMountId)
            keep = -1;
        else
            listed.uniqueMountId = chosen->uniqueMountId;
    }
    if (chosen && keep < 0) {
        if (!listOpening) {
            // Gone: still what the user sees and chose; a run started now
            // finds its volume not ready rather than taking another drive.
            FDrives.push_back(*chosen);
            FGoneShown = true;
            keep = static_cast<int>(FDrives.size()) - 1;
        } else if (const auto current = Platform::CurrentDrive()) {
            keep = IndexOf(FDrives, Platform::VolumeOf(*current));
        }
    }
    for (const Platform::Drive& drive : FDrives)
        addItem(EntryText(drive));
    setCurrentIndex(keep);
    FFilling = false;
    NoteSelection();
}

void TDriveComboBox::showPopup() {
    Fill(true);
    // Entries in full, however narrow the box.
    view()->setMinimumWidth(view()->sizeHintForColumn(0) + 2 * view()->frameWidth() + 24);
    QComboBox::showPopup();
}

void TDriveComboBox::showEvent(QShowEvent* event) {
    QComboBox::showEvent(event);
    ShowEntryInFull();
    if (!FShown) {
        FShown = true;
        emit Changed(Value());
    }
}

void TDriveComboBox::NoteSelection() {
    ShowEntryInFull();
    RememberChosenMount();
    const char letter = Value();
    const auto drive = Volume();
    const std::optional<Platform::VolumeId> volume =
        drive ? std::optional(Platform::VolumeOf(*drive)) : std::nullopt;
    if (letter == FLetter && volume == FVolume)
        return;
    FLetter = letter;
    FVolume = volume;
    emit Changed(letter);
}

// Held for later, the chosen volume's never reused mount number tells it
// from a volume mounted at its place after it went.
void TDriveComboBox::RememberChosenMount() {
    const int index = currentIndex();
    if (index < 0 || (FGoneShown && index == count() - 1))
        return;
    Platform::Drive& drive = FDrives[static_cast<std::size_t>(index)];
    if (drive.uniqueMountId == 0)
        drive.uniqueMountId = Platform::AskUniqueMountId(drive);
}

// The closed box may cut a long mount point off: its tooltip and its name
// for a screen reader carry the whole entry, after the name a label gave it.
void TDriveComboBox::ShowEntryInFull() {
    if (accessibleName() != FShownName)
        FCaption = accessibleName();
    const QString entry = currentText();
    setToolTip(entry);
    FShownName = FCaption.isEmpty() ? entry
                 : entry.isEmpty()  ? FCaption
                                    : FCaption + QStringLiteral(": ") + entry;
    setAccessibleName(FShownName);
}
