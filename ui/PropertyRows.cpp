#include "ui/PropertyRows.h"

#define KORVANE_ROW(P, Caption, Group, Position, Column)                         \
  TPropertyRow {                                                                 \
#P, Caption, TPropertyGroup::Group, Position, Column, #P, &TFCamera::Get##P, \
        &TFCamera::Set##P, &TFCamera::Get##P##Auto, &TFCamera::Set##P##Auto,     \
        &TFCamera::Get##P##Range, &TFCamera::Get##P##Supported                   \
  }

namespace {

constexpr std::array<TPropertyRow, kPropertyCount> kRows = {
    KORVANE_ROW(BacklightCompensation, "Backlight comp.", VideoProcessing, 10, "Layout5"),
    KORVANE_ROW(Brightness, "Brightness", VideoProcessing, 6, "Layout20"),
    KORVANE_ROW(ColorEnable, "Color enable", VideoProcessing, 12, "Layout12"),
    KORVANE_ROW(Contrast, "Contrast", VideoProcessing, 8, "Layout13"),
    KORVANE_ROW(Exposure, "Exposure", CameraControl, 1, "Layout10"),
    KORVANE_ROW(Focus, "Focus", CameraControl, 4, "Layout8"),
    KORVANE_ROW(Gain, "Gain", VideoProcessing, 2, "Layout11"),
    KORVANE_ROW(Gamma, "Gamma", VideoProcessing, 11, "Layout14"),
    KORVANE_ROW(Hue, "Hue", VideoProcessing, 13, "Layout16"),
    KORVANE_ROW(Iris, "Iris", CameraControl, 14, "Layout21"),
    KORVANE_ROW(Pan, "Pan (\u2194)", CameraControl, 17, "Layout22"),
    KORVANE_ROW(Roll, "Roll", CameraControl, 15, "Layout3"),
    KORVANE_ROW(Saturation, "Saturation", VideoProcessing, 7, "Layout15"),
    KORVANE_ROW(Sharpness, "Sharpness", VideoProcessing, 9, "Layout9"),
    KORVANE_ROW(Tilt, "Tilt (\u2195)", CameraControl, 16, "Layout6"),
    KORVANE_ROW(WhiteBalance, "White balance", VideoProcessing, 3, "Layout4"),
    KORVANE_ROW(Zoom, "Zoom (+/-)", CameraControl, 5, "Layout7"),
};

#undef KORVANE_ROW

// A settings file is read and written in the shared key order, while the window pairs its rows
// with the file's entries by position: both orders must be one.
constexpr bool KeysFollowTheSettingsOrder() {
  for (std::size_t i = 0; i < kPropertyCount; ++i) {
    if (std::string_view(kRows[i].SettingsKey) != kSettingsPropertyKeys[i]) return false;
  }
  return true;
}
static_assert(KeysFollowTheSettingsOrder());

}  // namespace

const std::array<TPropertyRow, kPropertyCount> kPropertyRows = kRows;

const std::array<std::size_t, kPropertyCount> kPropertyReadOrder = {1, 0,  2,  3,  4,  5,  6,  7, 8,
                                                                    9, 10, 11, 12, 13, 14, 15, 16};
