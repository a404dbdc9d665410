// The simulated capture filter: IBaseFilter with one capture pin, the two control interfaces,
// the flash and stabilization property sets, video control and the driver's property pages.

#include "platform/sim/SimFilter.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/devices/ListEnumerator.h"
#include "platform/sim/SimCapturePin.h"
#include "platform/sim/SimControls.h"
#include "platform/sim/SimMediaTypeEnumerator.h"
#include "platform/sim/SimPages.h"

namespace korvane::sim {
namespace {

constexpr HRESULT kInsufficientBuffer = HResultFromWin32(122);  // ERROR_INSUFFICIENT_BUFFER
constexpr DWORD KSPROPERTY_SUPPORT_GET = 1;
constexpr DWORD KSPROPERTY_SUPPORT_SET = 2;

// The kernel-streaming records of the filter, by property set.
std::optional<SimKsRecord> SimDevice::*RecordOf(const GUID& set) {
  if (set == PROPSETID_VIDCAP_CAMERACONTROL_FLASH) return &SimDevice::flash;
  if (set == PROPSETID_VIDCAP_CAMERACONTROL_VIDEO_STABILIZATION) return &SimDevice::stabilization;
  return nullptr;
}

// Copies a name into a fixed wide-character field, cut to fit and always terminated.
template <std::size_t N>
void CopyName(const std::u16string& name, WCHAR (&target)[N]) {
  const std::size_t length = std::min(name.size(), N - 1);
  std::copy_n(name.begin(), length, target);
  target[length] = 0;
}

class SimFilter final
    : public com::ComObject<IBaseFilter, IKsPropertySet, IAMVideoControl, ISpecifyPropertyPages> {
 public:
  explicit SimFilter(const SimDriver& driver)
      : driver_(driver),
        videoProcAmp_(*static_cast<IBaseFilter*>(this), driver_, "IAMVideoProcAmp",
                      &SimDevice::videoProcAmp),
        cameraControl_(*static_cast<IBaseFilter*>(this), driver_, "IAMCameraControl",
                       &SimDevice::cameraControl),
        pin_(*this, driver_, state_) {}

  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (object && Refuses(iid)) {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    return ComObject::QueryInterface(iid, object);
  }

  // --- IPersist / IMediaFilter ---------------------------------------------------------------

  HRESULT GetClassID(CLSID* classId) override {
    if (!classId) return E_POINTER;
    *classId = CLSID_SimCaptureFilter;
    return S_OK;
  }
  // Stopping always stops the stream, also when the device answers with a failure; a device
  // that is gone has stopped all the same.
  HRESULT Stop() override {
    const SimCall call = driver_.Begin("IMediaFilter::Stop");
    std::lock_guard lock(stateMutex_);
    pin_.EndStream();
    state_.store(State_Stopped);
    return call.result == HRESULT_ERROR_DEVICE_NOT_CONNECTED ? S_OK : call.result;
  }

  HRESULT Pause() override {
    const SimCall call = driver_.Begin("IMediaFilter::Pause");
    if (call.Failed()) return call.result;
    std::lock_guard lock(stateMutex_);
    const FILTER_STATE from = state_.load();
    if (from == State_Stopped) {
      const HRESULT opened = OpenStream(*call.device);
      if (FAILED(opened)) return opened;
    } else {
      pin_.HaltStream();
    }
    state_.store(State_Paused);
    return S_OK;
  }

  HRESULT Run(REFERENCE_TIME) override {
    const SimCall call = driver_.Begin("IMediaFilter::Run");
    if (call.Failed()) return call.result;
    std::lock_guard lock(stateMutex_);
    if (state_.load() == State_Stopped) {
      const HRESULT opened = OpenStream(*call.device);
      if (FAILED(opened)) return opened;
    }
    pin_.StartStream();
    state_.store(State_Running);
    return S_OK;
  }

  // A live source delivers nothing while paused: it cannot cue a picture.
  HRESULT GetState(DWORD, FILTER_STATE* state) override {
    if (!state) return E_POINTER;
    *state = state_.load();
    return *state == State_Paused ? VFW_S_CANT_CUE : S_OK;
  }

  // --- IBaseFilter -----------------------------------------------------------------------------

  HRESULT EnumPins(IEnumPins** enumerator) override {
    if (!enumerator) return E_POINTER;
    *enumerator = nullptr;
    const SimCall call = driver_.Begin("IBaseFilter::EnumPins");
    if (call.Failed()) return call.result;
    std::vector<ComPtr<IPin>> pins;
    if (!call.device->missingInterfaces.contains("CapturePin")) pins.emplace_back(&pin_);
    *enumerator = devices::MakeListEnumerator<IEnumPins>(std::move(pins)).Detach();
    return S_OK;
  }

  HRESULT FindPin(LPCWSTR id, IPin** pin) override {
    if (!id || !pin) return E_POINTER;
    *pin = nullptr;
    const SimCall call = driver_.Begin("IBaseFilter::FindPin");
    if (call.Failed()) return call.result;
    PIN_INFO info{};
    pin_.QueryPinInfo(&info);
    info.pFilter->Release();
    const std::u16string_view wanted(id, com::WideLength(id));
    if (call.device->missingInterfaces.contains("CapturePin") || wanted != info.achName) {
      return VFW_E_NOT_FOUND;
    }
    *pin = ComPtr<IPin>(&pin_).Detach();
    return S_OK;
  }

  HRESULT QueryFilterInfo(FILTER_INFO* info) override {
    if (!info) return E_POINTER;
    const SimCall call = driver_.Begin("IBaseFilter::QueryFilterInfo");
    if (call.Failed()) return call.result;
    std::lock_guard lock(graphMutex_);
    // In a graph the filter goes by the name the graph gave it, otherwise by its own.
    const std::u16string name =
        graph_ ? graphName_ : com::Utf8ToUtf16(call.device->friendlyName.value_or(""));
    CopyName(name, info->achName);
    info->pGraph = graph_;
    if (graph_) graph_->AddRef();
    return S_OK;
  }

  // The graph owns its filters; a filter keeps only a plain pointer back, or the two would
  // keep each other alive.
  HRESULT JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override {
    IMediaEventSink* sink = nullptr;
    if (graph) {
      ComPtr<IMediaEventSink> counted;
      graph->QueryInterface(IID_IMediaEventSink, counted.ReleaseAndGetVoidAddressOf());
      sink = counted.Get();  // plain, as the graph pointer
    }
    std::lock_guard lock(graphMutex_);
    graph_ = graph;
    sink_ = sink;
    graphName_ = graph && name ? std::u16string(name, com::WideLength(name)) : std::u16string();
    return S_OK;
  }

  HRESULT QueryVendorInfo(LPWSTR* vendorInfo) override {
    if (!vendorInfo) return E_POINTER;
    *vendorInfo = nullptr;
    return E_NOTIMPL;
  }

  // --- IKsPropertySet: flash and video stabilization -------------------------------------------

  HRESULT Get(REFGUID set, DWORD id, LPVOID, DWORD, LPVOID data, DWORD dataSize,
              DWORD* returned) override {
    const SimCall call = driver_.Begin("IKsPropertySet::Get");
    if (call.Failed()) return call.result;
    const auto record = RecordOf(set);
    if (!record || !(call.device->*record)) return HRESULT_ERROR_SET_NOT_FOUND;
    if (id != 0) return HRESULT_ERROR_NOT_FOUND;
    if (returned) *returned = sizeof(DWORD) * 2;
    // Too small a buffer on a supported set is a failure of its own kind, not "not found".
    if (!data || dataSize < sizeof(DWORD) * 2) return kInsufficientBuffer;
    const SimKsRecord& value = *(call.device->*record);
    const DWORD words[2] = {value.first, value.second};
    std::memcpy(data, words, sizeof(words));
    return S_OK;
  }

  HRESULT Set(REFGUID set, DWORD id, LPVOID, DWORD, LPVOID data, DWORD dataSize) override {
    const SimCall call = driver_.Begin("IKsPropertySet::Set");
    if (call.Failed()) return call.result;
    const auto record = RecordOf(set);
    if (!record) return HRESULT_ERROR_SET_NOT_FOUND;
    if (!data || dataSize < sizeof(DWORD) * 2) {
      return call.device->*record ? kInsufficientBuffer : HRESULT_ERROR_SET_NOT_FOUND;
    }
    DWORD words[2];
    std::memcpy(words, data, sizeof(words));
    return driver_.Change([&](SimDevice& device) {
      if (!(device.*record)) return HRESULT_ERROR_SET_NOT_FOUND;
      if (id != 0) return HRESULT_ERROR_NOT_FOUND;
      *(device.*record) = SimKsRecord{words[0], words[1]};
      return S_OK;
    });
  }

  HRESULT QuerySupported(REFGUID set, DWORD id, DWORD* support) override {
    const SimCall call = driver_.Begin("IKsPropertySet::QuerySupported");
    if (call.Failed()) return call.result;
    const auto record = RecordOf(set);
    if (!record || !(call.device->*record)) return HRESULT_ERROR_SET_NOT_FOUND;
    if (id != 0) return HRESULT_ERROR_NOT_FOUND;
    if (support) *support = KSPROPERTY_SUPPORT_GET | KSPROPERTY_SUPPORT_SET;
    return S_OK;
  }

  // --- IAMVideoControl: a webcam without flip or trigger modes ---------------------------------

  HRESULT GetCaps(IPin* pin, LONG* caps) override {
    const SimCall call = driver_.Begin("IAMVideoControl::GetCaps");
    if (call.Failed()) return call.result;
    if (!pin || !caps) return E_POINTER;
    *caps = 0;
    return S_OK;
  }
  HRESULT SetMode(IPin* pin, LONG mode) override {
    const SimCall call = driver_.Begin("IAMVideoControl::SetMode");
    if (call.Failed()) return call.result;
    if (!pin) return E_POINTER;
    return mode == 0 ? S_OK : E_INVALIDARG;
  }
  HRESULT GetMode(IPin* pin, LONG* mode) override {
    const SimCall call = driver_.Begin("IAMVideoControl::GetMode");
    if (call.Failed()) return call.result;
    if (!pin || !mode) return E_POINTER;
    *mode = 0;
    return S_OK;
  }

  // --- ISpecifyPropertyPages -------------------------------------------------------------------

  HRESULT GetPages(CAUUID* pages) override {
    const SimCall call = driver_.Begin("ISpecifyPropertyPages::GetPages");
    if (call.Failed()) return call.result;
    const SimDevice& device = *call.device;
    // One page per group of controls the device really has.
    std::vector<CLSID> ids;
    if (!device.missingInterfaces.contains("IAMVideoProcAmp") && !device.videoProcAmp.empty()) {
      ids.push_back(CLSID_SimVideoProcAmpPage);
    }
    const bool cameraControls =
        !device.missingInterfaces.contains("IAMCameraControl") && !device.cameraControl.empty();
    if (cameraControls || device.flash || device.stabilization) {
      ids.push_back(CLSID_SimCameraControlPage);
    }
    return FillPageList(pages, ids);
  }

 protected:
  HRESULT QueryExtraInterface(REFIID iid, void** object) override {
    if (iid == IID_IAMVideoProcAmp) {
      *object = static_cast<IAMVideoProcAmp*>(&videoProcAmp_);
    } else if (iid == IID_IAMCameraControl) {
      *object = static_cast<IAMCameraControl*>(&cameraControl_);
    } else {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }

 private:
  ~SimFilter() override { pin_.DisconnectForShutdown(); }

  // Interfaces the device description leaves out.
  bool Refuses(REFIID iid) const {
    static const std::pair<const IID*, const char*> kOptional[] = {
        {&IID_IAMVideoProcAmp, "IAMVideoProcAmp"},
        {&IID_IAMCameraControl, "IAMCameraControl"},
        {&IID_IKsPropertySet, "IKsPropertySet"},
        {&IID_IAMVideoControl, "IAMVideoControl"},
        {&IID_ISpecifyPropertyPages, "ISpecifyPropertyPages"},
    };
    for (const auto& [id, name] : kOptional) {
      if (iid == *id) return driver_.Lacks(name);
    }
    return false;
  }

  // The device is taken for streaming when the filter leaves stopped; one that another program
  // holds is busy, as a real camera answers.
  HRESULT OpenStream(const SimDevice& device) {
    if (device.heldByAnotherProgram) return HRESULT_ERROR_BUSY;
    return pin_.PrepareStream([this](LONG code, LONG_PTR param1, LONG_PTR param2) {
      std::lock_guard lock(graphMutex_);
      if (sink_) sink_->Notify(code, param1, param2);
    });
  }

  const SimDriver driver_;
  std::mutex stateMutex_;
  std::atomic<FILTER_STATE> state_{State_Stopped};
  std::mutex graphMutex_;
  IFilterGraph* graph_ = nullptr;
  IMediaEventSink* sink_ = nullptr;
  std::u16string graphName_;
  SimControlPart<IAMVideoProcAmp> videoProcAmp_;
  SimControlPart<IAMCameraControl> cameraControl_;
  SimCapturePin pin_;
};

}  // namespace

HRESULT CreateSimFilter(const SimDriver& driver, REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  ComPtr<SimFilter> filter = com::MakeCom<SimFilter>(driver);
  return filter->QueryInterface(iid, object);
}

}  // namespace korvane::sim
