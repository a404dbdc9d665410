// The capture filter of a Video4Linux2 camera.

#include "platform/v4l2/V4l2Filter.h"

#include <algorithm>
#include <mutex>

#include "platform/com/DelegatingPart.h"
#include "platform/devices/ListEnumerator.h"
#include "platform/devices/StreamFormatPage.h"
#include "platform/v4l2/V4l2CapturePin.h"
#include "platform/v4l2/V4l2Controls.h"
#include "platform/v4l2/V4l2Pages.h"

namespace korvane::v4l2 {
namespace {

template <std::size_t N>
void CopyName(const std::u16string& name, WCHAR (&target)[N]) {
  const std::size_t length = std::min(name.size(), N - 1);
  std::copy_n(name.begin(), length, target);
  target[length] = 0;
}

// IAMVideoProcAmp and IAMCameraControl have the same three calls; the interface only says
// which of the driver's controls an index means.
template <class Interface>
class ControlPart final : public com::DelegatingPart<Interface> {
 public:
  ControlPart(IUnknown& owner, std::shared_ptr<V4l2Device> device, ControlInterface interface)
      : com::DelegatingPart<Interface>(owner),
        controls_(std::move(device)),
        interface_(interface) {}

  HRESULT GetRange(LONG property, LONG* min, LONG* max, LONG* step, LONG* defaultValue,
                   LONG* caps) override {
    if (!min || !max || !step || !defaultValue || !caps) return E_POINTER;
    const ControlMapping* control = FindControlMapping(interface_, property);
    return control ? controls_.GetRange(*control, min, max, step, defaultValue, caps)
                   : HRESULT_ERROR_NOT_FOUND;
  }
  HRESULT Get(LONG property, LONG* value, LONG* flags) override {
    if (!value || !flags) return E_POINTER;
    const ControlMapping* control = FindControlMapping(interface_, property);
    return control ? controls_.Get(*control, value, flags) : HRESULT_ERROR_NOT_FOUND;
  }
  HRESULT Set(LONG property, LONG value, LONG flags) override {
    const ControlMapping* control = FindControlMapping(interface_, property);
    return control ? controls_.Set(*control, value, flags) : HRESULT_ERROR_NOT_FOUND;
  }

