#include "app/ScreenFit.h"

#include <algorithm>

namespace ScreenFit {

QSize FitMinimum(QSize designed, const QRect& available) {
    if (!available.isValid())
        return designed;
    return {std::min(designed.width(), available.width()),
            std::min(designed.height(), std::max(1, available.height() - kTitleAllowance))};
}

QRect FitOnScreen(const QRect& wanted, const QRect& available) {
    if (!available.isValid())
        return wanted;
    if (available.contains(wanted.adjusted(0, -kTitleAllowance, 0, 0)))
        return wanted;
    QRect placed(QPoint(0, 0), FitMinimum(wanted.size(), available));
    placed.moveCenter(available.center());
    placed.moveTop(std::max(placed.top(), available.top() + kTitleAllowance));
    placed.moveLeft(std::max(placed.left(), available.left()));
    return placed;
}

} // namespace ScreenFit
