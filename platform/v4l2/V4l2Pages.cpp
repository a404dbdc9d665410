#include "platform/v4l2/V4l2Pages.h"

#include <linux/videodev2.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "platform/com/ClassRegistry.h"
#include "platform/com/ErrorText.h"
#include "platform/os/PropertyPage.h"
#include "platform/v4l2/V4l2Controls.h"
#include "platform/v4l2/V4l2Filter.h"

namespace korvane::v4l2 {
namespace {

using os::DescribedPropertyPage;
using os::PropertyPageControl;

// A driver with a runaway control list must not hang the dialog.
constexpr std::size_t kMaxControls = 1024;
constexpr std::uint32_t kMaxMenuItems = 256;

constexpr CLSID kPageBase = MakeGuid("00000000-7A3C-4F1B-8D22-5E9C0B4A6D17");

CLSID PageIdOf(std::uint32_t controlClass) {
  CLSID id = kPageBase;
  id.Data1 = controlClass;
  return id;
}

std::uint32_t ClassOf(std::uint32_t id) {
  return V4L2_CTRL_ID2WHICH(id);
}

// What a page is called when the driver does not name its class (UVC does not).
std::string ClassTitle(std::uint32_t controlClass) {
  switch (controlClass) {
    case V4L2_CTRL_CLASS_USER:
      return "User Controls";
    case V4L2_CTRL_CLASS_CAMERA:
      return "Camera Controls";
    case V4L2_CTRL_CLASS_JPEG:
      return "JPEG Compression Controls";
    case V4L2_CTRL_CLASS_IMAGE_SOURCE:
      return "Image Source Controls";
    case V4L2_CTRL_CLASS_IMAGE_PROC:
      return "Image Processing Controls";
    default:  // a camera maker's own controls, mapped by its extension unit
      return "Extension Controls";
  }
}

std::string NameOf(const v4l2_query_ext_ctrl& control) {
  return std::string(control.name, strnlen(control.name, sizeof(control.name)));
}

LONG Clamped(long long value) {
  return static_cast<LONG>(std::clamp<long long>(value, std::numeric_limits<LONG>::min(),
                                                 std::numeric_limits<LONG>::max()));
}

// The ids the UVC driver maps onto standard controls, with the names it gives them: where a
// control's query fails, the walk cannot learn its id from the failed call, so it looks for it
// among these.
constexpr std::pair<std::uint32_t, std::string_view> kStandardControls[] = {
    {V4L2_CID_BRIGHTNESS, "Brightness"},
    {V4L2_CID_CONTRAST, "Contrast"},
    {V4L2_CID_SATURATION, "Saturation"},
    {V4L2_CID_HUE, "Hue"},
    {V4L2_CID_AUTO_WHITE_BALANCE, "White Balance, Automatic"},
    {V4L2_CID_RED_BALANCE, "Red Balance"},
    {V4L2_CID_BLUE_BALANCE, "Blue Balance"},
    {V4L2_CID_GAMMA, "Gamma"},
    {V4L2_CID_AUTOGAIN, "Gain, Automatic"},
    {V4L2_CID_GAIN, "Gain"},
    {V4L2_CID_POWER_LINE_FREQUENCY, "Power Line Frequency"},
    {V4L2_CID_HUE_AUTO, "Hue, Automatic"},
    {V4L2_CID_WHITE_BALANCE_TEMPERATURE, "White Balance Temperature"},
    {V4L2_CID_SHARPNESS, "Sharpness"},
    {V4L2_CID_BACKLIGHT_COMPENSATION, "Backlight Compensation"},
    {V4L2_CID_COLOR_KILLER, "Color Killer"},
    {V4L2_CID_EXPOSURE_AUTO, "Auto Exposure"},
    {V4L2_CID_EXPOSURE_ABSOLUTE, "Exposure Time, Absolute"},
    {V4L2_CID_EXPOSURE_AUTO_PRIORITY, "Exposure, Dynamic Framerate"},
    {V4L2_CID_PAN_RELATIVE, "Pan, Relative"},
    {V4L2_CID_TILT_RELATIVE, "Tilt, Relative"},
    {V4L2_CID_PAN_RESET, "Pan, Reset"},
    {V4L2_CID_TILT_RESET, "Tilt, Reset"},
    {V4L2_CID_PAN_ABSOLUTE, "Pan, Absolute"},
    {V4L2_CID_TILT_ABSOLUTE, "Tilt, Absolute"},
    {V4L2_CID_FOCUS_ABSOLUTE, "Focus, Absolute"},
    {V4L2_CID_FOCUS_RELATIVE, "Focus, Relative"},
    {V4L2_CID_FOCUS_AUTO, "Focus, Automatic Continuous"},
    {V4L2_CID_ZOOM_ABSOLUTE, "Zoom, Absolute"},
    {V4L2_CID_ZOOM_RELATIVE, "Zoom, Relative"},
    {V4L2_CID_ZOOM_CONTINUOUS, "Zoom, Continuous"},
    {V4L2_CID_PRIVACY, "Privacy"},
    {V4L2_CID_IRIS_ABSOLUTE, "Iris, Absolute"},
    {V4L2_CID_IRIS_RELATIVE, "Iris, Relative"},
    {V4L2_CID_PAN_SPEED, "Pan, Speed"},
    {V4L2_CID_TILT_SPEED, "Tilt, Speed"},
};

// One control of the walk: what the driver reports, or the error its query gave.
struct ListedControl {
  v4l2_query_ext_ctrl query{};
  int error = 0;
};

// The first standard control after `after` that the driver has, with its query's result.
std::optional<ListedControl> NextStandardControl(V4l2Device& device, std::uint32_t after) {
  std::optional<ListedControl> next;
  for (const auto& [id, name] : kStandardControls) {
    if (id <= after || (next && id >= next->query.id)) continue;
    ListedControl candidate;
    candidate.query.id = id;
    candidate.error = device.Ioctl(VIDIOC_QUERY_EXT_CTRL, &candidate.query);
    if (candidate.error == EINVAL) continue;  // the camera does not have it
    if (candidate.error != 0) {
      candidate.query = v4l2_query_ext_ctrl{};
      candidate.query.id = id;
    }
    next = candidate;
  }
  return next;
}

// Every control the driver lists, in its order. A control whose query fails (its firmware
// answers the range query with an error) is that control's failure: it is listed with its
// error, and the walk goes on after it.
std::vector<ListedControl> AllControls(V4l2Device& device, int* error) {
  std::vector<ListedControl> controls;
  std::uint32_t after = 0;
  *error = 0;
  while (controls.size() < kMaxControls) {
    ListedControl control;
    control.query.id = after | V4L2_CTRL_FLAG_NEXT_CTRL | V4L2_CTRL_FLAG_NEXT_COMPOUND;
    const int result = device.Ioctl(VIDIOC_QUERY_EXT_CTRL, &control.query);
    if (result == EINVAL) break;  // past the last control
    if (result == 0) {
      // A driver that does not move on would loop for ever.
      if (!controls.empty() && control.query.id <= controls.back().query.id) break;
      controls.push_back(control);
      after = control.query.id;
      continue;
    }
    // The failed call does not say which control failed. A maker's own control that fails
    // before the next standard one is lost; the walk goes on from that standard one.
    std::optional<ListedControl> next = NextStandardControl(device, after);
    if (!next) {
      if (controls.empty()) *error = result;
      break;
    }
    controls.push_back(*next);
    after = next->query.id;
  }
  return controls;
}

std::string StandardName(std::uint32_t id) {
  for (const auto& [standard, name] : kStandardControls) {
    if (standard == id) return std::string(name);
  }
  char text[32];
  std::snprintf(text, sizeof text, "Control 0x%08x", static_cast<unsigned>(id));
  return text;
}

// Boolean companions that the page shows as the Auto box of the control they run: only where
// that control is there too, else the switch is shown on its own (a camera that sets white
// balance as red and blue components has the switch without the temperature).
bool IsBooleanCompanion(std::uint32_t id, const std::vector<ListedControl>& all) {
  for (const std::uint32_t value : {V4L2_CID_WHITE_BALANCE_TEMPERATURE, V4L2_CID_FOCUS_ABSOLUTE,
                                    V4L2_CID_HUE, V4L2_CID_GAIN, V4L2_CID_BRIGHTNESS}) {
    const ControlMapping* mapping = FindMappingOfValue(value);
    if (!mapping || mapping->autoKind != AutoKind::Boolean || mapping->autoId != id) continue;
    if (std::any_of(all.begin(), all.end(), [&](const ListedControl& other) {
          return other.query.id == value && other.error == 0 &&
                 !(other.query.flags & V4L2_CTRL_FLAG_DISABLED);
        })) {
      return true;
    }
  }
  return false;
}

class ControlClassPage final : public DescribedPropertyPage {
 public:
  explicit ControlClassPage(std::uint32_t controlClass)
      : DescribedPropertyPage(""), controlClass_(controlClass) {}

