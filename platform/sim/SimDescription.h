#pragma once
// What a simulated camera is: its identity, its controls, its formats and the ways it can
// misbehave. The same description drives the built-in demo, the test fixtures and the
// camera files that other processes share with the program.

#include <chrono>
#include <cstddef>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/com/MediaTypes.h"

namespace korvane::sim {

// One control of IAMVideoProcAmp or IAMCameraControl, by index.
struct SimControl {
  LONG min = 0, max = 0, step = 1, defaultValue = 0;
  LONG caps = 0;  // capability bits: 1 auto, 2 manual (GetRange's CapsFlags)
  LONG value = 0;
  LONG flags =
      2;  // current mode flags as Get returns them (1 auto, 2 manual, anything else allowed)

  friend bool operator==(const SimControl&, const SimControl&) = default;
};

// The 8-byte record of the flash and video stabilization property sets (mode, control).
struct SimKsRecord {
  DWORD first = 0;
  DWORD second = 0;

  friend bool operator==(const SimKsRecord&, const SimKsRecord&) = default;
};

struct SimFormat {
  GUID majortype = MEDIATYPE_Video;
  GUID subtype = MEDIASUBTYPE_YUY2;
  GUID formattype =
      FORMAT_VideoInfo;            // another GUID (FORMAT_VideoInfo2) offers a foreign format type
  LONG width = 640, height = 480;  // height may be negative (top-down)
  REFERENCE_TIME avgTimePerFrame = 333333;
  WORD bitCount = 16;
  DWORD compression = MakeFourCC('Y', 'U', 'Y', '2');  // 0 = uncompressed
  bool fixedSizeSamples = true, temporalCompression = false;
  ULONG sampleSize = 0;             // 0: computed width*|height|*bitCount/8
  std::optional<ULONG> formatSize;  // cbFormat override (87 = too short); default 88
  bool formatBlockMissing = false;  // cbFormat stays, pbFormat is nullptr

  friend bool operator==(const SimFormat&, const SimFormat&) = default;
};

enum class SimCategory { VideoInput, AudioInput, VideoCompressor, AudioCompressor };

struct SimDevice {
  SimCategory category = SimCategory::VideoInput;
  // nullopt: left out of the property bag.
  std::optional<std::string> friendlyName, devicePath, description;
  std::optional<LONG> waveInId;
  // Unplugged: not enumerated; interfaces already handed out answer
  // HRESULT_ERROR_DEVICE_NOT_CONNECTED.
  bool absent = false;
  bool unbindable = false;                  // IMoniker::BindToObject fails
  bool heldByAnotherProgram = false;        // streaming fails: the device is busy
  bool noPropertyBag = false;               // IMoniker::BindToStorage fails
  std::map<LONG, SimControl> videoProcAmp;  // index -> control; a missing index answers 0x80070490
  std::map<LONG, SimControl> cameraControl;
  std::optional<SimKsRecord> flash, stabilization;  // nullopt: the set answers 0x80070492
  std::vector<SimFormat> formats;                   // in the order the pin offers them
  std::size_t currentFormat = 0;  // index into formats (GetFormat answers it, SetFormat changes it)
  // Any of: "IAMVideoProcAmp", "IAMCameraControl", "IKsPropertySet" (filter),
  // "Pin.IKsPropertySet", "CapturePin" (no capture pin at all), "IAMStreamConfig",
  // "IEnumMediaTypes" (EnumMediaTypes succeeds with nullptr), "ISpecifyPropertyPages",
  // "IAMVideoControl".
  std::set<std::string> missingInterfaces;
  // Call -> result. Keys "Interface::Method" ("IAMVideoProcAmp::Get") or with a property index
  // ("IAMVideoProcAmp::Get#9"); also "IMoniker::BindToObject", "IPin::EnumMediaTypes",
  // "IEnumMediaTypes::Next", "IAMStreamConfig::GetFormat", "IAMStreamConfig::SetFormat",
  // "IKsPropertySet::Get", "IKsPropertySet::Set", "ISpecifyPropertyPages::GetPages",
  // "IBaseFilter::QueryFilterInfo", ...
  std::map<std::string, HRESULT> faults;
  std::optional<std::size_t> mediaTypeEnumFailAfter;  // IEnumMediaTypes::Next fails after k entries
  HRESULT mediaTypeEnumFailCode = E_FAIL;
  std::chrono::microseconds latency{0};  // added to every driver call

  friend bool operator==(const SimDevice&, const SimDevice&) = default;
};

struct SimDescription {
  std::vector<SimDevice> devices;

  friend bool operator==(const SimDescription&, const SimDescription&) = default;
};

}  // namespace korvane::sim
