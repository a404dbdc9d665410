#include "settings/TrackBarRule.h"

#include <algorithm>
#include <cmath>

namespace {

// Independent of the floating-point environment: std::nearbyint would follow whatever
// rounding mode some other code left behind.
double RoundHalfToEven(double x) {
  const double nearest = std::round(x);  // halves away from zero
  if (std::abs(x - std::trunc(x)) != 0.5) return nearest;
  return 2.0 * std::round(x / 2.0);
}

}  // namespace

TrackBarState ApplyTrackBarRule(TrackBarState state) {
  if (state.max < state.min) state.max = state.min;
  state.value = std::clamp(state.value, state.min, state.max);
  if (state.value != state.min && state.value != state.max && state.step != 0) {
    const double snapped = RoundHalfToEven(state.value / state.step) * state.step;
    // An infinite step gives 0 * inf; keep the clamped value rather than a NaN.
    if (std::isfinite(snapped)) state.value = std::clamp(snapped, state.min, state.max);
  }
  // A value rounded to zero from below is -0, which prints and saves as "-0".
  if (state.value == 0) state.value = 0;
  return state;
}
