#include "cli/CameraProperties.h"

#include <algorithm>

namespace korvane::cli {

namespace {

#define KORVANE_PROPERTY(P)                                                                     \
  TCameraProperty {                                                                             \
#P, &TFCamera::Get##P, &TFCamera::Set##P, &TFCamera::Get##P##Auto, &TFCamera::Set##P##Auto, \
        &TFCamera::Get##P##Range, &TFCamera::Get##P##Supported                                  \
  }

constexpr std::array<TCameraProperty, kSettingsPropertyCount> kProperties = {
    KORVANE_PROPERTY(BacklightCompensation),
    KORVANE_PROPERTY(Brightness),
    KORVANE_PROPERTY(ColorEnable),
    KORVANE_PROPERTY(Contrast),
    KORVANE_PROPERTY(Exposure),
    KORVANE_PROPERTY(Focus),
    KORVANE_PROPERTY(Gain),
    KORVANE_PROPERTY(Gamma),
    KORVANE_PROPERTY(Hue),
    KORVANE_PROPERTY(Iris),
    KORVANE_PROPERTY(Pan),
    KORVANE_PROPERTY(Roll),
    KORVANE_PROPERTY(Saturation),
    KORVANE_PROPERTY(Sharpness),
    KORVANE_PROPERTY(Tilt),
    KORVANE_PROPERTY(WhiteBalance),
    KORVANE_PROPERTY(Zoom),
};

#undef KORVANE_PROPERTY

// Settings files pair values with properties by position in the shared key table.
constexpr bool NamesFollowTheSettingsKeys() {
  for (std::size_t i = 0; i < kSettingsPropertyCount; ++i) {
    if (kProperties[i].Name != kSettingsPropertyKeys[i]) return false;
  }
  return true;
}
static_assert(NamesFollowTheSettingsKeys());

char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

const std::array<TCameraProperty, kSettingsPropertyCount> kCameraProperties = kProperties;

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return Lower(x) == Lower(y); });
}

std::optional<std::size_t> FindCameraProperty(std::string_view name) {
  for (std::size_t i = 0; i < kCameraProperties.size(); ++i) {
    if (SameNameIgnoringCase(kCameraProperties[i].Name, name)) return i;
  }
  return std::nullopt;
}

}  // namespace korvane::cli
