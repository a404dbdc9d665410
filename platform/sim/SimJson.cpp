// The simulated-camera file format, as tables of fields (JsonCodecs.h). Writing leaves out
// fields that hold their default, except those a reader of the file expects to see.

#include "platform/sim/SimJson.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <limits>
#include <map>
#include <memory>
#include <set>
#include <span>
#include <string>
#include <tuple>
#include <utility>

#include "platform/DirectShow9.h"
#include "platform/sim/JsonCodecs.h"
#include "platform/sim/JsonPositions.h"
#include "platform/sim/SimMediaTypes.h"

namespace korvane::sim {

// The tables of the records follow the codecs they use; a codec may reach a record before.
namespace codec {
template <>
struct Record<SimControl>;
template <>
struct Record<SimKsRecord>;
template <>
struct Record<SimFormat>;
template <>
struct Record<SimDevice>;
template <>
struct Record<SimDescription>;
}  // namespace codec

namespace {

using codec::F;
using codec::Fail;
using codec::Flag;
using codec::Json;
using codec::List;
using codec::Number;
using codec::Object;
using codec::Optional;
using codec::Text;

// Result codes as the platform spells them: "0x80004005".
struct ResultCode {
  Json Encode(HRESULT value) const {
    char text[11];
    std::snprintf(text, sizeof(text), "0x%08X", static_cast<unsigned>(value));
    return text;
  }
  HRESULT Decode(const Json& json, std::size_t at) const {
    if (json.is_string()) {
      const std::string text = json.get<std::string>();
      unsigned value = 0;
      if (text.size() > 2 && text.size() <= 10 && text[0] == '0' &&
          (text[1] == 'x' || text[1] == 'X')) {
        const auto [end, error] =
            std::from_chars(text.data() + 2, text.data() + text.size(), value, 16);
        if (error == std::errc() && end == text.data() + text.size()) return MakeHResult(value);
      }
    } else if (json.is_number_integer()) {
      return static_cast<HRESULT>(
          Number<std::uint32_t>{std::numeric_limits<std::int32_t>::min(), 0xFFFFFFFFu}.Decode(json,
                                                                                              at));
    }
    Fail(at, "expected a result code such as \"0x80004005\"");
  }
};

// A four-character code as text ("YUY2"); codes that are not four printable characters as a
// number.
struct FourCC {
  Json Encode(DWORD value) const {
    std::string text;
    for (int shift = 0; shift < 32; shift += 8) {
      const char c = static_cast<char>((value >> shift) & 0xFF);
      if (c < 0x20 || c > 0x7E) return value;
      text += c;
    }
    return text;
  }
  DWORD Decode(const Json& json, std::size_t at) const {
    if (json.is_string()) {
      const std::string text = json.get<std::string>();
      if (text.size() == 4) return MakeFourCC(text[0], text[1], text[2], text[3]);
      Fail(at, "expected a four-character code such as \"YUY2\", or a number");
    }
    return Number<DWORD>{}.Decode(json, at);
  }
};

template <class T>
using NameTable = std::span<const std::pair<const char*, T>>;

template <class T>
std::string KnownNames(NameTable<T> names) {
  std::string list;
  for (const auto& [name, value] : names)
    list += (list.empty() ? "\"" : ", \"") + std::string(name) + "\"";
  return list;
}

struct NamedGuid {
  NameTable<GUID> names;
  Json Encode(const GUID& value) const {
    for (const auto& [name, guid] : names) {
      if (guid == value) return name;
    }
    return com::GuidToString(value);
  }
  GUID Decode(const Json& json, std::size_t at) const {
    if (json.is_string()) {
      const std::string text = json.get<std::string>();
      for (const auto& [name, guid] : names) {
        if (text == name) return guid;
      }
      if (const auto guid = com::GuidFromString(text)) return *guid;
    }
    Fail(at, "expected one of " + KnownNames(names) + " or a GUID");
  }
};

struct Category {
  static constexpr std::pair<const char*, SimCategory> kNames[] = {
      {"videoInput", SimCategory::VideoInput},
      {"audioInput", SimCategory::AudioInput},
      {"videoCompressor", SimCategory::VideoCompressor},
      {"audioCompressor", SimCategory::AudioCompressor},
  };
  Json Encode(SimCategory value) const {
    for (const auto& [name, category] : kNames) {
      if (category == value) return name;
    }
    return nullptr;
  }
  SimCategory Decode(const Json& json, std::size_t at) const {
    if (json.is_string()) {
      for (const auto& [name, category] : kNames) {
        if (json.get<std::string>() == name) return category;
      }
    }
    Fail(at, "expected one of " + KnownNames(NameTable<SimCategory>(kNames)));
  }
};

struct Microseconds {
  Json Encode(std::chrono::microseconds value) const { return value.count(); }
  std::chrono::microseconds Decode(const Json& json, std::size_t at) const {
    // Up to a minute: a longer wait would look like a frozen program, not a slow driver.
    return std::chrono::microseconds(Number<std::int64_t>{0, 60'000'000}.Decode(json, at));
  }
};

// Interface names a device can leave out.
constexpr std::array kInterfaceNames = {"IAMVideoProcAmp",
                                        "IAMCameraControl",
                                        "IKsPropertySet",
                                        "Pin.IKsPropertySet",
                                        "CapturePin",
                                        "IAMStreamConfig",
                                        "IEnumMediaTypes",
                                        "ISpecifyPropertyPages",
                                        "Pin.ISpecifyPropertyPages",
                                        "IAMVideoControl"};

// A known interface name; the list of them holds each once.
struct InterfaceName {
  std::string Decode(const Json& json, std::size_t at) const {
    const std::string name = Text{}.Decode(json, at);
    if (std::ranges::find(kInterfaceNames, name) == kInterfaceNames.end()) {
      std::string known;
      for (const char* each : kInterfaceNames)
        known += (known.empty() ? "" : ", ") + std::string(each);
      Fail(at, "unknown interface \"" + name + "\" (known: " + known + ")");
    }
    return name;
  }
};

class InterfaceNameSink final : public JsonSink {
 public:
  explicit InterfaceNameSink(std::set<std::string>& target) : target_(target) {}
  void Key(std::string) override {}
  void Scalar(const Json& value, std::size_t at) override {
    target_.insert(InterfaceName{}.Decode(value, at));
  }
  std::unique_ptr<JsonSink> Open(JsonContainer kind, std::size_t at) override {
    std::string name;
    return codec::OpenWith(InterfaceName{}, name, kind, at);  // refused: a name is a string
  }

