#include "platform/graph/Pins.h"

#include <algorithm>
#include <utility>

#include "platform/devices/ListEnumerator.h"

namespace korvane::graph {
namespace {

AM_MEDIA_TYPE* NewMediaType(const MediaType& type) {
  return com::CreateMediaType(type.View());
}

HRESULT EnumerateTypes(std::vector<MediaType> types, IEnumMediaTypes** enumerator) {
  if (!enumerator) return E_POINTER;
  *enumerator = devices::MakeMediaTypeEnumerator<&NewMediaType>(std::move(types)).Detach();
  return S_OK;
}

template <std::size_t N>
void CopyName(const std::u16string& name, WCHAR (&target)[N]) {
  const std::size_t length = std::min(name.size(), N - 1);
  std::copy_n(name.begin(), length, target);
  target[length] = 0;
}

}  // namespace

// --- PinBase --------------------------------------------------------------------------------

PinBase::PinBase(PinHost& host, std::u16string name, PIN_DIRECTION direction)
    : host_(host), name_(std::move(name)), direction_(direction) {}

ULONG PinBase::AddRef() {
  return host_.HostFilter().AddRef();
}
ULONG PinBase::Release() {
  return host_.HostFilter().Release();
}

HRESULT PinBase::RefuseUnlessStopped() const {
  return host_.HostState() == State_Stopped ? S_OK : VFW_E_NOT_STOPPED;
}

void PinBase::SetConnection(ComPtr<IPin> peer, MediaType type) {
  std::lock_guard lock(mutex_);
  peer_ = std::move(peer);
  type_ = std::move(type);
}

HRESULT PinBase::Disconnect() {
  if (FAILED(RefuseUnlessStopped())) return VFW_E_NOT_STOPPED;
  std::lock_guard lock(mutex_);
  if (!peer_) return S_FALSE;
  peer_ = nullptr;
  type_.reset();
  return S_OK;
}

HRESULT PinBase::ConnectedTo(IPin** pin) {
  if (!pin) return E_POINTER;
  std::lock_guard lock(mutex_);
  *pin = ComPtr<IPin>(peer_).Detach();
  return *pin ? S_OK : VFW_E_NOT_CONNECTED;
}

HRESULT PinBase::ConnectionMediaType(AM_MEDIA_TYPE* type) {
  if (!type) return E_POINTER;
  std::lock_guard lock(mutex_);
  if (!type_) {
    *type = AM_MEDIA_TYPE{};
    return VFW_E_NOT_CONNECTED;
  }
  return type_->CopyTo(type);
}

HRESULT PinBase::QueryPinInfo(PIN_INFO* info) {
  if (!info) return E_POINTER;
  info->pFilter = &host_.HostFilter();
  info->pFilter->AddRef();
  info->dir = direction_;
  CopyName(name_, info->achName);
  return S_OK;
}

HRESULT PinBase::QueryDirection(PIN_DIRECTION* direction) {
  if (!direction) return E_POINTER;
  *direction = direction_;
  return S_OK;
}

bool PinBase::IsConnected() const {
  std::lock_guard lock(mutex_);
  return peer_ != nullptr;
}

std::optional<MediaType> PinBase::ConnectionType() const {
  std::lock_guard lock(mutex_);
  return type_;
}

ComPtr<IPin> PinBase::Peer() const {
  std::lock_guard lock(mutex_);
  return peer_;
}

// --- InputPin -------------------------------------------------------------------------------

InputPin::InputPin(PinHost& host, std::u16string name)
    : PinBase(host, std::move(name), PINDIR_INPUT) {}

HRESULT InputPin::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (iid == IID_IUnknown || iid == IID_IPin) {
    *object = static_cast<IPin*>(this);
  } else if (iid == IID_IMemInputPin) {
    *object = static_cast<IMemInputPin*>(this);
  } else {
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

HRESULT InputPin::Connect(IPin*, const AM_MEDIA_TYPE*) {
  return E_UNEXPECTED;  // connections start at the output pin
}

HRESULT InputPin::ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) {
  if (!connector || !type) return E_POINTER;
  if (IsConnected()) return VFW_E_ALREADY_CONNECTED;
  if (FAILED(RefuseUnlessStopped())) return VFW_E_NOT_STOPPED;
  PIN_DIRECTION direction{};
  if (FAILED(connector->QueryDirection(&direction)) || direction != PINDIR_OUTPUT) {
    return VFW_E_INVALID_DIRECTION;
  }
  if (FAILED(host_.CheckInputType(*this, *type))) return VFW_E_TYPE_NOT_ACCEPTED;
  SetConnection(ComPtr<IPin>(connector), MediaType::From(*type));
  return S_OK;
}

HRESULT InputPin::Disconnect() {
  const HRESULT result = PinBase::Disconnect();
  if (result == S_OK) host_.OnInputDisconnected(*this);
  return result;
}

HRESULT InputPin::QueryAccept(const AM_MEDIA_TYPE* type) {
  if (!type) return E_POINTER;
  return SUCCEEDED(host_.CheckInputType(*this, *type)) ? S_OK : S_FALSE;
}

HRESULT InputPin::EnumMediaTypes(IEnumMediaTypes** enumerator) {
  return EnumerateTypes({}, enumerator);  // an input pin takes what it is offered
}

HRESULT InputPin::EndOfStream() {
  host_.OnEndOfStream(*this);
  return S_OK;
}

HRESULT InputPin::Receive(IMediaSample* sample) {
  if (!sample) return E_POINTER;
  if (host_.HostState() == State_Stopped) return VFW_E_WRONG_STATE;
  return host_.OnReceive(*this, sample);
}

HRESULT InputPin::ReceiveCanBlock() {
  return S_FALSE;
}

// --- OutputPin ------------------------------------------------------------------------------

OutputPin::OutputPin(PinHost& host, std::u16string name)
    : PinBase(host, std::move(name), PINDIR_OUTPUT) {}

HRESULT OutputPin::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (iid != IID_IUnknown && iid != IID_IPin) return E_NOINTERFACE;
  *object = static_cast<IPin*>(this);
  AddRef();
  return S_OK;
}

