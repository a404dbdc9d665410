#pragma once
// The capture pin of a simulated filter: an output pin of category capture that offers the
// device's formats and configures the current one. It lives inside its filter and shares the
// filter's lifetime, as pins do.

#include <atomic>
#include <memory>
#include <mutex>

#include "platform/DirectShow9.h"
#include "platform/sim/SimDriver.h"
#include "platform/sim/SimMediaTypes.h"
#include "platform/sim/SimStream.h"

namespace korvane::sim {

class SimCapturePin final : public IPin,
                            public IKsPropertySet,
                            public IAMStreamConfig,
                            public ISpecifyPropertyPages {
 public:
  SimCapturePin(IBaseFilter& filter, const SimDriver& driver,
                const std::atomic<FILTER_STATE>& filterState);
  ~SimCapturePin();
  SimCapturePin(const SimCapturePin&) = delete;
  SimCapturePin& operator=(const SimCapturePin&) = delete;

  // IUnknown: the pin's own identity, the filter's reference count.
  HRESULT QueryInterface(REFIID iid, void** object) override;
  ULONG AddRef() override;
  ULONG Release() override;

  // IPin
  HRESULT Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) override;
  HRESULT ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) override;
  HRESULT Disconnect() override;
  HRESULT ConnectedTo(IPin** pin) override;
  HRESULT ConnectionMediaType(AM_MEDIA_TYPE* type) override;
  HRESULT QueryPinInfo(PIN_INFO* info) override;
  HRESULT QueryDirection(PIN_DIRECTION* direction) override;
  HRESULT QueryAccept(const AM_MEDIA_TYPE* type) override;
  HRESULT EnumMediaTypes(IEnumMediaTypes** enumerator) override;
  HRESULT EndOfStream() override;

  // IKsPropertySet: the pin category
  HRESULT Set(REFGUID set, DWORD id, LPVOID instance, DWORD instanceSize, LPVOID data,
              DWORD dataSize) override;
  HRESULT Get(REFGUID set, DWORD id, LPVOID instance, DWORD instanceSize, LPVOID data,
              DWORD dataSize, DWORD* returned) override;
  HRESULT QuerySupported(REFGUID set, DWORD id, DWORD* support) override;

  // IAMStreamConfig
  HRESULT SetFormat(AM_MEDIA_TYPE* type) override;
  HRESULT GetFormat(AM_MEDIA_TYPE** type) override;
  HRESULT GetNumberOfCapabilities(int* count, int* size) override;
  HRESULT GetStreamCaps(int index, AM_MEDIA_TYPE** type, BYTE* caps) override;

  // ISpecifyPropertyPages: the format page
  HRESULT GetPages(CAUUID* pages) override;

  // Drops a connection the graph did not undo before the filter goes away.
  void DisconnectForShutdown();

  // The stream of the connection, as the filter's state changes: readied when it leaves
  // stopped, running while it runs, ended when it stops. An unconnected pin has none.
  HRESULT PrepareStream(StreamNotify notify);
  void StartStream();
  void HaltStream();
  void EndStream();

 private:
  HRESULT ConnectWith(IPin* receivePin, const SimFormat& format);

  IBaseFilter& filter_;
  const SimDriver& driver_;
  const std::atomic<FILTER_STATE>& filterState_;
  std::mutex connectionMutex_;
  ComPtr<IPin> connectedTo_;
  SimMediaTypePtr connectionType_;
  std::unique_ptr<SimStream> stream_;  // touched only with the filter's state lock held
};

}  // namespace korvane::sim
