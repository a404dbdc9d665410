// The camera file read into a description: cameras, their controls (standard names resolved
// through the driver's table) and firmware, every fault told with its line and column; and the
// device state written back into the document.

#include "platform/v4l2/emulation/DescriptionJson.h"

#include <linux/videodev2.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <charconv>
#include <limits>
#include <map>
#include <utility>

#include "platform/sim/JsonPositions.h"
#include "platform/v4l2/emulation/FormatsJson.h"
#include "platform/v4l2/emulation/JsonFields.h"
#include "platform/v4l2/emulation/PositionedJson.h"
#include "platform/v4l2/emulation/StandardControls.h"

namespace korvane::v4l2::emulation {
namespace {

constexpr std::size_t kMaxCameras = 32;
constexpr std::size_t kMaxControls = 256;
constexpr std::size_t kMaxFormats = 64;
constexpr int kMaxNode = 255;

constexpr std::pair<std::string_view, int> kErrnoNames[] = {
    {"EPERM", EPERM},     {"ENOENT", ENOENT},       {"EINTR", EINTR},         {"EIO", EIO},
    {"ENXIO", ENXIO},     {"EAGAIN", EAGAIN},       {"ENOMEM", ENOMEM},       {"EACCES", EACCES},
    {"EBUSY", EBUSY},     {"ENODEV", ENODEV},       {"EINVAL", EINVAL},       {"ENOSPC", ENOSPC},
    {"EPIPE", EPIPE},     {"ERANGE", ERANGE},       {"EILSEQ", EILSEQ},       {"EPROTO", EPROTO},
    {"EREMOTE", EREMOTE}, {"ETIMEDOUT", ETIMEDOUT}, {"ESHUTDOWN", ESHUTDOWN},
};

constexpr std::pair<std::string_view, std::uint32_t> kControlTypes[] = {
    {"int", V4L2_CTRL_TYPE_INTEGER},
    {"bool", V4L2_CTRL_TYPE_BOOLEAN},
    {"menu", V4L2_CTRL_TYPE_MENU},
    {"button", V4L2_CTRL_TYPE_BUTTON},
};

std::string HexId(const Json& object, const std::string& at, std::string_view key) {
  const std::string text = Text(Required(object, at, key), Child(at, key));
  const bool valid = text.size() == 4 && std::all_of(text.begin(), text.end(), [](char c) {
                       return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
                     });
  if (!valid) Fail(Child(at, key), "expected four lower-case hexadecimal digits such as \"046d\"");
  return text;
}

std::uint32_t ParseControlId(const Json& json, const std::string& at) {
  std::int64_t id = 0;
  if (json.is_string()) {
    const std::string text = json.get<std::string>();
    std::uint32_t value = 0;
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const auto [end, error] =
        std::from_chars(text.data() + (hex ? 2 : 0), text.data() + text.size(), value, 16);
    if (!hex || error != std::errc() || end != text.data() + text.size()) {
      Fail(at, "expected a control id such as 10094849 or \"0x009a0901\"");
    }
    id = value;
  } else {
    id = Integer(json, at, 1, V4L2_CTRL_ID_MASK);
  }
  if (id < 1 || id > V4L2_CTRL_ID_MASK) Fail(at, "a control id is from 1 to 0x0fffffff");
  return static_cast<std::uint32_t>(id);
}

void ParseMenu(const Json& json, const std::string& at, const StandardControl* standard,
               ControlDescription* control) {
  ExpectArray(json, at, 1, 64);
  for (std::size_t i = 0; i < json.size(); ++i) {
    const std::string itemAt = Child(at, i);
    const Json& item = json[i];
    std::int64_t index = 0;
    std::string name;
    if (item.is_object()) {
      ExpectObject(item, itemAt, {"index", "name"});
      index = Integer(Required(item, itemAt, "index"), Child(itemAt, "index"), 0, 63);
      if (const auto given = OptionalText(item, itemAt, "name")) name = *given;
    } else {
      index = Integer(item, itemAt, 0, 63);
    }
    if (standard) {
      if (index >= static_cast<std::int64_t>(standard->menuNames.size())) {
        Fail(itemAt, "this control's menu has the items 0 to 3");
      }
      if (name.empty()) name = standard->menuNames[index];
    }
    if (name.empty()) name = std::to_string(index);
    if ((control->menuItems >> index) & 1) Fail(itemAt, "this item is listed twice");
    control->menuItems |= std::uint64_t{1} << index;
    if (control->menuNames.size() <= static_cast<std::size_t>(index)) {
      control->menuNames.resize(index + 1);
    }
    control->menuNames[index] = name;
  }
}

ControlDescription ParseControl(const Json& json, const std::string& at, std::size_t jsonIndex,
                                int extensionIndex) {
  ExpectObject(json, at,
               {"name", "id", "type", "min", "max", "step", "default", "value", "menu", "readOnly",
                "writeOnly"});
  ControlDescription control;
  control.jsonIndex = jsonIndex;
  const std::string name = Text(Required(json, at, "name"), Child(at, "name"));
  const StandardControl* standard = nullptr;
  std::optional<std::uint32_t> givenType;
  if (const Json* type = Member(json, "type")) {
    const std::string text = Text(*type, Child(at, "type"));
    for (const auto& [typeName, value] : kControlTypes) {
      if (text == typeName) givenType = value;
    }
    if (!givenType) Fail(Child(at, "type"), "expected \"int\", \"bool\", \"menu\" or \"button\"");
  }
  if (const Json* id = Member(json, "id")) {
    // A control of the camera's own (an extension unit's), named as the driver reports it.
    control.id = ParseControlId(*id, Child(at, "id"));
    if (FindStandardControl(control.id)) {
      Fail(Child(at, "id"), "this is the id of a standard control; give its name instead");
    }
    if ((control.id & 0xFFFF) == 1) Fail(Child(at, "id"), "this is the id of a control class");
    if (!givenType) Fail(at, "a control with an \"id\" needs a \"type\"");
    control.type = *givenType;
    control.name = name;
    control.unit = Unit::kExtension;
    control.unitIndex = extensionIndex;
  } else {
    standard = FindStandardControl(name);
    if (!standard) {
      Fail(Child(at, "name"), "unknown control \"" + name +
                                  "\"; a camera's own control needs an \"id\" and a \"type\"");
    }
    if (givenType && *givenType != standard->type) {
      Fail(Child(at, "type"), "\"" + name + "\" has another type");
    }
    control.id = standard->id;
    control.type = standard->type;
    control.name = std::string(standard->name);
    control.unit = standard->unit;
    control.unitIndex = standard->unitIndex;
    control.autoUpdate = standard->autoUpdate;
    control.master = standard->master;
    control.masterManual = standard->masterManual;
  }
  control.readOnly = Boolean(json, at, "readOnly", false);
  control.writeOnly =
      Boolean(json, at, "writeOnly",
              control.type == V4L2_CTRL_TYPE_BUTTON || (standard && IsWriteOnly(*standard)));
  if (control.readOnly && control.writeOnly)
    Fail(at, "a control cannot be both read- and write-only");

  const auto number = [&](std::string_view key) -> std::optional<std::int32_t> {
    const Json* value = Member(json, key);
    if (!value) return std::nullopt;
    return Int32(*value, Child(at, key));
  };
  const bool menu = control.type == V4L2_CTRL_TYPE_MENU;
  if (menu != (Member(json, "menu") != nullptr)) {
    Fail(at, menu ? "a menu control needs its \"menu\" items" : "only a menu control has items");
  }
  switch (control.type) {
    case V4L2_CTRL_TYPE_INTEGER: {
      const auto minimum = number("min");
      const auto maximum = number("max");
      if (!minimum || !maximum) Fail(at, "an integer control needs \"min\" and \"max\"");
      if (*minimum > *maximum) Fail(Child(at, "min"), "\"min\" is larger than \"max\"");
      control.minimum = *minimum;
      control.maximum = *maximum;
      control.step = number("step").value_or(1);
      if (control.step < 0) Fail(Child(at, "step"), "a step is not negative");
      // A camera may report a default outside its own range; the driver passes it on as it
      // is, and so does the emulation.
      control.defaultValue = number("default").value_or(control.minimum);
      break;
    }
    case V4L2_CTRL_TYPE_MENU: {
      ParseMenu(*Member(json, "menu"), Child(at, "menu"), standard, &control);
      const std::uint64_t span =
          standard && standard->menuSpan ? standard->menuSpan : control.menuItems;
      control.minimum = std::countr_zero(span);
      control.maximum = 63 - std::countl_zero(span);
      control.step = 1;
      // A camera may report a default its menu does not offer; it is passed on as it is.
      control.defaultValue = number("default").value_or(std::countr_zero(control.menuItems));
      break;
    }
    case V4L2_CTRL_TYPE_BOOLEAN:
      control.maximum = 1;
      control.step = 1;
      control.defaultValue = number("default").value_or(0) != 0 ? 1 : 0;
      break;
    default:
      break;
  }
  if (control.type != V4L2_CTRL_TYPE_INTEGER) {
    for (const std::string_view key : {"min", "max", "step"}) {
      if (Member(json, key)) Fail(Child(at, key), "only an integer control has a range");
    }
  }
  // A camera may report a value outside its own range; that is kept as it is.
  control.value = number("value").value_or(control.defaultValue);
  return control;
}

// An error by its name ("EIO") or number.
int ErrorNumber(const Json& error, const std::string& at) {
  if (!error.is_string()) return static_cast<int>(Integer(error, at, 1, 4095));
  for (const auto& [name, value] : kErrnoNames) {
    if (error.get<std::string>() == name) return value;
  }
  Fail(at, "unknown error name");
}

Fault ParseFault(const Json& json, const std::string& at,
                 const std::vector<ControlDescription>& controls) {
  ExpectObject(json, at, {"control", "call", "errno", "times"});
  Fault fault;
  const std::string controlAt = Child(at, "control");
  const Json& control = Required(json, at, "control");
  if (control.is_string() && !control.get<std::string>().starts_with("0x")) {
    const std::string name = control.get<std::string>();
    const StandardControl* standard = FindStandardControl(name);
    for (const ControlDescription& c : controls) {
      if ((standard && c.id == standard->id) ||
          (!standard && c.unit == Unit::kExtension && c.name == name)) {
        fault.control = c.id;
      }
    }
  } else {
    fault.control = ParseControlId(control, controlAt);
  }
  if (std::none_of(controls.begin(), controls.end(),
                   [&](const ControlDescription& c) { return c.id == fault.control; })) {
    Fail(controlAt, "the camera has no such control");
  }
  const std::string call = Text(Required(json, at, "call"), Child(at, "call"));
  if (call == "get") {
    fault.call = Call::kGet;
  } else if (call == "set") {
    fault.call = Call::kSet;
  } else if (call == "query") {
    fault.call = Call::kQuery;
  } else {
    Fail(Child(at, "call"), "expected \"get\", \"set\" or \"query\"");
  }
  fault.error = ErrorNumber(Required(json, at, "errno"), Child(at, "errno"));
  if (const Json* times = Member(json, "times")) {
    fault.times = static_cast<int>(Integer(*times, Child(at, "times"), 1, 1'000'000));
  }
  return fault;
}

FirmwareDescription ParseFirmware(const Json& json, const std::string& at,
                                  const std::vector<ControlDescription>& controls) {
  ExpectObject(json, at, {"kernel", "inactiveCheck", "interruptCalls", "faults", "unplugging"});
  FirmwareDescription firmware;
  if (const auto kernel = OptionalText(json, at, "kernel")) {
    if (*kernel != "current" && *kernel != "6.1" && *kernel != "old") {
      Fail(Child(at, "kernel"), "expected \"6.1\", \"current\" or \"old\"");
    }
    firmware.oldKernel = *kernel == "old";
    firmware.streamRule = *kernel == "current" ? StreamRule::kQueueOwner : StreamRule::kPrivileges;
  }
  firmware.inactiveCheck = Boolean(json, at, "inactiveCheck", true);
  if (const Json* unplugging = Member(json, "unplugging")) {
    firmware.unplugError = ErrorNumber(*unplugging, Child(at, "unplugging"));
  }
  if (const Json* calls = Member(json, "interruptCalls")) {
    firmware.interruptCalls =
        static_cast<int>(Integer(*calls, Child(at, "interruptCalls"), 0, 1'000'000));
  }
  if (const Json* faults = Member(json, "faults")) {
    const std::string faultsAt = Child(at, "faults");
    ExpectArray(*faults, faultsAt, 0, kMaxControls);
    for (std::size_t i = 0; i < faults->size(); ++i) {
      firmware.faults.push_back(ParseFault((*faults)[i], Child(faultsAt, i), controls));
    }
  }
  return firmware;
}

FrameFault ParseFrameFault(const Json& json, const std::string& at) {
  ExpectObject(json, at, {"kind", "every", "width", "height"});
  static constexpr std::pair<const char*, FrameFaultKind> kKinds[] = {
      {"truncated", FrameFaultKind::kTruncated},
      {"otherSize", FrameFaultKind::kOtherSize},
      {"error", FrameFaultKind::kError},
      {"empty", FrameFaultKind::kEmpty}};
  FrameFault fault;
  const std::string kind = Text(Required(json, at, "kind"), Child(at, "kind"));
  const auto known = std::find_if(std::begin(kKinds), std::end(kKinds),
                                  [&](const auto& entry) { return kind == entry.first; });
  if (known == std::end(kKinds)) {
    Fail(Child(at, "kind"), "expected \"truncated\", \"otherSize\", \"error\" or \"empty\"");
  }
  fault.kind = known->second;
  if (const Json* every = Member(json, "every")) {
    fault.every = static_cast<std::uint32_t>(Integer(*every, Child(at, "every"), 1, 1'000'000));
  }
  if (fault.kind == FrameFaultKind::kOtherSize) {
    fault.width = Dimension(json, at, "width");
    fault.height = Dimension(json, at, "height");
  } else if (Member(json, "width") || Member(json, "height")) {
    Fail(at, "only a frame of another size has a width and a height");
  }
  return fault;
}

// The name udev gives the port: "usb-0000:00:14.0-1" is "pci-0000:00:14.0-usb-0:1:1.0".
std::string PathFromBusInfo(const std::string& busInfo) {
  const auto lastDash = busInfo.rfind('-');
  if (busInfo.starts_with("usb-") && lastDash != std::string::npos && lastDash > 4) {
    return "pci-" + busInfo.substr(4, lastDash - 4) + "-usb-0:" + busInfo.substr(lastDash + 1) +
           ":1.0";
  }
  return "platform-" + busInfo;
}

CameraDescription ParseCamera(const Json& json, const std::string& at, std::size_t index) {
  ExpectObject(
      json, at,
      {"id", "node", "metadataNode", "card", "busInfo", "usb", "byPath", "present", "plugs",
       "accessDenied", "controls", "formats", "current", "firmware", "frameFaults"});
  CameraDescription camera;
  camera.id = Text(Required(json, at, "id"), Child(at, "id"));
  if (camera.id.empty()) Fail(Child(at, "id"), "an id is not empty");
  if (const Json* node = Member(json, "node")) {
    camera.node = static_cast<int>(Integer(*node, Child(at, "node"), 0, kMaxNode - 1));
  }
  camera.metadataNode = Boolean(json, at, "metadataNode", true);

  const std::string usbAt = Child(at, "usb");
  const Json& usb = Required(json, at, "usb");
  ExpectObject(usb, usbAt, {"vendor", "product", "manufacturer", "productName", "serial"});
  camera.usb.vendor = HexId(usb, usbAt, "vendor");
  camera.usb.product = HexId(usb, usbAt, "product");
  camera.usb.manufacturer = OptionalText(usb, usbAt, "manufacturer");
  camera.usb.productName = OptionalText(usb, usbAt, "productName");
  camera.usb.serial = OptionalText(usb, usbAt, "serial");

  // Without a card name the driver names the camera after its product, else its ids.
  camera.card = OptionalText(json, at, "card")
                    .value_or(camera.usb.productName.value_or("UVC Camera (" + camera.usb.vendor +
                                                              ":" + camera.usb.product + ")"));
  camera.busInfo =
      OptionalText(json, at, "busInfo").value_or("usb-0000:00:14.0-" + std::to_string(index + 1));
  camera.byPath = OptionalText(json, at, "byPath").value_or(PathFromBusInfo(camera.busInfo));
  camera.present = Boolean(json, at, "present", true);
  if (const Json* plugs = Member(json, "plugs")) {
    camera.plugs = Integer(*plugs, Child(at, "plugs"), 0, std::numeric_limits<std::int32_t>::max());
  }
  camera.accessDenied = Boolean(json, at, "accessDenied", false);

  if (const Json* controls = Member(json, "controls")) {
    const std::string controlsAt = Child(at, "controls");
    ExpectArray(*controls, controlsAt, 0, kMaxControls);
    int extensionIndex = 0;
    for (std::size_t i = 0; i < controls->size(); ++i) {
      ControlDescription control =
          ParseControl((*controls)[i], Child(controlsAt, i), i, extensionIndex);
      if (control.unit == Unit::kExtension) ++extensionIndex;
      for (const ControlDescription& earlier : camera.controls) {
        if (earlier.id == control.id) Fail(Child(controlsAt, i), "this control is listed twice");
      }
      camera.controls.push_back(std::move(control));
    }
    std::sort(camera.controls.begin(), camera.controls.end(),
              [](const auto& a, const auto& b) { return a.id < b.id; });
    // The driver maps the automatic white balance switch twice: onto the temperature's own
    // automatic control, and onto the colour components' one, which has another index.
    const auto has = [&](std::uint32_t id) {
      return std::any_of(camera.controls.begin(), camera.controls.end(),
                         [&](const ControlDescription& c) { return c.id == id; });
    };
    if (!has(V4L2_CID_WHITE_BALANCE_TEMPERATURE) &&
        (has(V4L2_CID_RED_BALANCE) || has(V4L2_CID_BLUE_BALANCE))) {
      for (ControlDescription& control : camera.controls) {
        if (control.id == V4L2_CID_AUTO_WHITE_BALANCE) control.unitIndex = 13;
      }
    }
    // A companion the camera does not have makes nothing inactive.
    for (ControlDescription& control : camera.controls) {
      const bool hasMaster =
          std::any_of(camera.controls.begin(), camera.controls.end(),
                      [&](const ControlDescription& c) { return c.id == control.master; });
      if (!hasMaster) control.master = 0;
    }
  }

  const std::string formatsAt = Child(at, "formats");
  const Json& formats = ExpectArray(Required(json, at, "formats"), formatsAt, 1, kMaxFormats);
  for (std::size_t i = 0; i < formats.size(); ++i) {
    FormatDescription format = ParseFormat(formats[i], Child(formatsAt, i));
    for (const FormatDescription& earlier : camera.formats) {
      if (earlier.fourcc == format.fourcc) Fail(Child(formatsAt, i), "this format is listed twice");
    }
    camera.formats.push_back(std::move(format));
  }
  camera.current = ParseCurrent(Member(json, "current"), Child(at, "current"), camera.formats);
  if (const Json* firmware = Member(json, "firmware")) {
    camera.firmware = ParseFirmware(*firmware, Child(at, "firmware"), camera.controls);
  }
  if (const Json* faults = Member(json, "frameFaults")) {
    const std::string faultsAt = Child(at, "frameFaults");
    ExpectArray(*faults, faultsAt, 0, kMaxFormats);
    for (std::size_t i = 0; i < faults->size(); ++i) {
      camera.frameFaults.push_back(ParseFrameFault((*faults)[i], Child(faultsAt, i)));
    }
  }
  return camera;
}

EmulationDescription ParseTop(const Json& json) {
  ExpectObject(json, "", {"cameras"});
  const Json& cameras = ExpectArray(Required(json, "", "cameras"), "/cameras", 0, kMaxCameras);
  EmulationDescription description;
  std::map<int, std::string> nodes;  // node number -> pointer of the camera that claims it
  for (std::size_t i = 0; i < cameras.size(); ++i) {
    const std::string at = Child("/cameras", i);
    CameraDescription camera = ParseCamera(cameras[i], at, i);
    for (const CameraDescription& earlier : description.cameras) {
      if (earlier.id == camera.id) Fail(Child(at, "id"), "another camera has this id");
      if (earlier.byPath == camera.byPath) {
        Fail(at, "another camera is at the same port (\"byPath\")");
      }
    }
    if (camera.node) {
      for (int node = *camera.node; node <= *camera.node + (camera.metadataNode ? 1 : 0); ++node) {
        if (!nodes.emplace(node, at).second) {
          Fail(Child(at, "node"), "video" + std::to_string(node) + " belongs to another camera");
        }
      }
    }
    description.cameras.push_back(std::move(camera));
  }
  return description;
}

// Where the text nests deeper than allowed, before a parser walks into it.
std::optional<std::size_t> TooDeep(std::string_view text) {
  std::size_t depth = 0;
  bool inString = false;
  bool escaped = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (inString) {
      if (escaped) {
        escaped = false;
      } else if (c == '\\') {
        escaped = true;
      } else if (c == '"') {
        inString = false;
      }
    } else if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      if (++depth > kMaxNesting) return i;
    } else if ((c == ']' || c == '}') && depth > 0) {
      --depth;
    }
  }
  return std::nullopt;
}

