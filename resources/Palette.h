#pragma once

#include <QRgb>

// The window's palette. The window may recolour itself at run time from its colour holders;
// these are the colours it starts with and the ones the artwork is drawn in.
inline constexpr QRgb ColorDarkest = 0xFF18183E;
inline constexpr QRgb ColorDark = 0xFF242451;
inline constexpr QRgb ColorMid = 0xFF424280;
inline constexpr QRgb ColorBright = 0xFF6360E3;
