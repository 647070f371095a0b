#pragma once
// Keeps the window on the screen: a small or high-density screen (a 768-line
// laptop at 125 %) has less room than the window's designed size.
#include <QRect>
#include <QSize>

namespace ScreenFit {

// Room kept for the title bar, which the window system adds after placing.
constexpr int kTitleAllowance = 32;

// The smallest window that still fits the free area `available`: the designed
// minimum, or less where the screen has less room (the pages then scroll).
QSize FitMinimum(QSize designed, const QRect& available);

// Where a window of the wanted place and size goes: where it was wanted when
// it fits the free area whole, otherwise made to fit and centred in it.
QRect FitOnScreen(const QRect& wanted, const QRect& available);

} // namespace ScreenFit
