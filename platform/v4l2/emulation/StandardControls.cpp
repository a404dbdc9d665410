#include "platform/v4l2/emulation/StandardControls.h"

#include <linux/videodev2.h>

#include <algorithm>
#include <utility>

namespace korvane::v4l2::emulation {
namespace {

constexpr std::uint32_t kInt = V4L2_CTRL_TYPE_INTEGER;
constexpr std::uint32_t kBool = V4L2_CTRL_TYPE_BOOLEAN;
constexpr std::uint32_t kMenu = V4L2_CTRL_TYPE_MENU;
constexpr Unit kPu = Unit::kProcessing;
constexpr Unit kCt = Unit::kCamera;

// Automatic gain and the colour killer are not UVC controls; they get indices past the
// processing unit's own, so they commit after the controls they govern, as the others do.
constexpr StandardControl kControls[] = {
    {"brightness", V4L2_CID_BRIGHTNESS, "Brightness", kInt, kPu, 0, 0, 0, false, 0, {}},
    {"contrast", V4L2_CID_CONTRAST, "Contrast", kInt, kPu, 1, 0, 0, false, 0, {}},
    {"hue", V4L2_CID_HUE, "Hue", kInt, kPu, 2, V4L2_CID_HUE_AUTO, 0, true, 0, {}},
    {"saturation", V4L2_CID_SATURATION, "Saturation", kInt, kPu, 3, 0, 0, false, 0, {}},
    {"sharpness", V4L2_CID_SHARPNESS, "Sharpness", kInt, kPu, 4, 0, 0, false, 0, {}},
    {"gamma", V4L2_CID_GAMMA, "Gamma", kInt, kPu, 5, 0, 0, false, 0, {}},
    {"white_balance_temperature",
     V4L2_CID_WHITE_BALANCE_TEMPERATURE,
     "White Balance Temperature",
     kInt,
     kPu,
     6,
     V4L2_CID_AUTO_WHITE_BALANCE,
     0,
     true,
     0,
     {}},
    // White balance as red and blue components: one UVC control in two halves, run by the
    // same automatic switch as the temperature (the component's own automatic control).
    {"red_balance",
     V4L2_CID_RED_BALANCE,
     "Red Balance",
     kInt,
     kPu,
     7,
     V4L2_CID_AUTO_WHITE_BALANCE,
     0,
     true,
     0,
     {}},
    {"blue_balance",
     V4L2_CID_BLUE_BALANCE,
     "Blue Balance",
     kInt,
     kPu,
     7,
     V4L2_CID_AUTO_WHITE_BALANCE,
     0,
     true,
     0,
     {}},
    {"backlight_compensation",
     V4L2_CID_BACKLIGHT_COMPENSATION,
     "Backlight Compensation",
     kInt,
     kPu,
     8,
     0,
     0,
     false,
     0,
     {}},
    {"gain", V4L2_CID_GAIN, "Gain", kInt, kPu, 9, V4L2_CID_AUTOGAIN, 0, false, 0, {}},
    {"power_line_frequency",
     V4L2_CID_POWER_LINE_FREQUENCY,
     "Power Line Frequency",
     kMenu,
     kPu,
     10,
     0,
     0,
     false,
     0,
     {"Disabled", "50 Hz", "60 Hz", "Auto"}},
    {"hue_automatic", V4L2_CID_HUE_AUTO, "Hue, Automatic", kBool, kPu, 11, 0, 0, false, 0, {}},
    {"white_balance_automatic",
     V4L2_CID_AUTO_WHITE_BALANCE,
     "White Balance, Automatic",
     kBool,
     kPu,
     12,
     0,
     0,
     false,
     0,
     {}},
    {"gain_automatic", V4L2_CID_AUTOGAIN, "Gain, Automatic", kBool, kPu, 19, 0, 0, false, 0, {}},
    {"color_killer", V4L2_CID_COLOR_KILLER, "Color Killer", kBool, kPu, 20, 0, 0, false, 0, {}},
    // The exposure menu always spans all four modes; the camera's own list decides which of
    // them are holes.
    {"auto_exposure",
     V4L2_CID_EXPOSURE_AUTO,
     "Auto Exposure",
     kMenu,
     kCt,
     1,
     0,
     0,
     false,
     0xF,
     {"Auto Mode", "Manual Mode", "Shutter Priority Mode", "Aperture Priority Mode"}},
    {"exposure_dynamic_framerate",
     V4L2_CID_EXPOSURE_AUTO_PRIORITY,
     "Exposure, Dynamic Framerate",
     kBool,
     kCt,
     2,
     0,
     0,
     false,
     0,
     {}},
    {"exposure_time_absolute",
     V4L2_CID_EXPOSURE_ABSOLUTE,
     "Exposure Time, Absolute",
     kInt,
     kCt,
     3,
     V4L2_CID_EXPOSURE_AUTO,
     V4L2_EXPOSURE_MANUAL,
     true,
     0,
     {}},
    {"focus_absolute",
     V4L2_CID_FOCUS_ABSOLUTE,
     "Focus, Absolute",
     kInt,
     kCt,
     5,
     V4L2_CID_FOCUS_AUTO,
     0,
     true,
     0,
     {}},
    {"iris_absolute", V4L2_CID_IRIS_ABSOLUTE, "Iris, Absolute", kInt, kCt, 7, 0, 0, true, 0, {}},
    {"zoom_absolute", V4L2_CID_ZOOM_ABSOLUTE, "Zoom, Absolute", kInt, kCt, 9, 0, 0, true, 0, {}},
    // Pan and tilt are two halves of one UVC control.
    {"pan_absolute", V4L2_CID_PAN_ABSOLUTE, "Pan, Absolute", kInt, kCt, 11, 0, 0, true, 0, {}},
    {"tilt_absolute", V4L2_CID_TILT_ABSOLUTE, "Tilt, Absolute", kInt, kCt, 11, 0, 0, true, 0, {}},
    {"focus_automatic_continuous",
     V4L2_CID_FOCUS_AUTO,
     "Focus, Automatic Continuous",
     kBool,
     kCt,
     17,
     0,
     0,
     false,
     0,
     {}},
    {"privacy", V4L2_CID_PRIVACY, "Privacy", kBool, kCt, 18, 0, 0, true, 0, {}},
    // Relative and speed controls: the camera moves while the value is not 0, until 0 is
    // written. Pan and tilt speed are the two halves of one UVC control, as their absolute
    // twins are.
    {"focus_relative",
     V4L2_CID_FOCUS_RELATIVE,
     "Focus, Relative",
     kInt,
     kCt,
     6,
     V4L2_CID_FOCUS_AUTO,
     0,
     true,
     0,
     {}},
    {"iris_relative", V4L2_CID_IRIS_RELATIVE, "Iris, Relative", kInt, kCt, 8, 0, 0, true, 0, {}},
    {"zoom_continuous",
     V4L2_CID_ZOOM_CONTINUOUS,
     "Zoom, Continuous",
     kInt,
     kCt,
     10,
     0,
     0,
     true,
     0,
     {}},
    {"pan_speed", V4L2_CID_PAN_SPEED, "Pan, Speed", kInt, kCt, 12, 0, 0, true, 0, {}},
    {"tilt_speed", V4L2_CID_TILT_SPEED, "Tilt, Speed", kInt, kCt, 12, 0, 0, true, 0, {}},
};

// The driver's table gives these no read of the current value, so they are write-only.
constexpr std::uint32_t kWriteOnly[] = {V4L2_CID_FOCUS_RELATIVE, V4L2_CID_IRIS_RELATIVE,
                                        V4L2_CID_ZOOM_CONTINUOUS, V4L2_CID_PAN_SPEED,
                                        V4L2_CID_TILT_SPEED};

// Names older tools and kernels used for the same controls.
constexpr std::pair<std::string_view, std::string_view> kOlderNames[] = {
    {"hue_auto", "hue_automatic"},
    {"exposure_auto", "auto_exposure"},
    {"exposure_auto_priority", "exposure_dynamic_framerate"},
    {"exposure_absolute", "exposure_time_absolute"},
    {"white_balance_temperature_auto", "white_balance_automatic"},
    {"focus_auto", "focus_automatic_continuous"},
};

}  // namespace

std::span<const StandardControl> StandardControls() {
  return kControls;
}

const StandardControl* FindStandardControl(std::string_view fileName) {
  for (const auto& [older, current] : kOlderNames) {
    if (fileName == older) fileName = current;
  }
  const auto found = std::find_if(std::begin(kControls), std::end(kControls),
                                  [&](const StandardControl& c) { return c.fileName == fileName; });
  return found == std::end(kControls) ? nullptr : found;
}

bool IsWriteOnly(const StandardControl& control) {
  return std::find(std::begin(kWriteOnly), std::end(kWriteOnly), control.id) !=
         std::end(kWriteOnly);
}

const StandardControl* FindStandardControl(std::uint32_t id) {
  const auto found = std::find_if(std::begin(kControls), std::end(kControls),
                                  [&](const StandardControl& c) { return c.id == id; });
  return found == std::end(kControls) ? nullptr : found;
}

}  // namespace korvane::v4l2::emulation