 private:
  V4l2Controls controls_;
  const ControlInterface interface_;
};

class V4l2Filter final
    : public com::ComObject<IBaseFilter, IKsPropertySet, ISpecifyPropertyPages, IV4l2DeviceAccess> {
 public:
  V4l2Filter(std::shared_ptr<V4l2Device> device, std::string friendlyName)
      : device_(std::move(device)),
        friendlyName_(com::Utf8ToUtf16(friendlyName)),
        videoProcAmp_(*static_cast<IBaseFilter*>(this), device_, ControlInterface::VideoProcAmp),
        cameraControl_(*static_cast<IBaseFilter*>(this), device_, ControlInterface::CameraControl),
        pin_(*this, device_, state_) {}

  // --- IPersist / IMediaFilter ---
  HRESULT GetClassID(CLSID* classId) override {
    if (!classId) return E_POINTER;
    *classId = CLSID_V4l2CaptureFilter;
    return S_OK;
  }
  // Stopping always ends the stream and gives the camera back, also when it is gone.
  HRESULT Stop() override {
    std::lock_guard lock(stateMutex_);
    pin_.EndStream();
    state_.store(State_Stopped);
    return S_OK;
  }
  // The camera is taken for streaming when the filter leaves stopped; one that another
  // program streams from is busy.
  HRESULT Pause() override {
    std::lock_guard lock(stateMutex_);
    if (state_.load() == State_Stopped) {
      if (const HRESULT opened = OpenStream(); FAILED(opened)) return opened;
    } else {
      pin_.HaltStream();
    }
    state_.store(State_Paused);
    return S_OK;
  }
  HRESULT Run(REFERENCE_TIME) override {
    std::lock_guard lock(stateMutex_);
    const bool wasStopped = state_.load() == State_Stopped;
    if (wasStopped) {
      if (const HRESULT opened = OpenStream(); FAILED(opened)) return opened;
    }
    if (const HRESULT started = pin_.StartStream(); FAILED(started)) {
      if (wasStopped) pin_.EndStream();
      return started;
    }
    state_.store(State_Running);
    return S_OK;
  }
  // A live source delivers nothing while paused: it cannot cue a picture.
  HRESULT GetState(DWORD, FILTER_STATE* state) override {
    if (!state) return E_POINTER;
    *state = state_.load();
    return *state == State_Paused ? VFW_S_CANT_CUE : S_OK;
  }

  // --- IBaseFilter ---
  HRESULT EnumPins(IEnumPins** enumerator) override {
    if (!enumerator) return E_POINTER;
    std::vector<ComPtr<IPin>> pins{ComPtr<IPin>(&pin_)};
    *enumerator = devices::MakeListEnumerator<IEnumPins>(std::move(pins)).Detach();
    return S_OK;
  }
  HRESULT FindPin(LPCWSTR id, IPin** pin) override {
    if (!id || !pin) return E_POINTER;
    *pin = nullptr;
    if (std::u16string_view(id, com::WideLength(id)) != u"Capture") return VFW_E_NOT_FOUND;
    *pin = ComPtr<IPin>(&pin_).Detach();
    return S_OK;
  }
  HRESULT QueryFilterInfo(FILTER_INFO* info) override {
    if (!info) return E_POINTER;
    std::lock_guard lock(graphMutex_);
    CopyName(graph_ ? graphName_ : friendlyName_, info->achName);
    info->pGraph = graph_;
    if (graph_) graph_->AddRef();
    return S_OK;
  }
  // The graph owns its filters; a filter keeps only a plain pointer back.
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

  // --- IKsPropertySet: no Video4Linux2 camera has the flash or stabilization records ---
  HRESULT Get(REFGUID, DWORD, LPVOID, DWORD, LPVOID, DWORD, DWORD*) override {
    return HRESULT_ERROR_SET_NOT_FOUND;
  }
  HRESULT Set(REFGUID, DWORD, LPVOID, DWORD, LPVOID, DWORD) override {
    return HRESULT_ERROR_SET_NOT_FOUND;
  }
  HRESULT QuerySupported(REFGUID, DWORD, DWORD*) override { return HRESULT_ERROR_SET_NOT_FOUND; }

  // --- ISpecifyPropertyPages: one page per class of the driver's controls ---
  HRESULT GetPages(CAUUID* pages) override {
    if (!pages) return E_POINTER;
    std::vector<CLSID> ids;
    const HRESULT result = ControlPageIds(*device_, &ids);
    if (FAILED(result)) {
      pages->cElems = 0;
      pages->pElems = nullptr;
      return result;
    }
    return devices::FillPageList(pages, ids);
  }

  // --- IV4l2DeviceAccess ---
  std::shared_ptr<V4l2Device> Device() override { return device_; }

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
  ~V4l2Filter() override { pin_.DisconnectForShutdown(); }

  HRESULT OpenStream() {
    return pin_.PrepareStream([this](LONG code, LONG_PTR param1, LONG_PTR param2) {
      std::lock_guard lock(graphMutex_);
      if (sink_) sink_->Notify(code, param1, param2);
    });
  }

  const std::shared_ptr<V4l2Device> device_;
  const std::u16string friendlyName_;
  std::mutex stateMutex_;
  std::atomic<FILTER_STATE> state_{State_Stopped};
  std::mutex graphMutex_;
  IFilterGraph* graph_ = nullptr;
  IMediaEventSink* sink_ = nullptr;
  std::u16string graphName_;
  ControlPart<IAMVideoProcAmp> videoProcAmp_;
  ControlPart<IAMCameraControl> cameraControl_;
  V4l2CapturePin pin_;
};

}  // namespace

HRESULT CreateV4l2Filter(std::shared_ptr<V4l2Device> device, std::string friendlyName, REFIID iid,
                         void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  ComPtr<V4l2Filter> filter = com::MakeCom<V4l2Filter>(std::move(device), std::move(friendlyName));
  return filter->QueryInterface(iid, object);
}

}  // namespace korvane::v4l2
