#pragma once
// How a track bar position is written as text and read back: the number text of the settings
// files and of the window's value labels, in the user's locale.

#include <cstdint>
#include <string>
#include <string_view>

namespace PositionText {

// General floating-point form of the single-precision position: up to 15 significant digits,
// no trailing zeros, the user's decimal separator (128, -3, 2.90000009536743 or 2,9000000953...).
std::string General(double position);

// A number in the user's locale (group separators refused, surrounding blanks allowed).
// Anything else, or a number that a single-precision position cannot hold, reads as 0.
double Parse(std::string_view text);

// The device value for a position: the single-precision value truncated toward zero, kept
// inside the 32-bit range.
std::int32_t ToDeviceValue(double position);

}  // namespace PositionText
