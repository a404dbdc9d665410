#pragma once

#include <QColor>

// The window's colour scheme as the four colour holders carry it from the start.
namespace Palette {
constexpr QColor kDarkest = QColor(0x18, 0x18, 0x3E);
constexpr QColor kDark = QColor(0x24, 0x24, 0x51);
constexpr QColor kMid = QColor(0x42, 0x42, 0x80);
constexpr QColor kBright = QColor(0x63, 0x60, 0xE3);
constexpr QColor kActiveText = QColor(0x00, 0x00, 0x00);
constexpr QColor kDisabledText = QColor(0x80, 0x80, 0x80);
}  // namespace Palette
