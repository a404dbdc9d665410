#pragma once

#include <QString>
#include <cstdint>

// Texts, icons and sizes of the camera, format and power-frequency list items.
namespace ListTexts {

constexpr int kCameraItemHeight = 44;
constexpr int kCameraItemFontSize = 18;
// The camera list grows by one item height while it is below this height.
constexpr int kCameraListGrowLimit = 182;

constexpr int kFormatItemHeight = 30;
constexpr int kFormatItemFontSize = 14;
constexpr int kFormatListMaxHeight = 154;

constexpr int kFrequencyItemHeight = 20;
constexpr int kFrequencyItemFontSize = 14;

// "640x480 30Hz 24bpp", or "640x480 24bpp" without a frame interval; the rate is
// 10000000 / interval in integer division.
QString FormatItemText(std::int32_t width, std::int64_t height, std::int64_t avgTimePerFrame,
                       int bitsPerPixel);

// The artwork name of the resolution badge for a format of this height.
QString FormatIconName(std::int64_t height);

// The camera list's height after one more item: it grows by an item only while below the
// limit, so that five or more cameras scroll in a list of fixed size.
int GrownCameraListHeight(int height);

// The format list's final height from the sum of its item heights: plus 5, at most 154.
int FinishedFormatListHeight(int itemHeights);

}  // namespace ListTexts
