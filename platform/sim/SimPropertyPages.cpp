// The property pages of the simulated cameras. Each page reads and writes through the
// interfaces of the object the frame was opened for, as a driver's page does, so every change
// reaches the device's store (and its file) like any other program's.

#include <algorithm>
#include <array>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "platform/DirectShow9.h"
#include "platform/devices/StreamFormatPage.h"
#include "platform/os/PropertyPage.h"
#include "platform/sim/SimMediaTypes.h"
#include "platform/sim/SimPages.h"

namespace korvane::sim {
namespace {

using os::DescribedPropertyPage;
using os::PropertyPageControl;
using Entries = std::vector<std::pair<LONG, std::string>>;

constexpr LONG kFlagsAuto = 1;
constexpr LONG kFlagsManual = 2;

struct ControlName {
  LONG property;
  const char* caption;
};

constexpr ControlName kVideoProcAmpSliders[] = {
    {VideoProcAmp_Brightness, "Brightness"},
    {VideoProcAmp_Contrast, "Contrast"},
    {VideoProcAmp_Hue, "Hue"},
    {VideoProcAmp_Saturation, "Saturation"},
    {VideoProcAmp_Sharpness, "Sharpness"},
    {VideoProcAmp_Gamma, "Gamma"},
    {VideoProcAmp_ColorEnable, "Color enable"},
    {VideoProcAmp_WhiteBalance, "White balance"},
    {VideoProcAmp_BacklightCompensation, "Backlight compensation"},
    {VideoProcAmp_Gain, "Gain"},
    {KSPROPERTY_VIDEOPROCAMP_DIGITAL_MULTIPLIER, "Digital multiplier"},
    {KSPROPERTY_VIDEOPROCAMP_DIGITAL_MULTIPLIER_LIMIT, "Digital multiplier limit"},
};

constexpr ControlName kCameraControlSliders[] = {
    {CameraControl_Pan, "Pan"},           {CameraControl_Tilt, "Tilt"},
    {CameraControl_Roll, "Roll"},         {CameraControl_Zoom, "Zoom"},
    {CameraControl_Exposure, "Exposure"}, {CameraControl_Iris, "Iris"},
    {CameraControl_Focus, "Focus"},
};

constexpr LONG kScanModeProperty = 7;

const Entries& PowerLineFrequencyEntries() {
  static const Entries entries = {{0, "Disabled"}, {1, "50 Hz"}, {2, "60 Hz"}, {3, "Auto"}};
  return entries;
}
const Entries& ScanModeEntries() {
  static const Entries entries = {{0, "Interlaced"}, {1, "Progressive"}};
  return entries;
}
const Entries& FlashModeEntries() {
  static const Entries entries = {{0, "Off"}, {1, "On"}, {2, "Auto"}};
  return entries;
}
const Entries& StabilizationModeEntries() {
  static const Entries entries = {{0, "Off"}, {1, "High"}, {2, "Medium"}, {3, "Low"}, {4, "Auto"}};
  return entries;
}

// The entries a range allows; a value the table has no text for shows as its number.
Entries EntriesWithin(const Entries& known, LONG min, LONG max) {
  Entries entries;
  for (LONG value = min; value <= max && entries.size() < 64; ++value) {
    std::string text = std::to_string(value);
    for (const auto& [device, name] : known) {
      if (device == value) text = name;
    }
    entries.emplace_back(value, std::move(text));
    if (value == max) break;  // no overflow past the largest LONG
  }
  return entries;
}

struct Range {
  LONG min = 0, max = 0, step = 1, defaultValue = 0, caps = 0;
};

// A page over one of the two control interfaces, which have the same methods.
template <class Interface>
class ControlPage : public DescribedPropertyPage {
 protected:
  using DescribedPropertyPage::DescribedPropertyPage;

  // Reads the range of a control the interface has; false for one it lacks (or cannot say).
  static bool ReadRange(Interface& control, LONG property, Range* range) {
    return SUCCEEDED(control.GetRange(property, &range->min, &range->max, &range->step,
                                      &range->defaultValue, &range->caps)) &&
           range->min <= range->max;
  }

  // A value write keeps the control's mode and a mode write keeps its value, as every other
  // writer of the device does.
  static Binding ValueBinding(const ComPtr<Interface>& control, LONG property) {
    return {[control, property](LONG* value) {
              LONG flags = 0;
              return control->Get(property, value, &flags);
            },
            [control, property](LONG value) {
              LONG current = 0, flags = 0;
              const HRESULT result = control->Get(property, &current, &flags);
              return FAILED(result) ? result : control->Set(property, value, flags);
            }};
  }
  static Binding AutoBinding(const ComPtr<Interface>& control, LONG property) {
    return {[control, property](LONG* value) {
              LONG current = 0, flags = 0;
              const HRESULT result = control->Get(property, &current, &flags);
              *value = flags == kFlagsAuto ? 1 : 0;
              return result;
            },
            [control, property](LONG automatic) {
              LONG current = 0, flags = 0;
              const HRESULT result = control->Get(property, &current, &flags);
              if (FAILED(result)) return result;
              return control->Set(property, current, automatic ? kFlagsAuto : kFlagsManual);
            }};
  }