  HRESULT GetTitle(std::string* title) override {
    if (!title) return E_POINTER;
    *title = title_;
    return S_OK;
  }

 protected:
  HRESULT Build(IUnknown& object) override {
    ComPtr<IV4l2DeviceAccess> access;
    const HRESULT found =
        object.QueryInterface(IID_IV4l2DeviceAccess, access.ReleaseAndGetVoidAddressOf());
    if (FAILED(found) || !access) return FAILED(found) ? found : E_NOINTERFACE;
    device_ = access->Device();
    const HRESULT opened = device_->EnsureOpen();
    if (FAILED(opened)) return opened;
    controls_ = std::make_shared<V4l2Controls>(device_);
    int error = 0;
    const auto all = AllControls(*device_, &error);
    if (error != 0) return ResultFromErrno(error, CallKind::Other);
    title_ = ClassTitle(controlClass_);
    std::vector<std::pair<ULONG, LONG>> defaults;
    for (const ListedControl& listed : all) {
      const v4l2_query_ext_ctrl& control = listed.query;
      if (ClassOf(control.id) != controlClass_) continue;
      if (listed.error != 0) {
        AddFailed(control.id, listed.error);
        continue;
      }
      if (control.type == V4L2_CTRL_TYPE_CTRL_CLASS) {
        title_ = NameOf(control);
        continue;
      }
      if (control.flags & V4L2_CTRL_FLAG_DISABLED) continue;
      AddControl(control, all, defaults);
    }
    if (!defaults.empty()) Add(PropertyPageControl::Action("Default", std::move(defaults)));
    return S_OK;
  }

