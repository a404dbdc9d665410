#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>

#include "settings/TrackBarRule.h"

namespace {

struct RuleCase {
  const char* name;
  TrackBarState given;
  TrackBarState expected;
};

void PrintTo(const RuleCase& c, std::ostream* os) {
  *os << c.name;
}

class TrackBarRule : public testing::TestWithParam<RuleCase> {};

TEST_P(TrackBarRule, BringsTheStateBack) {
  const RuleCase& c = GetParam();
  const TrackBarState got = ApplyTrackBarRule(c.given);
  EXPECT_DOUBLE_EQ(got.min, c.expected.min);
  EXPECT_DOUBLE_EQ(got.max, c.expected.max);
  EXPECT_DOUBLE_EQ(got.step, c.expected.step);
  EXPECT_DOUBLE_EQ(got.value, c.expected.value);
  EXPECT_EQ(std::signbit(got.value), std::signbit(c.expected.value)) << got.value;
}

// {min, max, step, value}
INSTANTIATE_TEST_SUITE_P(
    Cases, TrackBarRule,
    testing::Values(
        RuleCase{"ByteRangeKeepsValue", {0, 255, 1, 128}, {0, 255, 1, 128}},
        RuleCase{"NegativeRange", {-13, -1, 1, -6}, {-13, -1, 1, -6}},
        RuleCase{"ClampBelow", {-13, -1, 1, 0}, {-13, -1, 1, -1}},
        RuleCase{"ClampAbove", {0, 255, 1, 300}, {0, 255, 1, 255}},
        RuleCase{"SnapsToNearestStep", {0, 250, 5, 7}, {0, 250, 5, 5}},
        RuleCase{"SnapsUp", {0, 250, 5, 8}, {0, 250, 5, 10}},
        RuleCase{"MaximumExemptFromStep", {0, 254, 5, 254}, {0, 254, 5, 254}},
        RuleCase{"MinimumExemptFromStep", {-7, 10, 5, -7}, {-7, 10, 5, -7}},
        RuleCase{"SnappedPastMaximumIsClamped", {0, 254, 5, 253}, {0, 254, 5, 254}},
        RuleCase{"HalfGoesToEvenUp", {0, 10, 2, 3}, {0, 10, 2, 4}},
        RuleCase{"HalfGoesToEvenDown", {0, 10, 2, 5}, {0, 10, 2, 4}},
        RuleCase{"NegativeHalfGoesToEven", {-10, 0, 2, -5}, {-10, 0, 2, -4}},
        RuleCase{"MultiplesCountedFromZero", {-7, 10, 5, -6}, {-7, 10, 5, -5}},
        RuleCase{"SnapBelowMinimumClamps", {-7, 10, 10, -6}, {-7, 10, 10, -7}},
        RuleCase{"MaxBelowMinRaised", {10, 3, 1, 0}, {10, 10, 1, 10}},
        RuleCase{"StepZeroKeepsFraction", {0, 10, 0, 3.7}, {0, 10, 0, 3.7}},
        RuleCase{"NegativeStepSameGrid", {0, 250, -5, 7}, {0, 250, -5, 5}},
        RuleCase{"FractionalStep", {0, 1, 0.25, 0.3}, {0, 1, 0.25, 0.25}},
        RuleCase{"SnappedToZeroFromBelowIsPlusZero", {-10, 10, 1, -0.4}, {-10, 10, 1, 0}},
        RuleCase{"MinusZeroWithoutStepIsPlusZero", {-10, 10, 0, -0.0}, {-10, 10, 0, 0}},
        RuleCase{"MinusZeroAtTheMinimumIsPlusZero", {-0.0, 10, 1, -0.0}, {-0.0, 10, 1, 0}}),
    [](const testing::TestParamInfo<RuleCase>& param) { return std::string(param.param.name); });

TEST(TrackBarRuleRounding, DoesNotDependOnTheRoundingMode) {
  const int saved = std::fegetround();
  for (const int mode : {FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO, FE_TONEAREST}) {
    std::fesetround(mode);
    EXPECT_DOUBLE_EQ(ApplyTrackBarRule({0, 10, 2, 3}).value, 4);
    EXPECT_DOUBLE_EQ(ApplyTrackBarRule({0, 10, 2, 5}).value, 4);
    EXPECT_DOUBLE_EQ(ApplyTrackBarRule({0, 250, 5, 7}).value, 5);
  }
  std::fesetround(saved);
}

}  // namespace
