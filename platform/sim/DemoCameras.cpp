// The built-in demo set: what the program shows on a machine without a camera
// (KORVANE_CAMERAS=demo). The names are invented.

#include <initializer_list>

#include "platform/DirectShow9.h"
#include "platform/sim/SimCameras.h"

namespace korvane::sim {
namespace {

constexpr LONG kAuto = VideoProcAmp_Flags_Auto;
constexpr LONG kManual = VideoProcAmp_Flags_Manual;
constexpr LONG kAutoAndManual = kAuto | kManual;
constexpr REFERENCE_TIME k30Fps = 333333;
constexpr REFERENCE_TIME k15Fps = 666666;

// A control that starts at its default, in the given mode.
SimControl Control(LONG min, LONG max, LONG step, LONG defaultValue, LONG caps,
                   LONG flags = kManual) {
  return SimControl{min, max, step, defaultValue, caps, defaultValue, flags};
}

// How the demo cameras encode pictures: raw YUY2 and Motion JPEG.
struct Encoding {
  GUID subtype;
  DWORD compression;
  WORD bitCount;
  bool fixedSizeSamples;
};
constexpr Encoding kEncodings[] = {
    {MEDIASUBTYPE_YUY2, MakeFourCC('Y', 'U', 'Y', '2'), 16, true},
    {MEDIASUBTYPE_MJPG, MakeFourCC('M', 'J', 'P', 'G'), 24, false},
};

struct Size {
  LONG width, height;
};

// Every size in both encodings, each at the given frame times.
std::vector<SimFormat> Formats(std::initializer_list<Size> sizes,
                               std::initializer_list<REFERENCE_TIME> frameTimes) {
  std::vector<SimFormat> formats;
  for (const Encoding& encoding : kEncodings) {
    for (const Size& size : sizes) {
      for (const REFERENCE_TIME frameTime : frameTimes) {
        SimFormat format;
        format.subtype = encoding.subtype;
        format.compression = encoding.compression;
        format.bitCount = encoding.bitCount;
        format.fixedSizeSamples = encoding.fixedSizeSamples;
        format.width = size.width;
        format.height = size.height;
        format.avgTimePerFrame = frameTime;
        formats.push_back(format);
      }
    }
  }
  return formats;
}

SimDevice Device(SimCategory category, std::string name, std::string path,
                 std::string description) {
  SimDevice device;
  device.category = category;
  device.friendlyName = std::move(name);
  device.devicePath = std::move(path);
  device.description = std::move(description);
  return device;
}

// A device of another category has no camera interfaces.
SimDevice NonCamera(SimCategory category, std::string name, std::string path) {
  SimDevice device = Device(category, std::move(name), std::move(path), "");
  device.description.reset();
  device.missingInterfaces = {"IAMVideoProcAmp", "IAMCameraControl", "IKsPropertySet",
                              "CapturePin",      "IAMVideoControl",  "ISpecifyPropertyPages"};
  return device;
}

SimDevice StudioCamera() {
  SimDevice device = Device(SimCategory::VideoInput, "Korvane Lumen Studio 1080",
                            "sim:usb-0000:00:14.0-1/lumen-studio-1080",
                            "Full HD studio camera with every control");
  device.videoProcAmp = {
      {VideoProcAmp_Brightness, Control(-64, 64, 1, 0, kManual)},
      {VideoProcAmp_Contrast, Control(0, 100, 1, 50, kManual)},
      {VideoProcAmp_Hue, Control(-180, 180, 1, 0, kAutoAndManual)},
      {VideoProcAmp_Saturation, Control(0, 128, 1, 64, kManual)},
      {VideoProcAmp_Sharpness, Control(0, 7, 1, 3, kManual)},
      {VideoProcAmp_Gamma, Control(72, 500, 1, 100, kManual)},
      {VideoProcAmp_ColorEnable, Control(0, 1, 1, 1, kManual)},
      {VideoProcAmp_WhiteBalance, Control(2800, 6500, 10, 4600, kAutoAndManual, kAuto)},
      {VideoProcAmp_BacklightCompensation, Control(0, 2, 1, 1, kManual)},
      {VideoProcAmp_Gain, Control(0, 255, 1, 32, kAutoAndManual, kAuto)},
      {KSPROPERTY_VIDEOPROCAMP_POWERLINE_FREQUENCY, Control(0, 2, 1, 1, kManual)},
  };
  device.cameraControl = {
      {CameraControl_Pan, Control(-180, 180, 1, 0, kManual)},
      {CameraControl_Tilt, Control(-90, 90, 1, 0, kManual)},
      {CameraControl_Roll, Control(-180, 180, 90, 0, kManual)},
      {CameraControl_Zoom, Control(100, 500, 10, 100, kManual)},
      {CameraControl_Exposure, Control(-11, -2, 1, -6, kAutoAndManual, kAuto)},
      {CameraControl_Iris, Control(0, 10, 1, 5, kManual)},
      {CameraControl_Focus, Control(0, 250, 5, 30, kAutoAndManual, kAuto)},
  };
  device.flash = SimKsRecord{0, 2};
  device.stabilization = SimKsRecord{4, 1};
  device.formats = Formats({{320, 240}, {640, 480}, {1280, 720}, {1920, 1080}}, {k30Fps, k15Fps});
  device.currentFormat = 2;  // 640x480 YUY2 at 30 frames per second
  return device;
}

SimDevice DeskCamera() {
  SimDevice device =
      Device(SimCategory::VideoInput, "Korvane Desk Cam 720", "sim:usb-0000:00:14.0-2/desk-cam-720",
             "HD desk camera without camera controls");
  device.videoProcAmp = {
      {VideoProcAmp_Brightness, Control(0, 255, 1, 128, kManual)},
      {VideoProcAmp_Contrast, Control(0, 255, 1, 32, kManual)},
      {VideoProcAmp_Saturation, Control(0, 255, 1, 64, kManual)},
      {VideoProcAmp_Sharpness, Control(0, 255, 1, 24, kManual)},
      {VideoProcAmp_WhiteBalance, Control(2000, 6500, 50, 4000, kAutoAndManual, kAuto)},
      {VideoProcAmp_Gain, Control(0, 100, 1, 0, kManual)},
      {KSPROPERTY_VIDEOPROCAMP_POWERLINE_FREQUENCY, Control(0, 2, 1, 2, kManual)},
  };
  device.missingInterfaces = {"IAMCameraControl"};
  device.formats = Formats({{640, 480}, {1280, 720}}, {k30Fps});
  return device;
}

SimDevice PtzCamera() {
  SimDevice device =
      Device(SimCategory::VideoInput, "Korvane Orbit PTZ", "sim:usb-0000:00:14.0-3/orbit-ptz",
             "Conference camera with pan, tilt and zoom");
  device.videoProcAmp = {
      {VideoProcAmp_Brightness, Control(-10, 10, 1, 0, kManual)},
      {VideoProcAmp_Contrast, Control(0, 20, 1, 10, kManual)},
      {VideoProcAmp_Saturation, Control(0, 20, 1, 10, kManual)},
      {VideoProcAmp_Gain, Control(0, 15, 1, 4, kAutoAndManual, kAuto)},
      {KSPROPERTY_VIDEOPROCAMP_POWERLINE_FREQUENCY, Control(0, 2, 1, 1, kManual)},
  };
  device.cameraControl = {
      {CameraControl_Pan, Control(-170, 170, 1, 0, kManual)},
      {CameraControl_Tilt, Control(-30, 90, 1, 0, kManual)},
      {CameraControl_Zoom, Control(0, 16384, 16, 0, kManual)},
  };
  device.formats = Formats({{640, 480}, {1280, 720}, {1920, 1080}}, {k30Fps});
  return device;
}

}  // namespace

SimDescription DemoCameras() {
  SimDescription demo;
  demo.devices = {StudioCamera(), DeskCamera(), PtzCamera()};
  SimDevice microphone = NonCamera(SimCategory::AudioInput, "Korvane Lumen Studio Microphone",
                                   "sim:usb-0000:00:14.0-1/lumen-studio-microphone");
  microphone.waveInId = 0;
  demo.devices.push_back(std::move(microphone));
  demo.devices.push_back(NonCamera(SimCategory::VideoCompressor, "Korvane Motion JPEG Encoder",
                                   "sim:codec/motion-jpeg"));
  demo.devices.push_back(
      NonCamera(SimCategory::AudioCompressor, "Korvane ADPCM Encoder", "sim:codec/adpcm"));
  return demo;
}

}  // namespace korvane::sim
