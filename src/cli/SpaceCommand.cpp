// ferrovane-cli space: the disk space panel as text, one line per drive, or
// as JSON for scripts. Every volume is listed, also those beyond Z: (without
// a letter): the command line names volumes by path.
#include "cli/Arguments.h"
#include "cli/Command.h"
#include "cli/Support.h"
#include "platform/DriveTable.h"
#include "util/QuillTPU.h"

#include <algorithm>
#include <cmath>

#include <sys/statvfs.h>
#include <sys/sysmacros.h>

namespace Cli {

namespace {

constexpr long double kGigabyte = 1073741824.0L;
constexpr int kBarWidth = 20;

struct Row {
    Platform::Drive drive;
    std::string label;
    std::int64_t freeBytes; // what the user may fill
    std::int64_t totalBytes;
    int freePercent;
    std::int64_t freeBytesForRoot; // with the blocks kept for root
    bool readOnly;
};

const char* KindName(Platform::DriveKind kind) {
    switch (kind) {
    case Platform::DriveKind::Fixed:
        return "fixed";
    case Platform::DriveKind::Removable:
        return "removable";
    case Platform::DriveKind::Network:
        return "network";
    case Platform::DriveKind::CDRom:
        return "cdrom";
    case Platform::DriveKind::RamDisk:
        return "ram";
    case Platform::DriveKind::Unknown:
        break;
    }
    return "unknown";
}

// Use% as df shows it: the used share of what a user could have, rounded
// up, so a volume that is not quite full never reads 100 ... until it is.
// null where df shows "-" (nothing used and nothing free).
std::string UsePercent(std::int64_t used, std::int64_t available) {
    const long double whole = static_cast<long double>(used) + available;
    if (whole <= 0)
        return "null";
    return std::to_string(static_cast<long long>(std::ceil(used * 100.0L / whole)));
}

bool ReadOnly(const Platform::Drive& drive) {
    struct statvfs info {};
    return ::statvfs(drive.mountPoint.c_str(), &info) == 0 && (info.f_flag & ST_RDONLY);
}

// The bar's position in the panel: the share of free space, halves to the
// even neighbour.
int FreePercent(std::int64_t freeBytes, std::int64_t totalBytes) {
    if (totalBytes < 1)
        return 0;
    const long double share = static_cast<long double>(freeBytes) * 100.0L / totalBytes;
    return static_cast<int>(std::clamp(std::nearbyintl(share), 0.0L, 100.0L));
}

std::string Bar(int percent) {
    const int filled = (percent * kBarWidth + 50) / 100;
    return '[' + std::string(filled, '#') + std::string(kBarWidth - filled, '-') + "]";
}

// "8:17": the volume as the system numbers it, the same in every listing.
std::string DeviceNumber(const Platform::Drive& drive) {
    const auto device = static_cast<dev_t>(drive.deviceNumber);
    return std::to_string(::major(device)) + ":" + std::to_string(::minor(device));
}

std::string Padded(const std::string& text, std::size_t width) {
    return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

} // namespace

int RunSpace(const std::vector<std::string>& args, Context& context) {
    const Arguments arguments({{"--json", false, ""}}, args);
    arguments.Exactly({});

    // Drives whose size query fails are left out, as in the panel.
    std::vector<Row> rows;
    for (const auto& drive : Platform::ReadDriveTable()) {
        const auto space = Platform::VolumeSpace(drive);
        if (!space)
            continue;
        const std::int64_t free = std::max<std::int64_t>(0, space->freeBytes);
        const std::int64_t total = std::max<std::int64_t>(0, space->totalBytes);
        // 0: not known, and then no more than the user's.
        const std::int64_t forRoot =
            std::max(free, std::min(total, std::max<std::int64_t>(0, space->freeBytesForRoot)));
        rows.push_back({drive, Platform::VolumeLabel(drive), free, total, FreePercent(free, total),
                        forRoot, ReadOnly(drive)});
    }

    if (arguments.Has("--json")) {
        std::string json = "[";
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const Row& row = rows[i];
            json += std::string(i ? "," : "") + "\n  {\"letter\": " +
                    (row.drive.letter ? JsonString(std::string(1, row.drive.letter)) : "null") +
                    ", \"mountPoint\": " + JsonString(row.drive.mountPoint) +
                    ", \"label\": " + JsonString(row.label) +
                    ", \"device\": " + JsonString(row.drive.device) +
                    ", \"deviceNumber\": " + JsonString(DeviceNumber(row.drive)) +
                    ", \"mountId\": " + std::to_string(row.drive.mountId) +
                    ", \"fileSystem\": " + JsonString(row.drive.fsType) +
                    ", \"freeBytes\": " + std::to_string(row.freeBytes) +
                    ", \"totalBytes\": " + std::to_string(row.totalBytes) +
                    ", \"freePercent\": " + std::to_string(row.freePercent) +
                    ", \"usedBytes\": " + std::to_string(row.totalBytes - row.freeBytesForRoot) +
                    ", \"freeBytesForRoot\": " + std::to_string(row.freeBytesForRoot) +
                    ", \"usePercent\": " +
                    UsePercent(row.totalBytes - row.freeBytesForRoot, row.freeBytes) +
                    ", \"readOnly\": " + (row.readOnly ? "true" : "false") +
                    ", \"kind\": " + JsonString(KindName(row.drive.kind)) + "}";
        }
        json += rows.empty() ? "]\n" : "\n]\n";
        std::fputs(json.c_str(), context.out);
        return kExitDone;
    }

    // The figures as the panel's hint writes them.
    std::vector<std::string> figures;
    std::size_t mountWidth = 0;
    std::size_t labelWidth = 0;
    std::size_t figuresWidth = 0;
    std::vector<std::string> mounts;
    std::vector<std::string> labels;
    for (const Row& row : rows) {
        mounts.push_back(EscapeControls(row.drive.mountPoint));
        labels.push_back(EscapeControls(row.label));
        figures.push_back(QuillTPU::FormatReal(row.freeBytes / kGigabyte, 2) + "GB of " +
                          QuillTPU::FormatReal(row.totalBytes / kGigabyte, 1) + "GB free.");
        mountWidth = std::max(mountWidth, mounts.back().size());
        labelWidth = std::max(labelWidth, labels.back().size());
        figuresWidth = std::max(figuresWidth, figures.back().size());
    }
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const Row& row = rows[i];
        std::string line = (row.drive.letter ? std::string(1, row.drive.letter) + ":" : "- ") +
                           "  " + Padded(mounts[i], mountWidth) + "  ";
        if (labelWidth)
            line += Padded(labels[i], labelWidth) + "  ";
        line += Padded(figures[i], figuresWidth) + "  " + Bar(row.freePercent) + " " +
                std::to_string(row.freePercent) + "%\n";
        std::fputs(line.c_str(), context.out);
    }
    return kExitDone;
}

} // namespace Cli
