#include "cli/ValueRule.h"

#include "settings/PositionText.h"
#include "settings/TrackBarRule.h"

namespace korvane::cli {

double RulePosition(const TFRange& range, double wanted) {
  return ApplyTrackBarRule({static_cast<double>(range.Min), static_cast<double>(range.Max),
                            static_cast<double>(range.Delta), wanted})
      .value;
}

LONG RuleValue(const TFRange& range, double wanted) {
  return PositionText::ToDeviceValue(RulePosition(range, wanted));
}

}  // namespace korvane::cli
