// The simulated-camera file format. Every record is described once, as a table of fields
// (name, member, codec); reading and writing both walk that table, so the two cannot drift
// apart. Writing leaves out fields that hold their default, except those a reader of the file
// expects to see.

#include "platform/sim/SimJson.h"

#include <array>
#include <charconv>
#include <cstdio>
#include <limits>
#include <span>
#include <tuple>
#include <utility>

#include "camera/FDirectShow9.h"
#include "platform/sim/JsonPositions.h"
#include "platform/sim/SimMediaTypes.h"

namespace korvane::sim {
namespace {

using Json = nlohmann::ordered_json;

// A value that is not what its field needs, named by its JSON pointer.
struct DecodeError {
  std::string pointer;
  std::string message;
};

[[noreturn]] void Fail(const std::string& at, std::string message) {
  throw DecodeError{at, std::move(message)};
}

std::string Child(const std::string& at, std::string_view key) {
  return at + "/" + EscapePointerToken(key);
}

// --- codecs of single values ----------------------------------------------------------------

template <class T>
struct Number {
  long long min = static_cast<long long>(std::numeric_limits<T>::min());
  unsigned long long max = static_cast<unsigned long long>(std::numeric_limits<T>::max());

  Json Encode(T value) const { return value; }
  T Decode(const Json& json, const std::string& at) const {
    if (json.is_number_unsigned()) {
      const auto value = json.get<unsigned long long>();
      if (value <= max && (min <= 0 || value >= static_cast<unsigned long long>(min))) {
        return static_cast<T>(value);
      }
    } else if (json.is_number_integer()) {
      const auto value = json.get<long long>();
      if (value >= min && (value < 0 || static_cast<unsigned long long>(value) <= max)) {
        return static_cast<T>(value);
      }
    }
    Fail(at, "expected a whole number from " + std::to_string(min) + " to " + std::to_string(max));
  }
};

struct Flag {
  Json Encode(bool value) const { return value; }
  bool Decode(const Json& json, const std::string& at) const {
    if (!json.is_boolean()) Fail(at, "expected true or false");
    return json.get<bool>();
  }
};

struct Text {
  Json Encode(const std::string& value) const { return value; }
  std::string Decode(const Json& json, const std::string& at) const {
    if (!json.is_string()) Fail(at, "expected a string");
    return json.get<std::string>();
  }
};

template <class Inner>
struct Optional {
  Inner inner;
  template <class T>
  Json Encode(const std::optional<T>& value) const {
    return value ? inner.Encode(*value) : Json(nullptr);
  }
  auto Decode(const Json& json, const std::string& at) const
      -> std::optional<decltype(inner.Decode(json, at))> {
    if (json.is_null()) return std::nullopt;
    return inner.Decode(json, at);
  }
};

// Result codes as the platform spells them: "0x80004005".
struct ResultCode {
  Json Encode(HRESULT value) const {
    char text[11];
    std::snprintf(text, sizeof(text), "0x%08X", static_cast<unsigned>(value));
    return text;
  }
  HRESULT Decode(const Json& json, const std::string& at) const {
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
  DWORD Decode(const Json& json, const std::string& at) const {
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
  GUID Decode(const Json& json, const std::string& at) const {
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
  SimCategory Decode(const Json& json, const std::string& at) const {
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
  std::chrono::microseconds Decode(const Json& json, const std::string& at) const {
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

struct InterfaceSet {
  Json Encode(const std::set<std::string>& value) const { return value; }
  std::set<std::string> Decode(const Json& json, const std::string& at) const {
    if (!json.is_array()) Fail(at, "expected a list of interface names");
    std::set<std::string> names;
    for (std::size_t i = 0; i < json.size(); ++i) {
      const std::string item = Text{}.Decode(json[i], at + "/" + std::to_string(i));
      if (std::ranges::find(kInterfaceNames, item) == kInterfaceNames.end()) {
        std::string known;
        for (const char* name : kInterfaceNames)
          known += (known.empty() ? "" : ", ") + std::string(name);
        Fail(at + "/" + std::to_string(i),
             "unknown interface \"" + item + "\" (known: " + known + ")");
      }
      names.insert(item);
    }
    return names;
  }
};

struct FaultMap {
  Json Encode(const std::map<std::string, HRESULT>& faults) const {
    Json json = Json::object();
    for (const auto& [call, result] : faults) json[call] = ResultCode{}.Encode(result);
    return json;
  }
  std::map<std::string, HRESULT> Decode(const Json& json, const std::string& at) const {
    if (!json.is_object()) Fail(at, "expected an object of calls and result codes");
    std::map<std::string, HRESULT> faults;
    for (const auto& [call, result] : json.items()) {
      if (call.find("::") == std::string::npos) {
        Fail(Child(at, call), "a call is named \"Interface::Method\", not \"" + call + "\"");
      }
      faults[call] = ResultCode{}.Decode(result, Child(at, call));
    }
    return faults;
  }
};

// --- records ----------------------------------------------------------------------------------

template <class Owner, class T, class Codec>
struct Field {
  const char* name;
  T Owner::*member;
  Codec codec;
  bool always = false;  // written even when it holds its default
};

template <class Owner, class T, class Codec>
constexpr Field<Owner, T, Codec> F(const char* name, T Owner::*member, Codec codec,
                                   bool always = false) {
  return {name, member, codec, always};
}

template <class T>
struct Record;

template <class T>
auto FieldsOf() {
  return Record<T>::Fields();
}

template <class T>
struct Object {
  Json Encode(const T& value) const {
    static const T defaults{};
    Json json = Json::object();
    std::apply(
        [&](const auto&... field) {
          ((field.always || !(value.*field.member == defaults.*field.member)
                ? void(json[field.name] = field.codec.Encode(value.*field.member))
                : void()),
           ...);
        },
        FieldsOf<T>());
    return json;
  }

  T Decode(const Json& json, const std::string& at) const {
    if (!json.is_object()) Fail(at, "expected an object");
    T value{};
    const auto fields = FieldsOf<T>();
    for (const auto& [key, item] : json.items()) {
      const std::string where = Child(at, key);
      const bool known = std::apply(
          [&](const auto&... field) {
            return ((key == field.name
                         ? (value.*field.member = field.codec.Decode(item, where), true)
                         : false) ||
                    ...);
          },
          fields);
      if (!known) {
        std::string names;
        std::apply(
            [&](const auto&... field) {
              ((names += (names.empty() ? "" : ", ") + std::string(field.name)), ...);
            },
            fields);
        Fail(where, "unknown field \"" + key + "\" (known: " + names + ")");
      }
    }
    return value;
  }
};

template <class Inner>
struct List {
  Inner inner;
  template <class T>
  Json Encode(const std::vector<T>& values) const {
    Json json = Json::array();
    for (const T& value : values) json.push_back(inner.Encode(value));
    return json;
  }
  auto Decode(const Json& json, const std::string& at) const {
    if (!json.is_array()) Fail(at, "expected a list");
    std::vector<decltype(inner.Decode(json, at))> values;
    for (std::size_t i = 0; i < json.size(); ++i) {
      values.push_back(inner.Decode(json[i], at + "/" + std::to_string(i)));
    }
    return values;
  }
};

// Controls by index, written by name where the index has one ("brightness"), else as the
// decimal index ("12").
struct ControlMap {
  NameTable<LONG> names;
  Json Encode(const std::map<LONG, SimControl>& controls) const {
    Json json = Json::object();
    for (const auto& [index, control] : controls)
      json[NameOf(index)] = Object<SimControl>{}.Encode(control);
    return json;
  }
  std::map<LONG, SimControl> Decode(const Json& json, const std::string& at) const {
    if (!json.is_object()) Fail(at, "expected an object of controls");
    std::map<LONG, SimControl> controls;
    for (const auto& [key, item] : json.items()) {
      const std::string where = Child(at, key);
      const LONG index = IndexOf(key, where);
      if (controls.contains(index))
        Fail(where, "control " + std::to_string(index) + " is given twice");
      controls[index] = Object<SimControl>{}.Decode(item, where);
    }
    return controls;
  }

 private:
  std::string NameOf(LONG index) const {
    for (const auto& [name, value] : names) {
      if (value == index) return name;
    }
    return std::to_string(index);
  }
  LONG IndexOf(const std::string& key, const std::string& where) const {
    for (const auto& [name, value] : names) {
      if (key == name) return value;
    }
    LONG index = 0;
    const auto [end, error] = std::from_chars(key.data(), key.data() + key.size(), index);
    if (error != std::errc() || end != key.data() + key.size() || key.empty()) {
      Fail(where, "unknown control \"" + key + "\" (known: " + KnownNames(names) +
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

// The offset of the value a pointer names, or of the nearest enclosing value that has one.
std::size_t OffsetOf(const PositionedJson& parsed, std::string pointer) {
  while (true) {
    if (const auto found = parsed.offsets.find(pointer); found != parsed.offsets.end()) {
      return found->second;
    }
    if (pointer.empty()) return 0;
    pointer.erase(pointer.rfind('/'));
  }
}

}  // namespace

SimFileError::SimFileError(std::size_t line, std::size_t column, const std::string& message)
    : std::runtime_error("line " + std::to_string(line) + ", column " + std::to_string(column) +
                         ": " + message),
      line_(line),
      column_(column),
      fault_(message) {}

SimDescription ParseSimDescription(std::string_view text) {
  PositionedJson parsed;
  try {
    parsed = ParseJsonWithPositions(text);
  } catch (const JsonSyntaxError& error) {
    const TextPlace place = PlaceOf(text, error.Offset());
    throw SimFileError(place.line, place.column, error.what());
  }
  try {
    return Object<SimDescription>{}.Decode(parsed.value, "");
  } catch (const DecodeError& error) {
    const TextPlace place = PlaceOf(text, OffsetOf(parsed, error.pointer));
    throw SimFileError(place.line, place.column, error.message);
  }
}

std::string ToJson(const SimDescription& description) {
  return Object<SimDescription>{}.Encode(description).dump(2) + "\n";
}

}  // namespace korvane::sim
