#pragma once

struct TrackBarState {
  double min = 0;
  double max = 0;
  double step = 0;
  double value = 0;
};

// Brings a track bar back into its valid state: the maximum is raised to the minimum, the
// value is clamped; a value at either end stays as it is, any other value moves to the nearest
// multiple of the step (counted from 0, halves to even) and is clamped again. Zero is always +0.
TrackBarState ApplyTrackBarRule(TrackBarState state);
