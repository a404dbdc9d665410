#include "platform/v4l2/V4l2Controls.h"

#include <linux/videodev2.h>

#include <algorithm>
#include <iterator>

#include "platform/v4l2/UserChanges.h"

namespace korvane::v4l2 {
namespace {

constexpr LONG kFlagsAuto = VideoProcAmp_Flags_Auto;
constexpr LONG kFlagsManual = VideoProcAmp_Flags_Manual;

constexpr LONG kPowerLineFrequencyAuto = V4L2_CID_POWER_LINE_FREQUENCY_AUTO;

// The modes "automatic exposure" switches to, the first the camera offers. Cameras offer only
// some of them; aperture priority is what it means on a web camera (a fixed iris), and a
// camera with shutter priority alone still takes the time out of the user's hands with it.
constexpr std::uint32_t kAutomaticExposureModes[] = {
    V4L2_EXPOSURE_APERTURE_PRIORITY, V4L2_EXPOSURE_AUTO, V4L2_EXPOSURE_SHUTTER_PRIORITY};

using enum ControlInterface;
using enum AutoKind;

constexpr ControlMapping kMappings[] = {
    {VideoProcAmp, VideoProcAmp_Brightness, V4L2_CID_BRIGHTNESS, V4L2_CID_AUTOBRIGHTNESS, Boolean,
     false, false},
    {VideoProcAmp, VideoProcAmp_Contrast, V4L2_CID_CONTRAST, 0, None, false, false},
    {VideoProcAmp, VideoProcAmp_Hue, V4L2_CID_HUE, V4L2_CID_HUE_AUTO, Boolean, false, false},
    {VideoProcAmp, VideoProcAmp_Saturation, V4L2_CID_SATURATION, 0, None, false, false},
    {VideoProcAmp, VideoProcAmp_Sharpness, V4L2_CID_SHARPNESS, 0, None, false, false},
    {VideoProcAmp, VideoProcAmp_Gamma, V4L2_CID_GAMMA, 0, None, false, false},
    {VideoProcAmp, VideoProcAmp_ColorEnable, V4L2_CID_COLOR_KILLER, 0, None, true, false},
    {VideoProcAmp, VideoProcAmp_WhiteBalance, V4L2_CID_WHITE_BALANCE_TEMPERATURE,
     V4L2_CID_AUTO_WHITE_BALANCE, Boolean, false, false},
    {VideoProcAmp, VideoProcAmp_BacklightCompensation, V4L2_CID_BACKLIGHT_COMPENSATION, 0, None,
     false, false},
    {VideoProcAmp, VideoProcAmp_Gain, V4L2_CID_GAIN, V4L2_CID_AUTOGAIN, Boolean, false, false},
    {VideoProcAmp, KSPROPERTY_VIDEOPROCAMP_POWERLINE_FREQUENCY, V4L2_CID_POWER_LINE_FREQUENCY, 0,
     None, false, true},
    {CameraControl, CameraControl_Pan, V4L2_CID_PAN_ABSOLUTE, 0, None, false, false},
    {CameraControl, CameraControl_Tilt, V4L2_CID_TILT_ABSOLUTE, 0, None, false, false},
    {CameraControl, CameraControl_Zoom, V4L2_CID_ZOOM_ABSOLUTE, 0, None, false, false},
    {CameraControl, CameraControl_Exposure, V4L2_CID_EXPOSURE_ABSOLUTE, V4L2_CID_EXPOSURE_AUTO,
     ExposureMenu, false, false},
    {CameraControl, CameraControl_Iris, V4L2_CID_IRIS_ABSOLUTE, 0, None, false, false},
    {CameraControl, CameraControl_Focus, V4L2_CID_FOCUS_ABSOLUTE, V4L2_CID_FOCUS_AUTO, Boolean,
     false, false},
};

LONG Inverted(const ControlMapping& control, LONG value) {
  return control.inverted ? (value != 0 ? 0 : 1) : value;
}

}  // namespace

const ControlMapping* FindControlMapping(ControlInterface interface, LONG property) {
  const auto found = std::find_if(std::begin(kMappings), std::end(kMappings), [&](const auto& m) {
    return m.interface == interface && m.property == property;
  });
  return found == std::end(kMappings) ? nullptr : found;
}

const ControlMapping* FindMappingOfValue(std::uint32_t id) {
  const auto found = std::find_if(std::begin(kMappings), std::end(kMappings),
                                  [&](const auto& m) { return m.id == id; });
  return found == std::end(kMappings) ? nullptr : found;
}

std::vector<std::uint32_t> WindowControlIds() {
  std::vector<std::uint32_t> ids;
  for (const ControlMapping& mapping : kMappings) {
    ids.push_back(mapping.id);
    if (mapping.autoId != 0) ids.push_back(mapping.autoId);
  }
  return ids;
}

HRESULT V4l2Controls::Query(std::uint32_t id, v4l2_queryctrl* query) {
  *query = v4l2_queryctrl{};
  query->id = id;
  const HRESULT result = device_->Call(VIDIOC_QUERYCTRL, query, CallKind::ControlQuery);
  if (FAILED(result)) return result;
  // A driver lists a control it has switched off for this device as disabled: it is not there.
  return (query->flags & V4L2_CTRL_FLAG_DISABLED) ? HRESULT_ERROR_NOT_FOUND : S_OK;
}

HRESULT V4l2Controls::Read(std::uint32_t id, LONG* value) {
  v4l2_control control{id, 0};
  const HRESULT result = device_->Call(VIDIOC_G_CTRL, &control, CallKind::ControlQuery);
  if (SUCCEEDED(result)) *value = control.value;
  return result;
}

HRESULT V4l2Controls::Write(std::uint32_t id, LONG value) {
  const HRESULT opened = device_->EnsureOpen();
  if (FAILED(opened)) return opened;
  // Before the write, so that a guard knows it for the user's when the change reaches it.
  NoteUserChange(device_->GetDoor(), device_->NodePath(), id);
  v4l2_control control{id, value};
  const int error = device_->Ioctl(VIDIOC_S_CTRL, &control);
  if (error != EACCES) return ResultFromErrno(error, CallKind::ControlWrite);
  // EACCES means two things: a control that is read-only, or one its automatic companion
  // runs now. Only the second has a remedy to tell.
  v4l2_queryctrl query{};
  if (SUCCEEDED(Query(id, &query)) && (query.flags & V4L2_CTRL_FLAG_READ_ONLY)) {
    return E_ACCESSDENIED;
  }
  return HRESULT_CONTROL_IS_AUTOMATIC;
}

bool V4l2Controls::MenuOffers(std::uint32_t id, std::uint32_t item) {
  v4l2_querymenu menu{};
  menu.id = id;
  menu.index = item;
  return device_->Ioctl(VIDIOC_QUERYMENU, &menu) == 0;
}

HRESULT V4l2Controls::CompanionIsAutomatic(const ControlMapping& control, bool* automatic) {
  LONG mode = 0;
  const HRESULT result = Read(control.autoId, &mode);
  if (FAILED(result)) return result;
  // The driver lets the exposure time be written in manual mode only: in shutter priority too
  // the time is inactive and a write is refused, so every other mode counts as automatic.
  *automatic = control.autoKind == ExposureMenu ? mode != V4L2_EXPOSURE_MANUAL : mode != 0;
  return S_OK;
}

HRESULT V4l2Controls::SwitchCompanion(const ControlMapping& control, bool automatic) {
  if (control.autoKind == Boolean) return Write(control.autoId, automatic ? 1 : 0);
  if (!automatic) return Write(control.autoId, V4L2_EXPOSURE_MANUAL);
  for (const std::uint32_t mode : kAutomaticExposureModes) {
    if (MenuOffers(control.autoId, mode)) return Write(control.autoId, static_cast<LONG>(mode));
  }
  return E_INVALIDARG;
}

HRESULT V4l2Controls::GetRange(const ControlMapping& control, LONG* min, LONG* max, LONG* step,
                               LONG* defaultValue, LONG* caps) {
  v4l2_queryctrl query{};
  const HRESULT result = Query(control.id, &query);
  if (FAILED(result)) return result;
  *min = query.minimum;
  *max = query.maximum;
  // A device may report a step of 0; the driver moves in steps of 1 then.
  *step = std::max(query.step, 1);
  *defaultValue = query.default_value;
  if (control.inverted) {
    *min = 0;
    *max = 1;
    *step = 1;
    *defaultValue = Inverted(control, query.default_value);
  }
  *caps = (query.flags & V4L2_CTRL_FLAG_READ_ONLY) ? 0 : kFlagsManual;
  if (control.powerLineFrequency) {
    if (MenuOffers(control.id, kPowerLineFrequencyAuto)) *caps |= kFlagsAuto;
  } else if (control.autoKind == ExposureMenu) {
    if (std::any_of(std::begin(kAutomaticExposureModes), std::end(kAutomaticExposureModes),
                    [&](std::uint32_t mode) { return MenuOffers(control.autoId, mode); })) {
      *caps |= kFlagsAuto;
    }
  } else if (control.autoId != 0) {
    v4l2_queryctrl companion{};
    if (SUCCEEDED(Query(control.autoId, &companion))) *caps |= kFlagsAuto;
  }
  return S_OK;
}

HRESULT V4l2Controls::Get(const ControlMapping& control, LONG* value, LONG* flags) {
  HRESULT result = Read(control.id, value);
  if (FAILED(result)) return result;
  *value = Inverted(control, *value);
  *flags = kFlagsManual;
  // The power-line frequency's "automatic" is one of its values, not a mode: reporting it as a
  // mode would make every later value write (which keeps the mode) write "automatic" again.
  if (control.autoId == 0 || control.powerLineFrequency) return S_OK;
  bool automatic = false;
  result = CompanionIsAutomatic(control, &automatic);
  // A companion the driver does not have leaves the control manual.
  if (result == HRESULT_ERROR_NOT_FOUND) return S_OK;
  if (FAILED(result)) return result;
  if (automatic) *flags = kFlagsAuto;
  return S_OK;
}

HRESULT V4l2Controls::Set(const ControlMapping& control, LONG value, LONG flags) {
  const bool automatic = (flags & kFlagsAuto) != 0;
  if (control.powerLineFrequency) {
    if (!automatic) return Write(control.id, value);
    return MenuOffers(control.id, kPowerLineFrequencyAuto)
               ? Write(control.id, kPowerLineFrequencyAuto)
               : E_INVALIDARG;
  }
  if (control.autoId == 0) {
    return automatic ? E_INVALIDARG : Write(control.id, Inverted(control, value));
  }
  bool isAutomatic = false;
  const HRESULT result = CompanionIsAutomatic(control, &isAutomatic);
  if (result == HRESULT_ERROR_NOT_FOUND) {
    return automatic ? E_INVALIDARG : Write(control.id, Inverted(control, value));
  }
  if (FAILED(result)) return result;
  // Automatic: only the companion, and only when it is not automatic already (a second write
  // could move the exposure from one automatic mode to another).
  if (automatic) return isAutomatic ? S_OK : SwitchCompanion(control, true);
  if (isAutomatic) {
    const HRESULT switched = SwitchCompanion(control, false);
    if (FAILED(switched)) return switched;
  }
  return Write(control.id, Inverted(control, value));
}

HRESULT V4l2Controls::WriteManual(std::uint32_t id, LONG value) {
  const ControlMapping* control = FindMappingOfValue(id);
  if (!control || control->powerLineFrequency || control->inverted) return Write(id, value);
  return Set(*control, value, kFlagsManual);
}

}  // namespace korvane::v4l2