 private:
  // A control the camera cannot describe is shown by its name as unavailable: its value cannot
  // be read, so the frame greys it, and nothing is written to it.
  void AddFailed(std::uint32_t id, int error) {
    const std::string why = com::OleErrorMessage(ResultFromErrno(error, CallKind::ControlQuery));
    const HRESULT failure = ResultFromErrno(error, CallKind::ControlQuery);
    Binding binding;
    binding.get = [failure](LONG*) { return failure; };
    PropertyPageControl shown =
        PropertyPageControl::Slider(StandardName(id) + " (unavailable: " + why + ")", 0, 0, 1, 0);
    shown.readOnly = true;
    Add(shown, binding);
  }

  void AddControl(const v4l2_query_ext_ctrl& control, const std::vector<ListedControl>& all,
                  std::vector<std::pair<ULONG, LONG>>& defaults) {
    std::string caption = NameOf(control);
    const bool readOnly = (control.flags & V4L2_CTRL_FLAG_READ_ONLY) != 0;
    // A control whose companion runs it is shown with the companion as its Auto box; any other
    // control the driver calls inactive says so.
    const ControlMapping* mapping = FindMappingOfValue(control.id);
    const bool hasAutoBox = mapping && mapping->autoKind == AutoKind::Boolean &&
                            std::any_of(all.begin(), all.end(), [&](const ListedControl& other) {
                              return other.query.id == mapping->autoId && other.error == 0 &&
                                     !(other.query.flags & V4L2_CTRL_FLAG_DISABLED);
                            });
    if ((control.flags & V4L2_CTRL_FLAG_INACTIVE) && !hasAutoBox && !mapping) {
      caption += " (inactive)";
    }
    PropertyPageControl shown;
    switch (control.type) {
      case V4L2_CTRL_TYPE_INTEGER:
        // A write-only control whose range holds 0 moves the camera until 0 is written (a
        // speed or a relative step); reading it fails, so it is held, never read.
        if ((control.flags & V4L2_CTRL_FLAG_WRITE_ONLY) && !readOnly && control.minimum <= 0 &&
            control.maximum >= 0) {
          Add(PropertyPageControl::Hold(caption, Clamped(control.minimum), Clamped(control.maximum),
                                        Clamped(control.step)),
              WriteBinding(control.id));
          return;
        }
        shown =
            PropertyPageControl::Slider(caption, Clamped(control.minimum), Clamped(control.maximum),
                                        Clamped(control.step), Clamped(control.default_value));
        break;
      case V4L2_CTRL_TYPE_BOOLEAN:
        if (IsBooleanCompanion(control.id, all)) return;  // the Auto box of its control
        shown = PropertyPageControl::Choice(caption, {{0, "Off"}, {1, "On"}});
        break;
      case V4L2_CTRL_TYPE_MENU:
      case V4L2_CTRL_TYPE_INTEGER_MENU:
        shown = PropertyPageControl::Choice(caption, MenuEntries(control));
        break;
      case V4L2_CTRL_TYPE_BUTTON:
        if (readOnly) return;
        Add(PropertyPageControl::Button(caption), ButtonBinding(control.id));
        return;
      default:
        return;  // strings, 64-bit and compound controls have no place on a page of values
    }
    shown.readOnly = readOnly;
    // Some cameras report a default outside their own range, or a menu item they do not offer:
    // the driver would clamp or refuse it, so the Default button leaves that control as it is,
    // and its caption says so.
    const bool defaultFits =
        shown.kind == PropertyPageControl::Kind::Choice
            ? std::any_of(shown.entries.begin(), shown.entries.end(),
                          [&](const auto& entry) { return entry.first == control.default_value; })
            : control.default_value >= control.minimum && control.default_value <= control.maximum;
    const bool resettable = !readOnly && !(control.flags & V4L2_CTRL_FLAG_WRITE_ONLY);
    if (resettable && !defaultFits) shown.caption += " (its default is out of range)";
    const ULONG index = Add(shown, ValueBinding(control.id, readOnly));
    if (resettable && defaultFits) defaults.emplace_back(index, Clamped(control.default_value));
    if (hasAutoBox) Add(PropertyPageControl::AutoBox(), AutoBinding(mapping->autoId));
  }