HRESULT OutputPin::Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) {
  if (!receivePin) return E_POINTER;
  if (IsConnected()) return VFW_E_ALREADY_CONNECTED;
  if (FAILED(RefuseUnlessStopped())) return VFW_E_NOT_STOPPED;
  ComPtr<IMemInputPin> receiver;
  if (FAILED(receivePin->QueryInterface(IID_IMemInputPin, receiver.ReleaseAndGetVoidAddressOf()))) {
    return VFW_E_TYPE_NOT_ACCEPTED;  // nothing could deliver samples to it
  }
  std::vector<MediaType> candidates = host_.OutputTypes(*this);
  if (type) {
    std::erase_if(candidates,
                  [&](const MediaType& offered) { return !MatchesPartial(*type, offered.View()); });
  }
  for (const MediaType& candidate : candidates) {
    const AM_MEDIA_TYPE view = candidate.View();
    if (FAILED(receivePin->ReceiveConnection(this, &view))) continue;
    SetConnection(ComPtr<IPin>(receivePin), candidate);
    std::lock_guard lock(mutex_);
    receiver_ = receiver;
    return S_OK;
  }
  return type && IsComplete(*type) ? VFW_E_TYPE_NOT_ACCEPTED : VFW_E_CANNOT_CONNECT;
}

HRESULT OutputPin::ReceiveConnection(IPin*, const AM_MEDIA_TYPE*) {
  return E_UNEXPECTED;  // an output pin only connects to others
}

HRESULT OutputPin::Disconnect() {
  const HRESULT result = PinBase::Disconnect();
  if (result == S_OK) {
    std::lock_guard lock(mutex_);
    receiver_ = nullptr;
  }
  return result;
}

HRESULT OutputPin::QueryAccept(const AM_MEDIA_TYPE* type) {
  if (!type) return E_POINTER;
  for (const MediaType& offered : host_.OutputTypes(*this)) {
    if (MatchesPartial(*type, offered.View())) return S_OK;
  }
  return S_FALSE;
}

HRESULT OutputPin::EnumMediaTypes(IEnumMediaTypes** enumerator) {
  return EnumerateTypes(host_.OutputTypes(*this), enumerator);
}

HRESULT OutputPin::EndOfStream() {
  return E_UNEXPECTED;  // only input pins take an end of stream
}

HRESULT OutputPin::Deliver(IMediaSample* sample) {
  ComPtr<IMemInputPin> receiver;
  {
    std::lock_guard lock(mutex_);
    receiver = receiver_;
  }
  return receiver ? receiver->Receive(sample) : S_OK;
}

void OutputPin::DeliverEndOfStream() {
  if (const ComPtr<IPin> peer = Peer()) peer->EndOfStream();
}

void DisconnectBothSides(IPin* pin) {
  if (!pin) return;
  ComPtr<IPin> peer;
  if (SUCCEEDED(pin->ConnectedTo(peer.ReleaseAndGetAddressOf())) && peer) peer->Disconnect();
  pin->Disconnect();
}

}  // namespace korvane::graph
