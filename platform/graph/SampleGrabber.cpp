// The sample grabber (CLSID_SampleGrabber): passes every sample through unchanged, keeps the
// last one for GetCurrentBuffer when asked to buffer, and hands each one to an application
// callback on the streaming thread. The buffered sample is held, not copied: a copy is made only
// when the application asks for the bytes.

#include <cstring>
#include <mutex>
#include <optional>

#include "platform/graph/GraphClasses.h"
#include "platform/graph/GraphFilter.h"

namespace korvane::graph {
namespace {

class SampleGrabber final : public GraphFilter<ISampleGrabber> {
 public:
  SampleGrabber()
      : GraphFilter(CLSID_SampleGrabber, u"SampleGrabber"),
        input_(*this, u"Input"),
        output_(*this, u"Output") {}

  // --- ISampleGrabber -----------------------------------------------------------------------

  HRESULT SetOneShot(BOOL oneShot) override {
    std::lock_guard lock(mutex_);
    oneShot_ = oneShot != FALSE;
    return S_OK;
  }

  // The type takes effect at the next connection; GUID_NULL fields accept anything.
  HRESULT SetMediaType(const AM_MEDIA_TYPE* type) override {
    if (!type) return E_POINTER;
    std::lock_guard lock(mutex_);
    wanted_ = MediaType::From(*type);
    return S_OK;
  }

  HRESULT GetConnectedMediaType(AM_MEDIA_TYPE* type) override {
    if (!type) return E_POINTER;
    const std::optional<MediaType> connected = input_.ConnectionType();
    if (!connected) {
      *type = AM_MEDIA_TYPE{};
      return VFW_E_NOT_CONNECTED;
    }
    return connected->CopyTo(type);
  }

  HRESULT SetBufferSamples(BOOL buffer) override {
    std::lock_guard lock(mutex_);
    buffering_ = buffer != FALSE;
    if (!buffering_) {
      buffered_ = nullptr;
      measured_ = nullptr;
    }
    return S_OK;
  }

  // Two calls: the size with no buffer, then the bytes. The copy that follows a size query hands
  // out the very sample the query measured, so a stream whose samples vary in size (Motion
  // JPEG) cannot make the second call fail or cut the picture.
  HRESULT GetCurrentBuffer(LONG* size, LONG* buffer) override {
    if (!size) return E_POINTER;
    std::lock_guard lock(mutex_);
    if (!buffering_) return E_INVALIDARG;
    if (!buffered_) return VFW_E_WRONG_STATE;
    if (!buffer) {
      measured_ = buffered_;
      *size = measured_->GetActualDataLength();
      return S_OK;
    }
    const ComPtr<IMediaSample> sample = measured_ ? measured_ : buffered_;
    const LONG length = sample->GetActualDataLength();
    if (*size < length) return E_OUTOFMEMORY;
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    std::memcpy(buffer, data, static_cast<std::size_t>(length));
    *size = length;
    measured_ = nullptr;
    return S_OK;
  }

  HRESULT GetCurrentSample(IMediaSample** sample) override {
    if (!sample) return E_POINTER;
    *sample = nullptr;
    std::lock_guard lock(mutex_);
    if (!buffering_) return E_INVALIDARG;
    *sample = ComPtr<IMediaSample>(buffered_).Detach();
    return *sample ? S_OK : VFW_E_WRONG_STATE;
  }

  HRESULT SetCallback(ISampleGrabberCB* callback, LONG whichMethod) override {
    if (callback && whichMethod != 0 && whichMethod != 1) return E_INVALIDARG;
    std::lock_guard lock(mutex_);
    callback_ = ComPtr<ISampleGrabberCB>(callback);
    whichMethod_ = whichMethod;
    return S_OK;
  }

  // --- PinHost --------------------------------------------------------------------------------

  HRESULT CheckInputType(const InputPin&, const AM_MEDIA_TYPE& type) override {
    std::lock_guard lock(mutex_);
    if (!wanted_) return S_OK;
    return MatchesPartial(wanted_->View(), type) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
  }

  // The output offers what the input carries, so it connects once the input has.
  std::vector<MediaType> OutputTypes(const OutputPin&) override {
    std::optional<MediaType> connected = input_.ConnectionType();
    if (!connected) return {};
    return {std::move(*connected)};
  }

  void OnInputDisconnected(InputPin&) override { DisconnectBothSides(&output_); }

  HRESULT OnReceive(InputPin&, IMediaSample* sample) override {
    ComPtr<ISampleGrabberCB> callback;
    LONG whichMethod = 0;
    bool lastShot = false;
    {
      std::lock_guard lock(mutex_);
      if (shotTaken_) return S_FALSE;
      if (buffering_) buffered_ = ComPtr<IMediaSample>(sample);
      callback = callback_;
      whichMethod = whichMethod_;
      shotTaken_ = lastShot = oneShot_;
    }
    // The callback runs without a lock held: it may take a snapshot through this grabber.
    if (callback) {
      REFERENCE_TIME start = 0, end = 0;
      const double seconds = SUCCEEDED(sample->GetTime(&start, &end)) ? start / 1e7 : 0.0;
      if (whichMethod == 0) {
        callback->SampleCB(seconds, sample);
      } else {
        BYTE* data = nullptr;
        sample->GetPointer(&data);
        callback->BufferCB(seconds, data, sample->GetActualDataLength());
      }
    }
    const HRESULT delivered = output_.Deliver(sample);
    if (lastShot) output_.DeliverEndOfStream();
    return delivered;
  }

  void OnEndOfStream(InputPin&) override { output_.DeliverEndOfStream(); }

 protected:
  std::vector<IPin*> Pins() override { return {&input_, &output_}; }

  HRESULT OnPause(FILTER_STATE from) override {
    if (from == State_Stopped) {
      std::lock_guard lock(mutex_);
      shotTaken_ = false;
    }
    return S_OK;
  }

 private:
  InputPin input_;
  OutputPin output_;
  std::mutex mutex_;
  std::optional<MediaType> wanted_;
  bool buffering_ = false;
  bool oneShot_ = false;
  bool shotTaken_ = false;
  ComPtr<IMediaSample> buffered_;
  ComPtr<IMediaSample> measured_;  // the sample a size query measured, until its copy
  ComPtr<ISampleGrabberCB> callback_;
  LONG whichMethod_ = 0;
};

}  // namespace

HRESULT CreateSampleGrabber(REFIID iid, void** object) {
  return com::MakeCom<SampleGrabber>()->QueryInterface(iid, object);
}

}  // namespace korvane::graph
