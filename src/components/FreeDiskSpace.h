#pragma once
// TFreeDiskSpace: the Disk space tab's list of drives. One row per drive
// from C: to Z: that is ready when the panel is created: the letter and a
// bar of the drive's free share, with the free and total gigabytes as the
// bar's hint. The rows are built once and never refreshed.
#include <QScrollArea>

#include <cstdint>
#include <string>
#include <vector>

class QLabel;
class QProgressBar;

class TFreeDiskSpace : public QScrollArea {
public:
    explicit TFreeDiskSpace(QWidget* parent = nullptr);
    ~TFreeDiskSpace() override;

    // The window's instance, "FreeDiskSpace": left 32, top 71, 369 x 394 on
    // the tab page, hint "Disk space info", anchored to all four sides of
    // the page (it keeps the distances to the right and bottom edges that it
    // has when the page is first laid out large enough to hold it).
    static TFreeDiskSpace* PlaceOn(QWidget* page);

    struct Row {
        QLabel* label;
        QProgressBar* bar;
    };

    // The bottom edge of the last row placed (20 before the first).
    std::int32_t LastBottom() const { return FLastBottom; }
    QLabel* Title() const { return FTitle; }
    const std::vector<Row>& Rows() const { return FRows; }
    // The widget the title and the rows are placed on (the client area).
    QWidget* Content() const { return FContent; }

    // The bar's position: the free share in percent, halves to the even
    // neighbour; 0 for a drive whose total is below 1.
    static int FreeShare(std::int64_t freeBytes, std::int64_t totalBytes);
    // "[Drive C:]   12.34GB of 100GB free."
    static std::string HintText(const std::string& caption, std::int64_t freeBytes,
                                std::int64_t totalBytes);

private:
    QWidget* FContent;
    QLabel* FTitle;
    std::vector<Row> FRows;
    std::int32_t FLastBottom = 20;
    int FRightGap = 0;

    void BuildRows();
    void LayOutBars(int clientWidth);

    friend class TFreeDiskSpaceContent;
};
