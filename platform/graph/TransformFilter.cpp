#include "platform/graph/TransformFilter.h"

namespace korvane::graph {
namespace {

// Converted samples in flight at once: the one being delivered and those kept downstream.
constexpr std::size_t kPoolSamples = 4;

}  // namespace

TransformFilter::TransformFilter(const CLSID& classId, std::u16string ownName)
    : GraphFilter(classId, std::move(ownName)),
      input_(*this, u"XForm In"),
      output_(*this, u"XForm Out") {}

// The output's type follows from the input's, so it goes with it.
void TransformFilter::OnInputDisconnected(InputPin&) {
  DisconnectBothSides(&output_);
}

HRESULT TransformFilter::OnReceive(InputPin&, IMediaSample* sample) {
  std::lock_guard lock(streamMutex_);
  if (!pool_) return S_OK;  // nothing is connected downstream
  const ComPtr<MediaSample> converted = pool_->Acquire(outputBytes_);
  if (!converted) return S_OK;
  BYTE* data = nullptr;
  sample->GetPointer(&data);
  const std::size_t length =
      Transform(data, static_cast<std::size_t>(sample->GetActualDataLength()), converted->Data(),
                converted->Capacity());
  if (length == 0) return S_OK;
  converted->SetActualDataLength(static_cast<LONG>(length));
  REFERENCE_TIME start = 0, end = 0;
  if (SUCCEEDED(sample->GetTime(&start, &end))) converted->SetTime(&start, &end);
  return output_.Deliver(converted.Get());
}

void TransformFilter::OnEndOfStream(InputPin&) {
  output_.DeliverEndOfStream();
}

HRESULT TransformFilter::OnPause(FILTER_STATE from) {
  if (from != State_Stopped) return S_OK;
  const std::optional<MediaType> input = input_.ConnectionType();
  const std::optional<MediaType> output = output_.ConnectionType();
  std::lock_guard lock(streamMutex_);
  pool_.reset();
  if (!input || !output) return S_OK;  // samples that come are taken and dropped
  const std::optional<std::size_t> bytes = Prepare(*input, *output);
  if (!bytes) return VFW_E_INVALIDMEDIATYPE;
  outputBytes_ = *bytes;
  pool_ = SamplePool::Create(kPoolSamples);
  return S_OK;
}

HRESULT TransformFilter::OnStop() {
  std::lock_guard lock(streamMutex_);
  pool_.reset();
  return S_OK;
}

}  // namespace korvane::graph
