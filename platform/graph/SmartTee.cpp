// The smart tee (CLSID_SmartTee): one stream to a capture and a preview output, for a device
// that has only a capture pin when both are asked for. Both outputs get the same sample; it is
// not copied, as no filter writes into a sample it has received.

#include "platform/graph/GraphClasses.h"
#include "platform/graph/GraphFilter.h"

namespace korvane::graph {
namespace {

class SmartTee final : public GraphFilter<> {
 public:
  SmartTee()
      : GraphFilter(CLSID_SmartTee, u"Smart Tee"),
        input_(*this, u"Input"),
        capture_(*this, u"Capture"),
        preview_(*this, u"Preview") {}

  HRESULT CheckInputType(const InputPin&, const AM_MEDIA_TYPE&) override { return S_OK; }

  std::vector<MediaType> OutputTypes(const OutputPin&) override {
    std::optional<MediaType> connected = input_.ConnectionType();
    if (!connected) return {};
    return {std::move(*connected)};
  }

  void OnInputDisconnected(InputPin&) override {
    DisconnectBothSides(&capture_);
    DisconnectBothSides(&preview_);
  }

  // A branch that fails (a recording whose disk is full) does not stop the other one; the
  // source hears of a failure only when no branch took the sample.
  HRESULT OnReceive(InputPin&, IMediaSample* sample) override {
    HRESULT failure = S_OK;
    bool taken = false;
    for (OutputPin* output : {&capture_, &preview_}) {
      if (!output->IsConnected()) continue;
      const HRESULT result = output->Deliver(sample);
      if (SUCCEEDED(result)) {
        taken = true;
      } else if (SUCCEEDED(failure)) {
        failure = result;
      }
    }
    return taken ? S_OK : failure;
  }

  void OnEndOfStream(InputPin&) override {
    capture_.DeliverEndOfStream();
    preview_.DeliverEndOfStream();
  }

 protected:
  std::vector<IPin*> Pins() override { return {&input_, &capture_, &preview_}; }

 private:
  InputPin input_;
  OutputPin capture_;
  OutputPin preview_;
};

}  // namespace

HRESULT CreateSmartTee(REFIID iid, void** object) {
  return com::MakeCom<SmartTee>()->QueryInterface(iid, object);
}

}  // namespace korvane::graph
