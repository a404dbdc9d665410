#pragma once
// What the graph's converters share (the Motion JPEG decoder and compressor): one input, one
// output whose types follow from the input's, and each sample turned into a new one taken from
// the filter's own pool. A sample that cannot be converted, or that finds every sample of the
// pool still held downstream, is dropped: the next one may do.

#include <memory>
#include <mutex>
#include <optional>

#include "platform/graph/GraphFilter.h"
#include "platform/graph/MediaSample.h"

namespace korvane::graph {

class TransformFilter : public GraphFilter<> {
 public:
  TransformFilter(const CLSID& classId, std::u16string ownName);

  void OnInputDisconnected(InputPin&) override;
  HRESULT OnReceive(InputPin&, IMediaSample* sample) override;
  void OnEndOfStream(InputPin&) override;

 protected:
  // Readies the conversion between the connected types when streaming starts; the bytes an
  // output sample needs, nullopt when the types cannot be converted.
  virtual std::optional<std::size_t> Prepare(const MediaType& input, const MediaType& output) = 0;
  // Converts one sample's bytes on the streaming thread; the length written, 0 to drop it.
  virtual std::size_t Transform(const BYTE* data, std::size_t length, BYTE* out,
                                std::size_t capacity) = 0;

  std::optional<MediaType> InputType() const { return input_.ConnectionType(); }

  std::vector<IPin*> Pins() override { return {&input_, &output_}; }
  HRESULT OnPause(FILTER_STATE from) override;
  HRESULT OnStop() override;

 private:
  InputPin input_;
  OutputPin output_;
  std::mutex streamMutex_;
  std::shared_ptr<SamplePool> pool_;  // while streaming with something connected downstream
  std::size_t outputBytes_ = 0;
};

}  // namespace korvane::graph