  // A slider for each control of the table the device has, with an Auto box where its caps
  // allow automatic mode; the default values are collected for the page's "Default" button.
  void AddSliders(const ComPtr<Interface>& control, std::span<const ControlName> names,
                  std::vector<std::pair<ULONG, LONG>>& defaults) {
    for (const ControlName& name : names) {
      Range range;
      if (!ReadRange(*control, name.property, &range)) continue;
      const auto slider = PropertyPageControl::Slider(name.caption, range.min, range.max,
                                                      range.step, range.defaultValue);
      defaults.emplace_back(Add(slider, ValueBinding(control, name.property)), range.defaultValue);
      if (range.caps & kFlagsAuto) {
        Add(PropertyPageControl::AutoBox(), AutoBinding(control, name.property));
      }
    }
  }

  void AddChoice(const ComPtr<Interface>& control, LONG property, const char* caption,
                 const Entries& known, std::vector<std::pair<ULONG, LONG>>& defaults) {
    Range range;
    if (!ReadRange(*control, property, &range)) return;
    const auto choice =
        PropertyPageControl::Choice(caption, EntriesWithin(known, range.min, range.max));
    defaults.emplace_back(Add(choice, ValueBinding(control, property)), range.defaultValue);
  }

  void AddDefaultButton(std::vector<std::pair<ULONG, LONG>> defaults) {
    if (defaults.empty()) return;
    Add(PropertyPageControl::Action("Default", std::move(defaults)));
  }
};

class VideoProcAmpPage final : public ControlPage<IAMVideoProcAmp> {
 public:
  VideoProcAmpPage() : ControlPage("Video Proc Amp") {}

 protected:
  HRESULT Build(IUnknown& object) override {
    ComPtr<IAMVideoProcAmp> control;
    const HRESULT result =
        object.QueryInterface(IID_IAMVideoProcAmp, control.ReleaseAndGetVoidAddressOf());
    if (FAILED(result) || !control) return FAILED(result) ? result : E_NOINTERFACE;
    std::vector<std::pair<ULONG, LONG>> defaults;
    AddSliders(control, kVideoProcAmpSliders, defaults);
    AddChoice(control, KSPROPERTY_VIDEOPROCAMP_POWERLINE_FREQUENCY, "Power line frequency",
              PowerLineFrequencyEntries(), defaults);
    AddDefaultButton(std::move(defaults));
    return S_OK;
  }
};

// The flash and stabilization records: a mode word and a control word; the page changes the
// mode and sends the control word back as it was.
DescribedPropertyPage::Binding RecordModeBinding(const ComPtr<IKsPropertySet>& set,
                                                 const GUID& id) {
  auto read = [set, id](std::array<DWORD, 2>* words) {
    DWORD returned = 0;
    return set->Get(id, 0, nullptr, 0, words->data(), sizeof(*words), &returned);
  };
  return {[read](LONG* value) {
            std::array<DWORD, 2> words{};
            const HRESULT result = read(&words);
            *value = static_cast<LONG>(words[0]);
            return result;
          },
          [read, set, id](LONG value) {
            std::array<DWORD, 2> words{};
            const HRESULT result = read(&words);
            if (FAILED(result)) return result;
            words[0] = static_cast<DWORD>(value);
            return set->Set(id, 0, nullptr, 0, words.data(), sizeof(words));
          }};
}

class CameraControlPage final : public ControlPage<IAMCameraControl> {
 public:
  CameraControlPage() : ControlPage("Camera Control") {}

 protected:
  HRESULT Build(IUnknown& object) override {
    ComPtr<IAMCameraControl> control;
    object.QueryInterface(IID_IAMCameraControl, control.ReleaseAndGetVoidAddressOf());
    ComPtr<IKsPropertySet> records;
    object.QueryInterface(IID_IKsPropertySet, records.ReleaseAndGetVoidAddressOf());
    if (!control && !records) return E_NOINTERFACE;
    std::vector<std::pair<ULONG, LONG>> defaults;
    if (control) {
      AddSliders(control, kCameraControlSliders, defaults);
      AddChoice(control, kScanModeProperty, "Scan mode", ScanModeEntries(), defaults);
    }
    AddDefaultButton(std::move(defaults));
    if (records) {
      AddRecord(records, PROPSETID_VIDCAP_CAMERACONTROL_FLASH, "Flash", FlashModeEntries());
      AddRecord(records, PROPSETID_VIDCAP_CAMERACONTROL_VIDEO_STABILIZATION, "Video stabilization",
                StabilizationModeEntries());
    }
    return S_OK;
  }

 private:
  void AddRecord(const ComPtr<IKsPropertySet>& records, const GUID& id, const char* caption,
                 const Entries& entries) {
    DWORD support = 0;
    if (FAILED(records->QuerySupported(id, 0, &support))) return;
    Add(PropertyPageControl::Choice(caption, entries), RecordModeBinding(records, id));
  }
};

}  // namespace

void RegisterSimPages() {
  com::RegisterClass(CLSID_SimVideoProcAmpPage, com::FactoryOf<VideoProcAmpPage>());
  com::RegisterClass(CLSID_SimCameraControlPage, com::FactoryOf<CameraControlPage>());
  devices::RegisterStreamFormatPage();
}

}  // namespace korvane::sim
