#include "platform/v4l2/V4l2CapturePin.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/devices/ListEnumerator.h"
#include "platform/devices/StreamFormatPage.h"

namespace korvane::v4l2 {
namespace {

constexpr HRESULT kInsufficientBuffer = HResultFromWin32(122);  // ERROR_INSUFFICIENT_BUFFER
constexpr DWORD KSPROPERTY_SUPPORT_GET = 1;
constexpr char16_t kPinName[] = u"Capture";

using Formats = std::vector<V4l2Format>;

void DeleteType(AM_MEDIA_TYPE* type) {
  if (!type) return;
  CoTaskMemFree(type->pbFormat);
  if (type->pUnk) type->pUnk->Release();
  CoTaskMemFree(type);
}

}  // namespace

void V4l2CapturePin::MediaTypeDelete::operator()(AM_MEDIA_TYPE* type) const {
  DeleteType(type);
}

V4l2CapturePin::V4l2CapturePin(IBaseFilter& filter, std::shared_ptr<V4l2Device> device,
                               const std::atomic<FILTER_STATE>& filterState)
    : filter_(filter), device_(std::move(device)), filterState_(filterState) {}

V4l2CapturePin::~V4l2CapturePin() = default;

HRESULT V4l2CapturePin::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (iid == IID_IUnknown || iid == IID_IPin) {
    *object = static_cast<IPin*>(this);
  } else if (iid == IID_IKsPropertySet) {
    *object = static_cast<IKsPropertySet*>(this);
  } else if (iid == IID_IAMStreamConfig) {
    *object = static_cast<IAMStreamConfig*>(this);
  } else if (iid == IID_ISpecifyPropertyPages) {
    *object = static_cast<ISpecifyPropertyPages*>(this);
  } else {
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG V4l2CapturePin::AddRef() {
  return filter_.AddRef();
}
ULONG V4l2CapturePin::Release() {
  return filter_.Release();
}

// --- IPin --------------------------------------------------------------------------------

HRESULT V4l2CapturePin::Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) {
  if (!receivePin) return E_POINTER;
  {
    std::lock_guard lock(connectionMutex_);
    if (connectedTo_) return VFW_E_ALREADY_CONNECTED;
  }
  if (filterState_.load() != State_Stopped) return VFW_E_NOT_STOPPED;
  Formats formats;
  const HRESULT listed = EnumerateFormats(*device_, &formats);
  if (FAILED(listed)) return listed;
  std::vector<const V4l2Format*> order;
  if (type) {
    const V4l2Format* wanted = FindFormat(formats, *type);
    if (!wanted) return VFW_E_INVALIDMEDIATYPE;
    order.push_back(wanted);
  } else {
    // A chosen format is the only one offered, so that a format the filter downstream cannot
    // take fails to connect instead of streaming another; without one, the format the device
    // is set to comes first, then the others in the driver's order.
    const std::optional<V4l2Format> chosen = Chosen();
    V4l2Format current;
    if (chosen || SUCCEEDED(CurrentFormat(*device_, &current))) {
      const auto found = std::find(formats.begin(), formats.end(), chosen.value_or(current));
      if (found != formats.end()) order.push_back(&*found);
    }
    if (!chosen) {
      for (const V4l2Format& format : formats) {
        if (order.empty() || order.front() != &format) order.push_back(&format);
      }
    }
  }
  for (const V4l2Format* format : order) {
    MediaTypePtr offered(CreateMediaType(*format));
    if (!offered) return E_OUTOFMEMORY;
    if (FAILED(receivePin->ReceiveConnection(this, offered.get()))) continue;
    std::lock_guard lock(connectionMutex_);
    connectedTo_ = ComPtr<IPin>(receivePin);
    connectionType_ = std::move(offered);
    connectionFormat_ = *format;
    chosen_ = *format;
    return S_OK;
  }
  return type ? VFW_E_INVALIDMEDIATYPE : VFW_E_CANNOT_CONNECT;
}

std::optional<V4l2Format> V4l2CapturePin::Chosen() {
  std::lock_guard lock(connectionMutex_);
  return chosen_;
}

HRESULT V4l2CapturePin::ReceiveConnection(IPin*, const AM_MEDIA_TYPE*) {
  return E_UNEXPECTED;  // an output pin only connects to others
}

HRESULT V4l2CapturePin::EndOfStream() {
  return E_UNEXPECTED;  // only input pins take an end of stream
}

HRESULT V4l2CapturePin::Disconnect() {
  std::lock_guard lock(connectionMutex_);
  if (!connectedTo_) return S_FALSE;
  if (filterState_.load() != State_Stopped) return VFW_E_NOT_STOPPED;
  connectedTo_ = nullptr;
  connectionType_.reset();
  return S_OK;
}

void V4l2CapturePin::DisconnectForShutdown() {
  stream_.reset();
  std::lock_guard lock(connectionMutex_);
  connectedTo_ = nullptr;
  connectionType_.reset();
}

HRESULT V4l2CapturePin::PrepareStream(StreamNotify notify) {
  stream_.reset();
  ComPtr<IPin> receiver;
  MediaTypePtr type;
  V4l2Format format;
  {
    std::lock_guard lock(connectionMutex_);
    if (!connectedTo_) return S_OK;
    receiver = connectedTo_;
    type.reset(com::CreateMediaType(*connectionType_));
    format = connectionFormat_;
  }
  if (!type) return E_OUTOFMEMORY;
  return V4l2Stream::Create(device_->GetDoor(), device_->NodePath(), format, filter_, *receiver,
                            *type, std::move(notify), &stream_);
}

HRESULT V4l2CapturePin::StartStream() {
  return stream_ ? stream_->Start() : S_OK;
}

void V4l2CapturePin::HaltStream() {
  if (stream_) stream_->Halt();
}

void V4l2CapturePin::EndStream() {
  stream_.reset();
}

HRESULT V4l2CapturePin::ConnectedTo(IPin** pin) {
  if (!pin) return E_POINTER;
  std::lock_guard lock(connectionMutex_);
  *pin = nullptr;
  if (!connectedTo_) return VFW_E_NOT_CONNECTED;
  *pin = ComPtr<IPin>(connectedTo_).Detach();
  return S_OK;
}

HRESULT V4l2CapturePin::ConnectionMediaType(AM_MEDIA_TYPE* type) {
  if (!type) return E_POINTER;
  std::lock_guard lock(connectionMutex_);
  if (!connectionType_) {
    *type = AM_MEDIA_TYPE{};
    return VFW_E_NOT_CONNECTED;
  }
  return com::CopyMediaType(type, *connectionType_);
}

HRESULT V4l2CapturePin::QueryPinInfo(PIN_INFO* info) {
  if (!info) return E_POINTER;
  info->pFilter = &filter_;
  filter_.AddRef();
  info->dir = PINDIR_OUTPUT;
  std::copy(std::begin(kPinName), std::end(kPinName), info->achName);
  return S_OK;
}

HRESULT V4l2CapturePin::QueryDirection(PIN_DIRECTION* direction) {
  if (!direction) return E_POINTER;
  *direction = PINDIR_OUTPUT;
  return S_OK;
}

HRESULT V4l2CapturePin::QueryAccept(const AM_MEDIA_TYPE* type) {
  if (!type) return E_POINTER;
  Formats formats;
  const HRESULT result = EnumerateFormats(*device_, &formats);
  if (FAILED(result)) return result;
  return FindFormat(formats, *type) ? S_OK : S_FALSE;
}

HRESULT V4l2CapturePin::EnumMediaTypes(IEnumMediaTypes** enumerator) {
  if (!enumerator) return E_POINTER;
  *enumerator = nullptr;
  Formats formats;
  const HRESULT result = EnumerateFormats(*device_, &formats);
  if (FAILED(result)) return result;
  // Each enumeration hands out the formats the driver listed when it began.
  *enumerator = devices::MakeMediaTypeEnumerator<&CreateMediaType>(std::move(formats)).Detach();
  return S_OK;
}

// --- IKsPropertySet ------------------------------------------------------------------------

HRESULT V4l2CapturePin::Set(REFGUID set, DWORD id, LPVOID, DWORD, LPVOID, DWORD) {
  if (set != AMPROPSETID_Pin) return HRESULT_ERROR_SET_NOT_FOUND;
  return id == AMPROPERTY_PIN_CATEGORY ? E_ACCESSDENIED : HRESULT_ERROR_NOT_FOUND;
}

HRESULT V4l2CapturePin::Get(REFGUID set, DWORD id, LPVOID, DWORD, LPVOID data, DWORD dataSize,
                            DWORD* returned) {
  if (set != AMPROPSETID_Pin) return HRESULT_ERROR_SET_NOT_FOUND;
  if (id != AMPROPERTY_PIN_CATEGORY) return HRESULT_ERROR_NOT_FOUND;
  if (returned) *returned = sizeof(GUID);
  if (!data || dataSize < sizeof(GUID)) return kInsufficientBuffer;
  std::memcpy(data, &PIN_CATEGORY_CAPTURE, sizeof(GUID));
  return S_OK;
}

HRESULT V4l2CapturePin::QuerySupported(REFGUID set, DWORD id, DWORD* support) {
  if (set != AMPROPSETID_Pin) return HRESULT_ERROR_SET_NOT_FOUND;
  if (id != AMPROPERTY_PIN_CATEGORY) return HRESULT_ERROR_NOT_FOUND;
  if (support) *support = KSPROPERTY_SUPPORT_GET;
  return S_OK;
}

// --- IAMStreamConfig -----------------------------------------------------------------------

HRESULT V4l2CapturePin::SetFormat(AM_MEDIA_TYPE* type) {
  if (!type) return E_POINTER;
  if (filterState_.load() != State_Stopped) return VFW_E_NOT_STOPPED;
  Formats formats;
  const HRESULT result = EnumerateFormats(*device_, &formats);
  if (FAILED(result)) return result;
  const V4l2Format* format = FindFormat(formats, *type);
  if (!format) return VFW_E_INVALIDMEDIATYPE;
  std::lock_guard lock(connectionMutex_);
  chosen_ = *format;
  return S_OK;
}

HRESULT V4l2CapturePin::GetFormat(AM_MEDIA_TYPE** type) {
  if (!type) return E_POINTER;
  *type = nullptr;
  // The device is asked even when a format was chosen: G_FMT claims nothing and costs no
  // transfer, and a camera that is gone must say so here as everywhere.
  V4l2Format current;
  const HRESULT result = CurrentFormat(*device_, &current);
  if (FAILED(result)) return result;
  if (const auto chosen = Chosen()) current = *chosen;
  if (!IsDescribable(current.pixelFormat)) return VFW_E_INVALIDMEDIATYPE;
  *type = CreateMediaType(current);
  return *type ? S_OK : E_OUTOFMEMORY;
}

HRESULT V4l2CapturePin::GetNumberOfCapabilities(int* count, int* size) {
  if (!count || !size) return E_POINTER;
  Formats formats;
  const HRESULT result = EnumerateFormats(*device_, &formats);
  if (FAILED(result)) return result;
  *count = static_cast<int>(formats.size());
  *size = sizeof(VIDEO_STREAM_CONFIG_CAPS);
  return S_OK;
}

HRESULT V4l2CapturePin::GetStreamCaps(int index, AM_MEDIA_TYPE** type, BYTE* caps) {
  if (!type || !caps) return E_POINTER;
  *type = nullptr;
  if (index < 0) return E_INVALIDARG;
  Formats formats;
  const HRESULT result = EnumerateFormats(*device_, &formats);
  if (FAILED(result)) return result;
  if (static_cast<std::size_t>(index) >= formats.size()) return S_FALSE;
  const V4l2Format& format = formats[static_cast<std::size_t>(index)];
  MediaTypePtr created(CreateMediaType(format));
  if (!created) return E_OUTOFMEMORY;
  VIDEOINFOHEADER header;
  std::memcpy(&header, created->pbFormat, sizeof(header));
  const SIZE picture{header.bmiHeader.biWidth, static_cast<LONG>(format.height)};
  VIDEO_STREAM_CONFIG_CAPS record{};
  record.guid = FORMAT_VideoInfo;
  record.InputSize = record.MinCroppingSize = record.MaxCroppingSize = picture;
  record.MinOutputSize = record.MaxOutputSize = picture;
  record.MinFrameInterval = record.MaxFrameInterval = header.AvgTimePerFrame;
  record.MinBitsPerSecond = record.MaxBitsPerSecond =
      static_cast<LONG>(std::min<DWORD>(header.dwBitRate, 0x7FFFFFFF));
  std::memcpy(caps, &record, sizeof(record));
  *type = created.release();
  return S_OK;
}

HRESULT V4l2CapturePin::GetPages(CAUUID* pages) {
  devices::RegisterStreamFormatPage();
  return devices::FillPageList(pages, {devices::CLSID_StreamFormatPage});
}

}  // namespace korvane::v4l2
