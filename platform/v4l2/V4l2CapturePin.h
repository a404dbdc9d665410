#pragma once
// The capture pin of a Video4Linux2 filter: the formats the driver lists, the one chosen, and
// choosing another. A chosen format is only remembered: the driver gives the stream to the open
// file that sets its format, so the format goes to the camera on the stream's own descriptor
// when it starts, and the filter's descriptor (listing and controls) never claims the camera.
// The pin lives inside its filter and shares the filter's lifetime.

#include <atomic>
#include <memory>
#include <mutex>

#include <optional>

#include "platform/DirectShow9.h"
#include "platform/v4l2/V4l2Device.h"
#include "platform/v4l2/V4l2Formats.h"
#include "platform/v4l2/V4l2Stream.h"

namespace korvane::v4l2 {

class V4l2CapturePin final : public IPin,
                             public IKsPropertySet,
                             public IAMStreamConfig,
                             public ISpecifyPropertyPages {
 public:
  V4l2CapturePin(IBaseFilter& filter, std::shared_ptr<V4l2Device> device,
                 const std::atomic<FILTER_STATE>& filterState);
  ~V4l2CapturePin();
  V4l2CapturePin(const V4l2CapturePin&) = delete;
  V4l2CapturePin& operator=(const V4l2CapturePin&) = delete;

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

  // ISpecifyPropertyPages: the stream format page
  HRESULT GetPages(CAUUID* pages) override;

  void DisconnectForShutdown();

  // The stream of the connection, as the filter's state changes: readied when it leaves
  // stopped, started when it runs, halted when it pauses, ended when it stops.
  HRESULT PrepareStream(StreamNotify notify);
  HRESULT StartStream();
  void HaltStream();
  void EndStream();

 private:
  struct MediaTypeDelete {
    void operator()(AM_MEDIA_TYPE* type) const;
  };
  using MediaTypePtr = std::unique_ptr<AM_MEDIA_TYPE, MediaTypeDelete>;

  std::optional<V4l2Format> Chosen();

  IBaseFilter& filter_;
  const std::shared_ptr<V4l2Device> device_;
  const std::atomic<FILTER_STATE>& filterState_;
  std::mutex connectionMutex_;
  ComPtr<IPin> connectedTo_;
  MediaTypePtr connectionType_;
  V4l2Format connectionFormat_;
  std::optional<V4l2Format> chosen_;    // the format set through this pin, not yet streamed
  std::unique_ptr<V4l2Stream> stream_;  // touched only with the filter's state lock held
};

}  // namespace korvane::v4l2
