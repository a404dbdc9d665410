#pragma once

// The pictures the window shows, at the sizes (in window units) it lays them out at. Each is
// rendered from its SVG at build time for the usual screen scales, so that starting the
// window parses no SVG; a picture or a scale missing here is still drawn from its SVG.
struct TArtworkPicture {
  const char* Path;
  int Width;
  int Height;
};

inline constexpr TArtworkPicture kArtworkCatalogue[] = {
    {":/artwork/logo.svg", 212, 80},
    {":/artwork/buttons/open.svg", 35, 28},
    {":/artwork/buttons/opendown.svg", 35, 28},
    {":/artwork/buttons/save.svg", 51, 51},
    {":/artwork/buttons/savedown.svg", 51, 51},
    {":/artwork/buttons/x.svg", 31, 31},
    {":/artwork/buttons/xdown.svg", 31, 31},
    {":/artwork/buttons/factory.svg", 31, 31},
    {":/artwork/buttons/factorydown.svg", 31, 31},
    {":/artwork/Webcam.svg", 40, 40},
    {":/artwork/herz.svg", 18, 18},
    {":/artwork/res_ega.svg", 28, 28},
    {":/artwork/res_vga.svg", 28, 28},
    {":/artwork/res_pal.svg", 28, 28},
    {":/artwork/res_720.svg", 28, 28},
    {":/artwork/res_1080.svg", 28, 28},
    {":/artwork/cameratest.svg", 100, 80},
    {":/artwork/cameraoff.svg", 24, 26},
    {":/artwork/rows/Exposure.svg", 35, 35},
    {":/artwork/rows/Gain.svg", 35, 35},
    {":/artwork/rows/WhiteBalance.svg", 35, 35},
    {":/artwork/rows/Focus.svg", 35, 35},
    {":/artwork/rows/Zoom.svg", 35, 35},
    {":/artwork/rows/Brightness.svg", 35, 35},
    {":/artwork/rows/Saturation.svg", 35, 35},
    {":/artwork/rows/Contrast.svg", 35, 35},
    {":/artwork/rows/Sharpness.svg", 35, 35},
    {":/artwork/rows/BacklightCompensation.svg", 35, 35},
    {":/artwork/rows/Gamma.svg", 35, 35},
    {":/artwork/rows/ColorEnable.svg", 35, 35},
    {":/artwork/rows/Hue.svg", 35, 35},
    {":/artwork/rows/Iris.svg", 35, 35},
    {":/artwork/rows/Roll.svg", 35, 35},
    {":/artwork/rows/Tilt.svg", 35, 35},
    {":/artwork/rows/Pan.svg", 35, 35},
    // The window icon, at the sizes window managers and task bars ask for.
    {":/artwork/appicon.svg", 16, 16},
    {":/artwork/appicon.svg", 32, 32},
    {":/artwork/appicon.svg", 48, 48},
    {":/artwork/appicon.svg", 64, 64},
};

inline constexpr int kWindowIconSizes[] = {16, 32, 48, 64};

// The screen scales rendered ahead.
inline constexpr int kArtworkScales[] = {1, 2};
