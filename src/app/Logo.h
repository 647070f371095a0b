#pragma once
// The maker's logo, drawn rather than loaded: a vane over stacked plates.
#include <QIcon>
#include <QPixmap>

// A picture of size x size logical pixels, drawn with size x pixelRatio
// device pixels so it stays sharp on a high-density screen.
QPixmap DrawQuillmarkLogo(int size, qreal pixelRatio = 1.0);

// The desktop file's id: the icon's name in the icon theme and the name by
// which the desktop ties the window to its menu entry.
inline constexpr const char* kDesktopId = "com.quillmark.ferrovane";

// The window's icon: the installed theme icon where there is one, else the
// logo drawn at the usual icon sizes.
QIcon QuillmarkIcon();
