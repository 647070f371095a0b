#include "components/FreeDiskSpace.h"

#include "platform/DriveTable.h"
#include "util/QuillTPU.h"

#include <QLabel>
#include <QProgressBar>
#include <QResizeEvent>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kBarLeft = 20;
constexpr int kBarWidth = 270;
constexpr int kBarHeight = 14;
constexpr long double kGigabyte = 1073741824.0L;

} // namespace

// The client area: keeps the bars anchored to its right edge.
class TFreeDiskSpaceContent : public QWidget {
public:
    explicit TFreeDiskSpaceContent(TFreeDiskSpace* panel) : QWidget(panel), FPanel(panel) {}

protected:
    void resizeEvent(QResizeEvent* event) override {
        QWidget::resizeEvent(event);
        FPanel->LayOutBars(event->size().width());
    }

private:
    TFreeDiskSpace* FPanel;
};

namespace {

// Keeps a child at fixed distances from all four edges of its parent.
class TAnchorAllSides : public QObject {
public:
    TAnchorAllSides(QWidget* child, QWidget* parent) : QObject(child), FChild(child) {
        parent->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Resize) {
            const QSize size = static_cast<QResizeEvent*>(event)->size();
            const QRect g = FChild->geometry();
            if (!FKnown) {
                // The distances of the design, taken when the page is first
                // laid out at a size that holds the panel's design bounds
                // (before that the page has a provisional size).
                if (size.width() < g.x() + g.width() || size.height() < g.y() + g.height())
                    return QObject::eventFilter(watched, event);
                FRight = size.width() - (g.x() + g.width());
                FBottom = size.height() - (g.y() + g.height());
                FKnown = true;
            }
            FChild->setGeometry(g.x(), g.y(), std::max(0, size.width() - g.x() - FRight),
                                std::max(0, size.height() - g.y() - FBottom));
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QWidget* FChild;
    bool FKnown = false;
    int FRight = 0;
    int FBottom = 0;
};

} // namespace

TFreeDiskSpace* TFreeDiskSpace::PlaceOn(QWidget* page) {
    auto* panel = new TFreeDiskSpace(page);
    panel->setObjectName(QStringLiteral("FreeDiskSpace"));
    panel->setGeometry(32, 71, 369, 394);
    panel->setToolTip(QStringLiteral("Disk space info"));
    panel->setAccessibleName(QStringLiteral("Free disk space"));
    new TAnchorAllSides(panel, page);
    return panel;
}

TFreeDiskSpace::TFreeDiskSpace(QWidget* parent) : QScrollArea(parent) {
    resize(300, 100);
    // The bars keep the distance to the right edge that they have in a
    // panel of the default size.
    FRightGap = std::max(0, 300 - 2 * frameWidth() - (kBarLeft + kBarWidth));

    // The area inside would report the focus along with the panel, a
    // second, nameless object for a screen reader.
    viewport()->setFocusProxy(nullptr);
    FContent = new TFreeDiskSpaceContent(this);
    FTitle = new QLabel(QStringLiteral("Free disk space:"), FContent);
    QFont bold = FTitle->font();
    bold.setBold(true);
    FTitle->setFont(bold);
    FTitle->move(1, 2);
    FTitle->adjustSize();

    FLastBottom = 20;
    BuildRows();

    // Taller than the panel: the panel scrolls vertically. Narrower: the
    // bars shrink, as anchored bars do.
    FContent->setMinimumSize(std::max(FTitle->width() + 1, kBarLeft + 10), FLastBottom + 4);
    FContent->resize(kBarLeft + kBarWidth + FRightGap, FLastBottom + 4);
    setWidget(FContent);
    setWidgetResizable(true);
}

TFreeDiskSpace::~TFreeDiskSpace() = default;

int TFreeDiskSpace::FreeShare(std::int64_t freeBytes, std::int64_t totalBytes) {
    if (totalBytes < 1)
        return 0;
    // In extended precision: free * 100 would overflow 64 bits for a
    // volume of some exabytes. The default rounding mode sends halves to
    // the even neighbour.
    const long double share = static_cast<long double>(freeBytes) * 100.0L / totalBytes;
    return static_cast<int>(std::clamp(std::nearbyintl(share), 0.0L, 100.0L));
}

std::string TFreeDiskSpace::HintText(const std::string& caption, std::int64_t freeBytes,
                                     std::int64_t totalBytes) {
    return "[Drive " + caption + "]   " + QuillTPU::FormatReal(freeBytes / kGigabyte, 2) +
           "GB of " + QuillTPU::FormatReal(totalBytes / kGigabyte, 1) + "GB free.";
}

void TFreeDiskSpace::BuildRows() {
    // The mount table is read once for all rows, and each volume is asked
    // once, within the time limit of the volume query: a network volume
    // whose server is gone is shown as not ready instead of holding up the
    // window. One reading per row also keeps a bar and its hint in step.
    const std::vector<Platform::Drive> drives = Platform::ReadDriveTable();
    for (std::uint8_t n = 3; n <= 26; ++n) { // C: to Z:; never A: or B:
        const char letter = static_cast<char>(n + 64);
        const auto drive =
            std::find_if(drives.begin(), drives.end(),
                         [&](const Platform::Drive& d) { return d.letter == letter; });
        if (drive == drives.end())
            continue;
        Platform::CriticalErrorGuard guard;
        const auto space = Platform::VolumeSpace(*drive);
        if (!space) // not ready: no medium, no answer, or the query failed
            continue;
        const std::string caption = std::string(1, letter) + ":";
        const int top = FLastBottom + 10;

        auto* label = new QLabel(QString::fromStdString(caption), FContent);
        label->move(4, top);
        label->adjustSize();
        // A letter alone tells a Linux user little: name the volume.
        label->setToolTip(QString::fromStdString(drive->mountPoint));

        auto* bar = new QProgressBar(FContent);
        bar->setRange(0, 100);
        bar->setTextVisible(false);
        bar->setGeometry(kBarLeft, top, kBarWidth, kBarHeight);

        const std::int64_t total = space->totalBytes;
        const std::int64_t free = std::max<std::int64_t>(0, space->freeBytes);
        bar->setValue(FreeShare(free, total));
        const QString hint =
            QString::fromStdString(HintText(caption, free, std::max<std::int64_t>(0, total)));
        bar->setToolTip(hint);
        // A screen reader hears the drive with the value, not a bare number.
        bar->setAccessibleName(QString::fromStdString(caption + " " + drive->mountPoint));
        bar->setAccessibleDescription(hint);

        FRows.push_back({label, bar});
        FLastBottom = bar->y() + bar->height();
    }
}

void TFreeDiskSpace::LayOutBars(int clientWidth) {
    const int width = std::max(0, clientWidth - kBarLeft - FRightGap);
    for (const auto& row : FRows)
        row.bar->resize(width, kBarHeight);
}
