#pragma once
// The window's track bar value rule, applied to a control's range without a track bar.

#include "camera/FCameraTypes.h"

namespace korvane::cli {

// Where a track bar over the range puts the wanted position: clamped to the range and moved to
// the driver's step (the ends exempt).
double RulePosition(const TFRange& range, double wanted);

// The device value for that position, truncated as the window truncates it.
LONG RuleValue(const TFRange& range, double wanted);

}  // namespace korvane::cli
