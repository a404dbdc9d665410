#pragma once
// The value types the camera component hands to its callers: control ranges, the
// enumerated controls, device descriptions and stream formats.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/com/ComTypes.h"

class TFCamera;

// The answer of one range query; Auto and Manual are the device's capabilities.
struct TFRange {
  LONG Min = 0;
  LONG Max = 0;
  LONG Delta = 0;
  LONG Default = 0;
  bool Auto = false;
  bool Manual = false;

  friend bool operator==(const TFRange&, const TFRange&) = default;
};

// The first member of each control enumeration stands for a device value we do not know.
enum TFPowerLineFrequency : std::uint8_t { pfUnknown, pfDisabled, pf50Hz, pf60Hz, pfAuto };
enum TFScanMode : std::uint8_t { smUnknown, smInterlace, smProgressive };
enum TFFlashMode : std::uint8_t { fmUnknown, fmOff, fmOn, fmAuto };
enum TFFlashControl : std::uint8_t { fcUnknown, fcAuto, fcManual };
enum TFVideoStabilizationMode : std::uint8_t { vmUnknown, vmOff, vmHigh, vmMedium, vmLow, vmAuto };
enum TFVideoStabilizationControl : std::uint8_t { vcUnknown, vcAuto, vcManual };

enum TFCaptureType : std::uint8_t { ctAuto, ctGrabber, ctVmr9 };
enum TFCameraState : std::uint8_t { csUnknown, csInactive, csStopped, csPaused, csRunning };
// Container of a recording.
enum TFMediaType : std::uint8_t { mtAsf, mtAvi };

struct TFVideoCaptureDevice {
  std::string Name;  // friendly name
  std::string Description;
  std::string Path;  // device path: tells two cameras with the same name apart

  friend bool operator==(const TFVideoCaptureDevice&, const TFVideoCaptureDevice&) = default;
};
using TFVideoCaptureDevices = std::vector<TFVideoCaptureDevice>;

struct TFAudioCaptureDevice {
  std::string Name;
  std::string Description;
  LONG WaveInID = 0;  // 0 when the device does not tell

  friend bool operator==(const TFAudioCaptureDevice&, const TFAudioCaptureDevice&) = default;
};
using TFAudioCaptureDevices = std::vector<TFAudioCaptureDevice>;

// A compression code as the bitmap header stores it: first character first; an uncompressed
// format has four zero bytes.
using TFFourCC = std::array<char, 4>;

struct TFRect {
  LONG Left = 0;
  LONG Top = 0;
  LONG Right = 0;
  LONG Bottom = 0;

  friend bool operator==(const TFRect&, const TFRect&) = default;
};

// One video format of the capture pin.
struct TFCameraFormat {
  LONG Width = 0;
  LONG Height = 0;                     // negative for top-down images
  REFERENCE_TIME AvgTimePerFrame = 0;  // units of 100 ns
  bool FixedSizeSamples = false;
  bool TemporalCompression = false;
  LONG SampleSize = 0;
  TFRect Source;
  TFRect Target;
  LONG BitRate = 0;
  LONG BitErrorRate = 0;
  LONG BitsPerPixel = 0;
  TFFourCC Compression{};
  LONG XPelsPerMeter = 0;
  LONG YPelsPerMeter = 0;

  friend bool operator==(const TFCameraFormat&, const TFCameraFormat&) = default;
};
using TFCameraFormats = std::vector<TFCameraFormat>;

// The frame-available handler: the component that raised it and the sample's start time in
// seconds. It runs on the platform's streaming thread.
using TFImageAvailableEvent = std::function<void(TFCamera& Sender, double SampleTime)>;

// A control of the user-interface toolkit, as the preview needs it; ui/ supplies it.
class TFControl;
