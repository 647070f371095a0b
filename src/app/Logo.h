#pragma once
// The maker's logo, drawn rather than loaded: a vane over stacked plates.
#include <QPixmap>

QPixmap DrawQuillmarkLogo(int size);
