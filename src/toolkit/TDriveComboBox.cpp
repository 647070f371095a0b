#include "toolkit/TDriveComboBox.h"

#include "platform/DriveTable.h"

#include <QShowEvent>
#include <cctype>

namespace {

constexpr int kMountPointRole = Qt::UserRole + 1;

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

} // namespace

TDriveComboBox::TDriveComboBox(QWidget* parent) : QComboBox(parent) {
    // A long mount point must not widen the window: the box is as wide as
    // its row lets it be, its list as wide as the longest entry.
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(14);
    Refresh();
    // Start on the drive of the current folder.
    if (const auto drive = Platform::CurrentDrive())
        setCurrentIndex(findData(QChar(LowerLetter(drive->letter))));
    else
        setCurrentIndex(-1);
    FLetter = Value();
    FMountPoint = MountPointAt(currentIndex());
    connect(this, &QComboBox::currentIndexChanged, this, [this] {
        if (!FFilling)
            NoteSelection();
    });
}

char TDriveComboBox::Value() const {
    const QVariant data = currentData();
    return data.isValid() ? static_cast<char>(data.toChar().toLatin1()) : 0;
}

bool TDriveComboBox::SetValue(char letter) {
    // The letter means the drive that has it now.
    Refresh();
    const int index = findData(QChar(LowerLetter(letter)));
    if (index < 0)
        return false;
    setCurrentIndex(index);
    return true;
}

void TDriveComboBox::Refresh() {
    const QString chosenMount = MountPointAt(currentIndex());
    FFilling = true;
    clear();
    int keep = -1;
    for (const Platform::Drive& drive : Platform::ReadDriveTable()) {
        const QString mountPoint = QString::fromStdString(drive.mountPoint);
        const char letter = LowerLetter(drive.letter);
        addItem(EntryText(drive), QChar(letter));
        setItemData(count() - 1, mountPoint, kMountPointRole);
        if (!chosenMount.isEmpty() && mountPoint == chosenMount)
            keep = count() - 1;
    }
    // Kept by volume: a drive that is gone leaves no selection rather than
    // quietly putting the volume that took its letter in its place.
    setCurrentIndex(keep);
    FFilling = false;
    NoteSelection();
}

void TDriveComboBox::showPopup() {
    Refresh();
    QComboBox::showPopup();
}

void TDriveComboBox::showEvent(QShowEvent* event) {
    QComboBox::showEvent(event);
    if (!FShown) {
        FShown = true;
        emit Changed(Value());
    }
}

QString TDriveComboBox::MountPointAt(int index) const {
    return index < 0 ? QString() : itemData(index, kMountPointRole).toString();
}

void TDriveComboBox::NoteSelection() {
    const char letter = Value();
    const QString mountPoint = MountPointAt(currentIndex());
    if (letter == FLetter && mountPoint == FMountPoint)
        return;
    FLetter = letter;
    FMountPoint = mountPoint;
    emit Changed(letter);
}
