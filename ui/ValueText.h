#pragma once

#include <QString>
#include <cstdint>

// How the rows print and convert track bar positions.
namespace ValueText {

// The position in general floating-point form: the single-precision value with up to 15
// significant digits, no trailing zeros, the locale's decimal separator (128, -3,
// 2.90000009536743).
QString General(double position);

// The position as a plain decimal integer (truncated), as the value labels show it.
QString Integer(double position);

// The device value for a position: the single-precision value truncated toward zero,
// kept inside the 32-bit range.
std::int32_t ToDeviceValue(double position);

}  // namespace ValueText
