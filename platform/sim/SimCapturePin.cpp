#include "platform/sim/SimCapturePin.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/sim/SimMediaTypeEnumerator.h"
#include "platform/sim/SimPages.h"

namespace korvane::sim {
namespace {

// What a driver answers when the caller's buffer cannot hold the value (ERROR_INSUFFICIENT_BUFFER).
constexpr HRESULT kInsufficientBuffer = HResultFromWin32(122);
constexpr DWORD KSPROPERTY_SUPPORT_GET = 1;
constexpr char16_t kPinName[] = u"Capture";

using VideoStreamConfigCaps = VIDEO_STREAM_CONFIG_CAPS;

std::optional<std::size_t> OfferedFormatIndex(const SimDevice& device, const AM_MEDIA_TYPE& type) {
  for (std::size_t i = 0; i < device.formats.size(); ++i) {
    if (DescribesFormat(type, device.formats[i])) return i;
  }
  return std::nullopt;
}

}  // namespace

SimCapturePin::SimCapturePin(IBaseFilter& filter, const SimDriver& driver,
                             const std::atomic<FILTER_STATE>& filterState)
    : filter_(filter), driver_(driver), filterState_(filterState) {}

SimCapturePin::~SimCapturePin() = default;

HRESULT SimCapturePin::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (iid == IID_IUnknown || iid == IID_IPin) {
    *object = static_cast<IPin*>(this);
  } else if (iid == IID_IKsPropertySet && !driver_.Lacks("Pin.IKsPropertySet")) {
    *object = static_cast<IKsPropertySet*>(this);
  } else if (iid == IID_IAMStreamConfig && !driver_.Lacks("IAMStreamConfig")) {
    *object = static_cast<IAMStreamConfig*>(this);
  } else if (iid == IID_ISpecifyPropertyPages && !driver_.Lacks("Pin.ISpecifyPropertyPages")) {
    *object = static_cast<ISpecifyPropertyPages*>(this);
  } else {
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG SimCapturePin::AddRef() {
  return filter_.AddRef();
}
ULONG SimCapturePin::Release() {
  return filter_.Release();
}

// --- IPin --------------------------------------------------------------------------------

HRESULT SimCapturePin::Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) {
  const SimCall call = driver_.Begin("IPin::Connect");
  if (call.Failed()) return call.result;
  if (!receivePin) return E_POINTER;
  {
    std::lock_guard lock(connectionMutex_);
    if (connectedTo_) return VFW_E_ALREADY_CONNECTED;
  }
  if (filterState_.load() != State_Stopped) return VFW_E_NOT_STOPPED;
  const SimDevice& device = *call.device;
  if (type) {
    const auto index = OfferedFormatIndex(device, *type);
    if (!index) return VFW_E_INVALIDMEDIATYPE;
    return ConnectWith(receivePin, device.formats[*index]);
  }
  // The format the device is set to, as a camera connects after IAMStreamConfig::SetFormat;
  // the graph puts in a converter where that format is not taken.
  if (device.currentFormat >= device.formats.size()) return VFW_E_CANNOT_CONNECT;
  const HRESULT connected = ConnectWith(receivePin, device.formats[device.currentFormat]);
  return SUCCEEDED(connected) ? S_OK : VFW_E_CANNOT_CONNECT;
}

HRESULT SimCapturePin::ConnectWith(IPin* receivePin, const SimFormat& format) {
  SimMediaTypePtr type(CreateSimMediaType(format));
  if (!type) return E_OUTOFMEMORY;
  const HRESULT hr = receivePin->ReceiveConnection(this, type.get());
  if (FAILED(hr)) return hr;
  std::lock_guard lock(connectionMutex_);
  connectedTo_ = ComPtr<IPin>(receivePin);
  connectionType_ = std::move(type);
  return S_OK;
}

HRESULT SimCapturePin::ReceiveConnection(IPin*, const AM_MEDIA_TYPE*) {
  return E_UNEXPECTED;  // an output pin only connects to others
}

HRESULT SimCapturePin::EndOfStream() {
  return E_UNEXPECTED;  // only input pins take an end of stream
}

HRESULT SimCapturePin::Disconnect() {
  std::lock_guard lock(connectionMutex_);
  if (!connectedTo_) return S_FALSE;
  if (filterState_.load() != State_Stopped) return VFW_E_NOT_STOPPED;
  connectedTo_ = nullptr;
  connectionType_.reset();
  return S_OK;
}

void SimCapturePin::DisconnectForShutdown() {
  stream_.reset();
  std::lock_guard lock(connectionMutex_);
  connectedTo_ = nullptr;
  connectionType_.reset();
}

HRESULT SimCapturePin::PrepareStream(StreamNotify notify) {
  stream_.reset();
  ComPtr<IPin> receiver;
  SimMediaTypePtr type;
  {
    std::lock_guard lock(connectionMutex_);
    if (!connectedTo_) return S_OK;
    receiver = connectedTo_;
    type.reset(com::CreateMediaType(*connectionType_));
  }
  if (!type) return E_OUTOFMEMORY;
  return SimStream::Create(driver_, filter_, *receiver, *type, std::move(notify), &stream_);
}

void SimCapturePin::StartStream() {
  if (stream_) stream_->Start();
}

void SimCapturePin::HaltStream() {
  if (stream_) stream_->Halt();
}

void SimCapturePin::EndStream() {
  stream_.reset();
}

HRESULT SimCapturePin::ConnectedTo(IPin** pin) {
  if (!pin) return E_POINTER;
  std::lock_guard lock(connectionMutex_);
  *pin = nullptr;
  if (!connectedTo_) return VFW_E_NOT_CONNECTED;
  *pin = ComPtr<IPin>(connectedTo_).Detach();
  return S_OK;
}

HRESULT SimCapturePin::ConnectionMediaType(AM_MEDIA_TYPE* type) {
  if (!type) return E_POINTER;
  std::lock_guard lock(connectionMutex_);
  if (!connectionType_) {
    *type = AM_MEDIA_TYPE{};
    return VFW_E_NOT_CONNECTED;
  }
  return com::CopyMediaType(type, *connectionType_);
}

HRESULT SimCapturePin::QueryPinInfo(PIN_INFO* info) {
  if (!info) return E_POINTER;
  info->pFilter = &filter_;
  filter_.AddRef();
  info->dir = PINDIR_OUTPUT;
  std::copy(std::begin(kPinName), std::end(kPinName), info->achName);
  return S_OK;
}

HRESULT SimCapturePin::QueryDirection(PIN_DIRECTION* direction) {
  if (!direction) return E_POINTER;
  *direction = PINDIR_OUTPUT;
  return S_OK;
}

HRESULT SimCapturePin::QueryAccept(const AM_MEDIA_TYPE* type) {
  const SimCall call = driver_.Begin("IPin::QueryAccept");
  if (call.Failed()) return call.result;
  if (!type) return E_POINTER;
  return OfferedFormatIndex(*call.device, *type) ? S_OK : S_FALSE;
}

HRESULT SimCapturePin::EnumMediaTypes(IEnumMediaTypes** enumerator) {
  if (!enumerator) return E_POINTER;
  *enumerator = nullptr;
  const SimCall call = driver_.Begin("IPin::EnumMediaTypes");
  if (call.Failed()) return call.result;
  // A driver that claims success and hands out nothing: callers must check the pointer.
  if (call.device->missingInterfaces.contains("IEnumMediaTypes")) return S_OK;
  *enumerator = MakeMediaTypeEnumerator(driver_).Detach();
  return S_OK;
}

// --- IKsPropertySet ------------------------------------------------------------------------

HRESULT SimCapturePin::Set(REFGUID set, DWORD id, LPVOID, DWORD, LPVOID, DWORD) {
  const SimCall call = driver_.Begin("Pin.IKsPropertySet::Set");
  if (call.Failed()) return call.result;
  if (set != AMPROPSETID_Pin) return HRESULT_ERROR_SET_NOT_FOUND;
  // The category is a fact of the pin; nobody may change it.
  return id == AMPROPERTY_PIN_CATEGORY ? E_ACCESSDENIED : HRESULT_ERROR_NOT_FOUND;
}

HRESULT SimCapturePin::Get(REFGUID set, DWORD id, LPVOID, DWORD, LPVOID data, DWORD dataSize,
                           DWORD* returned) {
  const SimCall call = driver_.Begin("Pin.IKsPropertySet::Get");
  if (call.Failed()) return call.result;
  if (set != AMPROPSETID_Pin) return HRESULT_ERROR_SET_NOT_FOUND;
  if (id != AMPROPERTY_PIN_CATEGORY) return HRESULT_ERROR_NOT_FOUND;
  if (returned) *returned = sizeof(GUID);
  if (!data || dataSize < sizeof(GUID)) return kInsufficientBuffer;
  std::memcpy(data, &PIN_CATEGORY_CAPTURE, sizeof(GUID));
  return S_OK;
}

HRESULT SimCapturePin::QuerySupported(REFGUID set, DWORD id, DWORD* support) {
  const SimCall call = driver_.Begin("Pin.IKsPropertySet::QuerySupported");
  if (call.Failed()) return call.result;
  if (set != AMPROPSETID_Pin) return HRESULT_ERROR_SET_NOT_FOUND;
  if (id != AMPROPERTY_PIN_CATEGORY) return HRESULT_ERROR_NOT_FOUND;
  if (support) *support = KSPROPERTY_SUPPORT_GET;
  return S_OK;
}

// --- IAMStreamConfig -----------------------------------------------------------------------

HRESULT SimCapturePin::SetFormat(AM_MEDIA_TYPE* type) {
  const SimCall call = driver_.Begin("IAMStreamConfig::SetFormat");
  if (call.Failed()) return call.result;
  if (!type) return E_POINTER;
  if (filterState_.load() != State_Stopped) return VFW_E_NOT_STOPPED;
  return driver_.Change([&](SimDevice& device) {
    const auto index = OfferedFormatIndex(device, *type);
    if (!index) return VFW_E_INVALIDMEDIATYPE;
    device.currentFormat = *index;
    return S_OK;
  });
}

HRESULT SimCapturePin::GetFormat(AM_MEDIA_TYPE** type) {
  if (!type) return E_POINTER;
  *type = nullptr;
  const SimCall call = driver_.Begin("IAMStreamConfig::GetFormat");
  if (call.Failed()) return call.result;
  const SimDevice& device = *call.device;
  if (device.currentFormat >= device.formats.size()) return E_FAIL;
  *type = CreateSimMediaType(device.formats[device.currentFormat]);
  return *type ? S_OK : E_OUTOFMEMORY;
}

HRESULT SimCapturePin::GetNumberOfCapabilities(int* count, int* size) {
  const SimCall call = driver_.Begin("IAMStreamConfig::GetNumberOfCapabilities");
  if (call.Failed()) return call.result;
  if (!count || !size) return E_POINTER;
  *count = static_cast<int>(call.device->formats.size());
  *size = sizeof(VideoStreamConfigCaps);
  return S_OK;
}

HRESULT SimCapturePin::GetStreamCaps(int index, AM_MEDIA_TYPE** type, BYTE* caps) {
  if (!type || !caps) return E_POINTER;
  *type = nullptr;
  const SimCall call = driver_.Begin("IAMStreamConfig::GetStreamCaps", index);
  if (call.Failed()) return call.result;
  const SimDevice& device = *call.device;
  if (index < 0) return E_INVALIDARG;
  if (static_cast<std::size_t>(index) >= device.formats.size()) return S_FALSE;
  const SimFormat& format = device.formats[static_cast<std::size_t>(index)];
  *type = CreateSimMediaType(format);
  if (!*type) return E_OUTOFMEMORY;
  // One fixed size per format: every size field holds the picture's own.
  const SIZE picture{format.width, format.height < 0 ? -format.height : format.height};
  VideoStreamConfigCaps record{};
  record.guid = format.formattype;
  record.InputSize = record.MinCroppingSize = record.MaxCroppingSize = picture;
  record.MinOutputSize = record.MaxOutputSize = picture;
  record.MinFrameInterval = record.MaxFrameInterval = format.avgTimePerFrame;
  const LONG bitRate =
      format.avgTimePerFrame > 0
          ? static_cast<LONG>(std::min<long long>(static_cast<long long>(SampleSizeOf(format)) * 8 *
                                                      10'000'000 / format.avgTimePerFrame,
                                                  0x7FFFFFFF))
          : 0;
  record.MinBitsPerSecond = record.MaxBitsPerSecond = bitRate;
  std::memcpy(caps, &record, sizeof(record));
  return S_OK;
}

// --- ISpecifyPropertyPages -----------------------------------------------------------------

HRESULT SimCapturePin::GetPages(CAUUID* pages) {
  const SimCall call = driver_.Begin("Pin.ISpecifyPropertyPages::GetPages");
  if (call.Failed()) return call.result;
  return FillPageList(pages, {CLSID_SimStreamFormatPage});
}

}  // namespace korvane::sim
