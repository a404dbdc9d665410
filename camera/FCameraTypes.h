#pragma once
// The value types the camera component hands to its callers: control ranges, the
// enumerated controls, device descriptions and stream formats.

#include <array>
#include <cstdint>
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

struct TFPoint {
  LONG X = 0;
  LONG Y = 0;

  friend bool operator==(const TFPoint&, const TFPoint&) = default;
};

// What a snapshot wrote: a bitmap file or a JPEG image.
enum TFImageFormat : std::uint8_t { ifBmp, ifJpeg };

// The frame-available handler: a method of an object, kept as its code and its target, so
// that two handlers compare as the same method of the same object. It is called with the
// component that raised it and the sample's start time in seconds, on the platform's
// streaming thread.
class TFImageAvailableEvent {
 public:
  using TCode = void (*)(void* Target, TFCamera& Sender, double SampleTime);

  TFImageAvailableEvent() = default;
  // The handler that calls (Target.*Method)(Sender, SampleTime).
  template <auto Method, class T>
  static TFImageAvailableEvent Of(T& Target) {
    return TFImageAvailableEvent(&CallMethod<T, Method>, &Target);
  }

  TCode Code() const { return FCode; }
  void* Target() const { return FTarget; }
  explicit operator bool() const { return FCode != nullptr; }
  void operator()(TFCamera& Sender, double SampleTime) const { FCode(FTarget, Sender, SampleTime); }

  friend bool operator==(const TFImageAvailableEvent&, const TFImageAvailableEvent&) = default;

 private:
  TFImageAvailableEvent(TCode ACode, void* ATarget) : FCode(ACode), FTarget(ATarget) {}

  // One function per class and method: its address is the code of the handler.
  template <class T, auto Method>
  static void CallMethod(void* Target, TFCamera& Sender, double SampleTime) {
    (static_cast<T*>(Target)->*Method)(Sender, SampleTime);
  }

  TCode FCode = nullptr;
  void* FTarget = nullptr;
};
