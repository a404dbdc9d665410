#pragma once
// The input and output pins of the graph's own filters. A pin lives inside its filter and shares
// the filter's reference count; what it accepts, offers and does with a sample it asks of the
// filter through PinHost. Connections are made and undone only while the filter is stopped;
// samples and ends of stream travel on the streaming thread.

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/DirectShow9.h"
#include "platform/graph/MediaType.h"

namespace korvane::graph {

class InputPin;
class OutputPin;

class PinHost {
 public:
  virtual IBaseFilter& HostFilter() = 0;
  virtual FILTER_STATE HostState() const = 0;

  // Input side: whether a connection of this type is taken, and what arrives on it.
  virtual HRESULT CheckInputType(const InputPin&, const AM_MEDIA_TYPE&) {
    return VFW_E_TYPE_NOT_ACCEPTED;
  }
  virtual HRESULT OnReceive(InputPin&, IMediaSample*) { return E_UNEXPECTED; }
  virtual void OnEndOfStream(InputPin&) {}
  virtual void OnInputDisconnected(InputPin&) {}

  // Output side: the types offered for a connection, preferred first.
  virtual std::vector<MediaType> OutputTypes(const OutputPin&) { return {}; }

 protected:
  ~PinHost() = default;
};

// What both kinds of pin share: identity, name, direction and the connection.
class PinBase : public IPin {
 public:
  PinBase(PinHost& host, std::u16string name, PIN_DIRECTION direction);
  PinBase(const PinBase&) = delete;
  PinBase& operator=(const PinBase&) = delete;

  ULONG AddRef() override;
  ULONG Release() override;

  HRESULT Disconnect() override;
  HRESULT ConnectedTo(IPin** pin) override;
  HRESULT ConnectionMediaType(AM_MEDIA_TYPE* type) override;
  HRESULT QueryPinInfo(PIN_INFO* info) override;
  HRESULT QueryDirection(PIN_DIRECTION* direction) override;

  const std::u16string& Name() const { return name_; }
  bool IsConnected() const;
  // The type of the connection; nullopt while unconnected.
  std::optional<MediaType> ConnectionType() const;
  ComPtr<IPin> Peer() const;

 protected:
  ~PinBase() = default;
  HRESULT RefuseUnlessStopped() const;
  void SetConnection(ComPtr<IPin> peer, MediaType type);

  PinHost& host_;
  mutable std::mutex mutex_;

 private:
  const std::u16string name_;
  const PIN_DIRECTION direction_;
  ComPtr<IPin> peer_;
  std::optional<MediaType> type_;
};

class InputPin final : public PinBase, public IMemInputPin {
 public:
  InputPin(PinHost& host, std::u16string name);

  HRESULT QueryInterface(REFIID iid, void** object) override;
  ULONG AddRef() override { return PinBase::AddRef(); }
  ULONG Release() override { return PinBase::Release(); }

  HRESULT Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) override;
  HRESULT ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) override;
  HRESULT Disconnect() override;
  HRESULT QueryAccept(const AM_MEDIA_TYPE* type) override;
  HRESULT EnumMediaTypes(IEnumMediaTypes** enumerator) override;
  HRESULT EndOfStream() override;

  HRESULT Receive(IMediaSample* sample) override;
  HRESULT ReceiveCanBlock() override;
};

class OutputPin final : public PinBase {
 public:
  OutputPin(PinHost& host, std::u16string name);

  HRESULT QueryInterface(REFIID iid, void** object) override;

  HRESULT Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) override;
  HRESULT ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) override;
  HRESULT Disconnect() override;
  HRESULT QueryAccept(const AM_MEDIA_TYPE* type) override;
  HRESULT EnumMediaTypes(IEnumMediaTypes** enumerator) override;
  HRESULT EndOfStream() override;

  // On the streaming thread: hands a sample or the end of the stream downstream. An unconnected
  // pin takes both and does nothing with them.
  HRESULT Deliver(IMediaSample* sample);
  void DeliverEndOfStream();

 private:
  ComPtr<IMemInputPin> receiver_;
};

// Drops the connection on both sides, as the graph does when a filter leaves it. The filter
// must be stopped.
void DisconnectBothSides(IPin* pin);

}  // namespace korvane::graph