 private:
  std::set<std::string>& target_;
};

struct InterfaceSet {
  static constexpr const char* kExpected = "expected a list of interface names";
  Json Encode(const std::set<std::string>& value) const { return value; }
  std::set<std::string> Decode(const Json&, std::size_t at) const { Fail(at, kExpected); }
  std::unique_ptr<JsonSink> Open(std::set<std::string>& target, JsonContainer kind,
                                 std::size_t at) const {
    if (kind != JsonContainer::Array) Fail(at, kExpected);
    target.clear();
    return std::make_unique<InterfaceNameSink>(target);
  }
};

struct FaultMap {
  static constexpr const char* kExpected = "expected an object of calls and result codes";
  Json Encode(const std::map<std::string, HRESULT>& faults) const {
    Json json = Json::object();
    for (const auto& [call, result] : faults) {
      codec::AppendMember(json, call, ResultCode{}.Encode(result));
    }
    return json;
  }
  std::map<std::string, HRESULT> Decode(const Json&, std::size_t at) const { Fail(at, kExpected); }
  std::unique_ptr<JsonSink> Open(std::map<std::string, HRESULT>& target, JsonContainer kind,
                                 std::size_t at) const {
    if (kind != JsonContainer::Object) Fail(at, kExpected);
    target.clear();
    return codec::MakeEntrySink(
        ResultCode{}, [&target](const std::string& call, std::size_t where) -> HRESULT& {
          if (call.find("::") == std::string::npos) {
            Fail(where, "a call is named \"Interface::Method\", not \"" + call + "\"");
          }
          return target[call];
        });
  }
};

// Controls by index, written by name where the index has one ("brightness"), else as the
// decimal index ("12").
struct ControlMap {
  static constexpr const char* kExpected = "expected an object of controls";
  NameTable<LONG> names;
  Json Encode(const std::map<LONG, SimControl>& controls) const {
    Json json = Json::object();
    for (const auto& [index, control] : controls) {
      codec::AppendMember(json, NameOf(index), Object<SimControl>{}.Encode(control));
    }
    return json;
  }
  std::map<LONG, SimControl> Decode(const Json&, std::size_t at) const { Fail(at, kExpected); }
  std::unique_ptr<JsonSink> Open(std::map<LONG, SimControl>& target, JsonContainer kind,
                                 std::size_t at) const {
    if (kind != JsonContainer::Object) Fail(at, kExpected);
    target.clear();
    return codec::MakeEntrySink(
        Object<SimControl>{},
        // The codec is a temporary of the field table: the sink keeps a copy.
        [codec = *this, &target](const std::string& key, std::size_t where) -> SimControl& {
          const LONG index = codec.IndexOf(key, where);
          const auto [entry, added] = target.try_emplace(index);
          if (!added) Fail(where, "control " + std::to_string(index) + " is given twice");
          return entry->second;
        });
  }