  std::vector<std::pair<LONG, std::string>> MenuEntries(const v4l2_query_ext_ctrl& control) {
    std::vector<std::pair<LONG, std::string>> entries;
    if (control.minimum < 0 || control.maximum < control.minimum) return entries;
    const auto last = static_cast<std::uint32_t>(
        std::min<long long>(control.maximum, control.minimum + kMaxMenuItems));
    for (auto item = static_cast<std::uint32_t>(control.minimum); item <= last; ++item) {
      v4l2_querymenu menu{};
      menu.id = control.id;
      menu.index = item;
      if (device_->Ioctl(VIDIOC_QUERYMENU, &menu) != 0) continue;  // a hole in the menu
      const std::string text =
          control.type == V4L2_CTRL_TYPE_INTEGER_MENU
              ? std::to_string(menu.value)
              : std::string(reinterpret_cast<const char*>(menu.name),
                            strnlen(reinterpret_cast<const char*>(menu.name), sizeof(menu.name)));
      entries.emplace_back(static_cast<LONG>(item), text);
    }
    return entries;
  }

  Binding ValueBinding(std::uint32_t id, bool readOnly) const {
    auto device = device_;
    auto controls = controls_;
    Binding binding;
    binding.get = [device, id](LONG* value) {
      v4l2_control control{id, 0};
      const HRESULT result = device->Call(VIDIOC_G_CTRL, &control, CallKind::ControlQuery);
      if (SUCCEEDED(result)) *value = control.value;
      return result;
    };
    if (!readOnly)
      binding.set = [controls, id](LONG value) { return controls->WriteManual(id, value); };
    return binding;
  }

  Binding AutoBinding(std::uint32_t companion) const {
    auto device = device_;
    return {[device, companion](LONG* value) {
              v4l2_control control{companion, 0};
              const HRESULT result = device->Call(VIDIOC_G_CTRL, &control, CallKind::ControlQuery);
              if (SUCCEEDED(result)) *value = control.value != 0 ? 1 : 0;
              return result;
            },
            [device, companion](LONG value) {
              v4l2_control control{companion, value != 0 ? 1 : 0};
              return device->Call(VIDIOC_S_CTRL, &control, CallKind::ControlWrite);
            }};
  }

  Binding WriteBinding(std::uint32_t id) const {
    auto device = device_;
    Binding binding;
    binding.set = [device, id](LONG value) {
      v4l2_control control{id, value};
      return device->Call(VIDIOC_S_CTRL, &control, CallKind::ControlWrite);
    };
    return binding;
  }

  Binding ButtonBinding(std::uint32_t id) const {
    auto device = device_;
    Binding binding;
    binding.set = [device, id](LONG) {
      v4l2_control control{id, 1};
      return device->Call(VIDIOC_S_CTRL, &control, CallKind::ControlWrite);
    };
    return binding;
  }

  const std::uint32_t controlClass_;
  std::string title_;
  std::shared_ptr<V4l2Device> device_;
  std::shared_ptr<V4l2Controls> controls_;
};

}  // namespace

HRESULT ControlPageIds(V4l2Device& device, std::vector<CLSID>* ids) {
  ids->clear();
  const HRESULT opened = device.EnsureOpen();
  if (FAILED(opened)) return opened;
  int error = 0;
  const auto controls = AllControls(device, &error);
  if (error != 0) return ResultFromErrno(error, CallKind::Other);
  std::vector<std::uint32_t> classes;
  for (const ListedControl& listed : controls) {
    const v4l2_query_ext_ctrl& control = listed.query;
    const std::uint32_t controlClass = ClassOf(control.id);
    if (control.type == V4L2_CTRL_TYPE_CTRL_CLASS || (control.flags & V4L2_CTRL_FLAG_DISABLED))
      continue;
    if (std::find(classes.begin(), classes.end(), controlClass) == classes.end())
      classes.push_back(controlClass);
  }
  for (const std::uint32_t controlClass : classes) {
    const CLSID id = PageIdOf(controlClass);
    com::RegisterClass(id, com::FactoryOf<ControlClassPage>(controlClass));
    ids->push_back(id);
  }
  return S_OK;
}

}  // namespace korvane::v4l2
