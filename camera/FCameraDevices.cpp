// The device lists of the four categories and the lookup of a device by name.

#include "camera/FCamera.h"
#include "camera/FCameraChecks.h"
#include "camera/FDeviceEnumeration.h"

using korvane::camera::BindFirstMatching;
using korvane::camera::ForEachDevice;
using korvane::camera::ReadBagInteger;
using korvane::camera::ReadBagString;

namespace {

std::vector<std::string> FriendlyNames(const GUID& Category) {
  std::vector<std::string> Names;
  ForEachDevice(Category, [&](IMoniker&, IPropertyBag& Bag) {
    Names.push_back(ReadBagString(Bag, u"FriendlyName").value_or(std::string()));
    return false;
  });
  return Names;
}

}  // namespace

ComPtr<IBaseFilter> FindDevice(const GUID& Category, const std::string& Name) {
  return BindFirstMatching(Category, Name, {u"FriendlyName"});
}

TFVideoCaptureDevices TFCamera::GetDevices() {
  TFVideoCaptureDevices Devices;
  ForEachDevice(CLSID_VideoInputDeviceCategory, [&](IMoniker&, IPropertyBag& Bag) {
    TFVideoCaptureDevice& Device = Devices.emplace_back();
    Device.Name = ReadBagString(Bag, u"FriendlyName").value_or(std::string());
    Device.Path = ReadBagString(Bag, u"DevicePath").value_or(std::string());
    Device.Description = ReadBagString(Bag, u"Description").value_or(std::string());
    return false;
  });
  return Devices;
}

TFAudioCaptureDevices TFCamera::GetAudioCaptureDevices() {
  TFAudioCaptureDevices Devices;
  ForEachDevice(CLSID_AudioInputDeviceCategory, [&](IMoniker&, IPropertyBag& Bag) {
    TFAudioCaptureDevice& Device = Devices.emplace_back();
    Device.Name = ReadBagString(Bag, u"FriendlyName").value_or(std::string());
    Device.Description = ReadBagString(Bag, u"Description").value_or(std::string());
    Device.WaveInID = ReadBagInteger(Bag, u"WaveInID");
    return false;
  });
  return Devices;
}

std::vector<std::string> TFCamera::GetCompressors() {
  return FriendlyNames(CLSID_VideoCompressorCategory);
}

std::vector<std::string> TFCamera::GetAudioCompressors() {
  return FriendlyNames(CLSID_AudioCompressorCategory);
}

ComPtr<IBaseFilter> TFCamera::GetDevice(const std::string& Name) {
  // A device path selects one device exactly where friendly names repeat.
  return BindFirstMatching(CLSID_VideoInputDeviceCategory, Name, {u"FriendlyName", u"DevicePath"});
}

ComPtr<IBaseFilter> TFCamera::GetAudioCaptureDevice(const std::string& Name) {
  return FindDevice(CLSID_AudioInputDeviceCategory, Name);
}

ComPtr<IBaseFilter> TFCamera::GetCompressor(const std::string& Name) {
  return FindDevice(CLSID_VideoCompressorCategory, Name);
}

ComPtr<IBaseFilter> TFCamera::GetAudioCompressor(const std::string& Name) {
  return FindDevice(CLSID_AudioCompressorCategory, Name);
}