 private:
  std::string NameOf(LONG index) const {
    for (const auto& [name, value] : names) {
      if (value == index) return name;
    }
    return std::to_string(index);
  }
  LONG IndexOf(const std::string& key, std::size_t at) const {
    for (const auto& [name, value] : names) {
      if (key == name) return value;
    }
    LONG index = 0;
    const auto [end, error] = std::from_chars(key.data(), key.data() + key.size(), index);
    if (error != std::errc() || end != key.data() + key.size() || key.empty()) {
      Fail(at, "unknown control \"" + key + "\" (known: " + KnownNames(names) +
                   ", or a property index such as \"12\")");
    }
    return index;
  }
};

constexpr std::pair<const char*, LONG> kVideoProcAmpNames[] = {
    {"brightness", VideoProcAmp_Brightness},
    {"contrast", VideoProcAmp_Contrast},
    {"hue", VideoProcAmp_Hue},
    {"saturation", VideoProcAmp_Saturation},
    {"sharpness", VideoProcAmp_Sharpness},
    {"gamma", VideoProcAmp_Gamma},
    {"colorEnable", VideoProcAmp_ColorEnable},
    {"whiteBalance", VideoProcAmp_WhiteBalance},
    {"backlightCompensation", VideoProcAmp_BacklightCompensation},
    {"gain", VideoProcAmp_Gain},
    {"digitalMultiplier", KSPROPERTY_VIDEOPROCAMP_DIGITAL_MULTIPLIER},
    {"digitalMultiplierLimit", KSPROPERTY_VIDEOPROCAMP_DIGITAL_MULTIPLIER_LIMIT},
    {"powerLineFrequency", KSPROPERTY_VIDEOPROCAMP_POWERLINE_FREQUENCY},
};

constexpr std::pair<const char*, LONG> kCameraControlNames[] = {
    {"pan", CameraControl_Pan},
    {"tilt", CameraControl_Tilt},
    {"roll", CameraControl_Roll},
    {"zoom", CameraControl_Zoom},
    {"exposure", CameraControl_Exposure},
    {"iris", CameraControl_Iris},
    {"focus", CameraControl_Focus},
    {"scanMode", KSPROPERTY_CAMERACONTROL_SCANMODE},
    {"focalLength", KSPROPERTY_CAMERACONTROL_FOCAL_LENGTH},
};

constexpr std::pair<const char*, GUID> kMajorTypes[] = {
    {"video", MEDIATYPE_Video},
    {"audio", MEDIATYPE_Audio},
};
constexpr std::pair<const char*, GUID> kSubtypes[] = {
    {"YUY2", MEDIASUBTYPE_YUY2},   {"MJPG", MEDIASUBTYPE_MJPG},   {"NV12", MEDIASUBTYPE_NV12},
    {"RGB24", MEDIASUBTYPE_RGB24}, {"RGB32", MEDIASUBTYPE_RGB32},
};
constexpr std::pair<const char*, GUID> kFormatTypes[] = {
    {"videoInfo", FORMAT_VideoInfo},
    {"videoInfo2", FORMAT_VideoInfo2},
};

}  // namespace

// The records of the file, in the codecs' own namespace where their table is looked up.
namespace codec {

template <>
struct Record<SimControl> {
  static auto Fields() {
    return std::make_tuple(F("min", &SimControl::min, Number<LONG>{}, true),
                           F("max", &SimControl::max, Number<LONG>{}, true),
                           F("step", &SimControl::step, Number<LONG>{}, true),
                           F("default", &SimControl::defaultValue, Number<LONG>{}, true),
                           F("caps", &SimControl::caps, Number<LONG>{}, true),
                           F("value", &SimControl::value, Number<LONG>{}, true),
                           F("flags", &SimControl::flags, Number<LONG>{}, true));
  }
};

template <>
struct Record<SimKsRecord> {
  static auto Fields() {
    return std::make_tuple(F("mode", &SimKsRecord::first, Number<DWORD>{}, true),
                           F("control", &SimKsRecord::second, Number<DWORD>{}, true));
  }
};

template <>
struct Record<SimFormat> {
  static auto Fields() {
    return std::make_tuple(
        F("majorType", &SimFormat::majortype, NamedGuid{kMajorTypes}),
        F("subtype", &SimFormat::subtype, NamedGuid{kSubtypes}, true),
        F("formatType", &SimFormat::formattype, NamedGuid{kFormatTypes}),
        F("width", &SimFormat::width, Number<LONG>{}, true),
        F("height", &SimFormat::height, Number<LONG>{}, true),
        F("avgTimePerFrame", &SimFormat::avgTimePerFrame, Number<REFERENCE_TIME>{}, true),
        F("bitCount", &SimFormat::bitCount, Number<WORD>{}, true),
        F("compression", &SimFormat::compression, FourCC{}, true),
        F("fixedSizeSamples", &SimFormat::fixedSizeSamples, Flag{}),
        F("temporalCompression", &SimFormat::temporalCompression, Flag{}),
        F("sampleSize", &SimFormat::sampleSize, Number<ULONG>{}),
        F("formatSize", &SimFormat::formatSize, Optional<Number<ULONG>>{{0, kMaxFormatBlockSize}}),
        F("formatBlockMissing", &SimFormat::formatBlockMissing, Flag{}));
  }
};

template <>
struct Record<SimDevice> {
  static auto Fields() {
    return std::make_tuple(
        F("category", &SimDevice::category, Category{}, true),
        F("friendlyName", &SimDevice::friendlyName, Optional<Text>{}),
        F("devicePath", &SimDevice::devicePath, Optional<Text>{}),
        F("description", &SimDevice::description, Optional<Text>{}),
        F("waveInId", &SimDevice::waveInId, Optional<Number<LONG>>{}),
        F("absent", &SimDevice::absent, Flag{}), F("unbindable", &SimDevice::unbindable, Flag{}),
        F("noPropertyBag", &SimDevice::noPropertyBag, Flag{}),
        F("heldByAnotherProgram", &SimDevice::heldByAnotherProgram, Flag{}),
        F("videoProcAmp", &SimDevice::videoProcAmp, ControlMap{kVideoProcAmpNames}),
        F("cameraControl", &SimDevice::cameraControl, ControlMap{kCameraControlNames}),
        F("flash", &SimDevice::flash, Optional<Object<SimKsRecord>>{}),
        F("stabilization", &SimDevice::stabilization, Optional<Object<SimKsRecord>>{}),
        F("formats", &SimDevice::formats, List<Object<SimFormat>>{}),
        F("currentFormat", &SimDevice::currentFormat, Number<std::size_t>{}),
        F("missingInterfaces", &SimDevice::missingInterfaces, InterfaceSet{}),
        F("faults", &SimDevice::faults, FaultMap{}),
        F("mediaTypeEnumFailAfter", &SimDevice::mediaTypeEnumFailAfter,
          Optional<Number<std::size_t>>{}),
        F("mediaTypeEnumFailCode", &SimDevice::mediaTypeEnumFailCode, ResultCode{}),
        F("latencyMicroseconds", &SimDevice::latency, Microseconds{}));
  }
};

template <>
struct Record<SimDescription> {
  static auto Fields() {
    return std::make_tuple(F("devices", &SimDescription::devices, List<Object<SimDevice>>{}, true));
  }
};

}  // namespace codec

SimFileError::SimFileError(std::size_t line, std::size_t column, const std::string& message)
    : std::runtime_error("line " + std::to_string(line) + ", column " + std::to_string(column) +
                         ": " + message),
      line_(line),
      column_(column),
      fault_(message) {}

SimDescription ParseSimDescription(std::string_view text) {
  SimDescription description;
  codec::TopSink top(codec::Object<SimDescription>{}, description);
  try {
    ReadJson(text, top);
  } catch (const JsonSyntaxError& error) {
    const TextPlace place = PlaceOf(text, error.Offset());
    throw SimFileError(place.line, place.column, error.what());
  } catch (const codec::DecodeError& error) {
    const TextPlace place = PlaceOf(text, error.at);
    throw SimFileError(place.line, place.column, error.message);
  }
  return description;
}

std::string ToJson(const SimDescription& description) {
  return codec::Object<SimDescription>{}.Encode(description).dump(2) + "\n";
}

}  // namespace korvane::sim
