#pragma once
// The names a settings file gives the camera properties, described once. The window's rows and
// the command-line tool both walk this table, so their files agree key for key.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

inline constexpr std::size_t kSettingsPropertyCount = 17;

// In the order a file lists them and a load applies them.
inline constexpr std::array<std::string_view, kSettingsPropertyCount> kSettingsPropertyKeys = {
    "BacklightCompensation",
    "Brightness",
    "ColorEnable",
    "Contrast",
    "Exposure",
    "Focus",
    "Gain",
    "Gamma",
    "Hue",
    "Iris",
    "Pan",
    "Roll",
    "Saturation",
    "Sharpness",
    "Tilt",
    "WhiteBalance",
    "Zoom"};

inline constexpr std::string_view kPowerFrequencyKey = "PowerFrequency";

// What PowerFrequency holds: the index of the window's power-frequency list.
inline constexpr int kPowerFrequencyNone = -1;  // nothing selected
inline constexpr int kPowerFrequency50Hz = 0;   // "PAL - 50Hz"
inline constexpr int kPowerFrequency60Hz = 1;   // "NTSC - 60Hz"

// The key of a property's "Auto" state: "CheckBox" followed by the property's key.
inline std::string AutoKey(std::string_view propertyKey) {
  return std::string("CheckBox").append(propertyKey);
}
