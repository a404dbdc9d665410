#include "platform/v4l2/V4l2Pages.h"

#include <linux/videodev2.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>

#include "platform/com/ClassRegistry.h"
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

// Every control the driver lists, in its order.
std::vector<v4l2_query_ext_ctrl> AllControls(V4l2Device& device, int* error) {
  std::vector<v4l2_query_ext_ctrl> controls;
  std::uint32_t next = V4L2_CTRL_FLAG_NEXT_CTRL | V4L2_CTRL_FLAG_NEXT_COMPOUND;
  *error = 0;
  while (controls.size() < kMaxControls) {
    v4l2_query_ext_ctrl control{};
    control.id = next;
    const int result = device.Ioctl(VIDIOC_QUERY_EXT_CTRL, &control);
    if (result == EINVAL) break;  // past the last control
    if (result != 0) {
      if (controls.empty()) *error = result;
      break;
    }
    // A driver that does not move on would loop for ever.
    if (!controls.empty() && control.id <= controls.back().id) break;
    controls.push_back(control);
    next = control.id | V4L2_CTRL_FLAG_NEXT_CTRL | V4L2_CTRL_FLAG_NEXT_COMPOUND;
  }
  return controls;
}

// Boolean companions that the page shows as the Auto box of the control they run.
bool IsBooleanCompanion(std::uint32_t id) {
  for (const std::uint32_t value : {V4L2_CID_WHITE_BALANCE_TEMPERATURE, V4L2_CID_FOCUS_ABSOLUTE,
                                    V4L2_CID_HUE, V4L2_CID_GAIN, V4L2_CID_BRIGHTNESS}) {
    const ControlMapping* mapping = FindMappingOfValue(value);
    if (mapping && mapping->autoKind == AutoKind::Boolean && mapping->autoId == id) return true;
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
    for (const v4l2_query_ext_ctrl& control : all) {
      if (ClassOf(control.id) != controlClass_) continue;
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
  void AddControl(const v4l2_query_ext_ctrl& control, const std::vector<v4l2_query_ext_ctrl>& all,
                  std::vector<std::pair<ULONG, LONG>>& defaults) {
    std::string caption = NameOf(control);
    const bool readOnly = (control.flags & V4L2_CTRL_FLAG_READ_ONLY) != 0;
    // A control whose companion runs it is shown with the companion as its Auto box; any other
    // control the driver calls inactive says so.
    const ControlMapping* mapping = FindMappingOfValue(control.id);
    const bool hasAutoBox =
        mapping && mapping->autoKind == AutoKind::Boolean &&
        std::any_of(all.begin(), all.end(), [&](const auto& other) {
          return other.id == mapping->autoId && !(other.flags & V4L2_CTRL_FLAG_DISABLED);
        });
    if ((control.flags & V4L2_CTRL_FLAG_INACTIVE) && !hasAutoBox && !mapping) {
      caption += " (inactive)";
    }
    PropertyPageControl shown;
    switch (control.type) {
      case V4L2_CTRL_TYPE_INTEGER:
        shown =
            PropertyPageControl::Slider(caption, Clamped(control.minimum), Clamped(control.maximum),
                                        Clamped(control.step), Clamped(control.default_value));
        break;
      case V4L2_CTRL_TYPE_BOOLEAN:
        if (IsBooleanCompanion(control.id)) return;  // the Auto box of its control
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
    const ULONG index = Add(shown, ValueBinding(control.id, readOnly));
    if (!readOnly && !(control.flags & V4L2_CTRL_FLAG_WRITE_ONLY)) {
      defaults.emplace_back(index, Clamped(control.default_value));
    }
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
  for (const v4l2_query_ext_ctrl& control : controls) {
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
