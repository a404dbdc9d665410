#pragma once
// The formats of a camera in its file: pixel formats with their sizes and frame intervals,
// and the current format, which must be one the camera offers.

#include <string>
#include <vector>

#include "platform/v4l2/emulation/Description.h"
#include "platform/v4l2/emulation/JsonFields.h"

namespace korvane::v4l2::emulation {

FormatDescription ParseFormat(const Json& json, const std::string& at);
// The current format; without one, the first size of the first format at its first interval.
CurrentFormat ParseCurrent(const Json* json, const std::string& at,
                           const std::vector<FormatDescription>& formats);

std::string FourccText(std::uint32_t fourcc);
std::string FractionText(const Fraction& fraction);

}  // namespace korvane::v4l2::emulation