[[noreturn]] void FailAt(std::string_view text, std::size_t offset, const std::string& message) {
  const sim::TextPlace place = sim::PlaceOf(text, offset);
  throw DescriptionError(place.line, place.column, message);
}

Json& CameraIn(Json& document, std::size_t camera) {
  return document.at("cameras").at(camera);
}

}  // namespace

DescriptionError::DescriptionError(std::size_t line, std::size_t column, const std::string& message)
    : std::runtime_error("line " + std::to_string(line) + ", column " + std::to_string(column) +
                         ": " + message),
      line_(line),
      column_(column) {}

ParsedDescription ParseDescription(std::string_view text) {
  if (text.size() > kMaxFileBytes) {
    FailAt(text, 0,
           "the file is larger than " + std::to_string(kMaxFileBytes / 1024 / 1024) + " MB");
  }
  if (const auto deep = TooDeep(text)) {
    FailAt(text, *deep, "nested deeper than " + std::to_string(kMaxNesting) + " levels");
  }
  PositionedJson parsed;
  try {
    parsed = ReadPositionedJson(text);
  } catch (const sim::JsonSyntaxError& error) {
    FailAt(text, error.Offset(), error.what());
  }
  try {
    ParsedDescription result;
    result.description = ParseTop(parsed.value);
    result.document = std::move(parsed.value);
    return result;
  } catch (const DecodeError& error) {
    FailAt(text, OffsetOfPointer(text, error.pointer), error.message);
  }
}

void StoreValue(Json& document, std::size_t camera, std::size_t control, std::int32_t value) {
  CameraIn(document, camera).at("controls").at(control)["value"] = value;
}

void StoreCurrent(Json& document, std::size_t camera, const CurrentFormat& current) {
  CameraIn(document, camera)["current"] = Json{{"fourcc", FourccText(current.fourcc)},
                                               {"width", current.width},
                                               {"height", current.height},
                                               {"interval", FractionText(current.interval)}};
}

void StorePresent(Json& document, std::size_t camera, bool present) {
  CameraIn(document, camera)["present"] = present;
}

std::string RenderDocument(const Json& document) {
  return document.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace korvane::v4l2::emulation
