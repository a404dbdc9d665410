// The null renderer (CLSID_NullRenderer): takes every sample of any type and lets it go; the end
// of a chain whose pictures are taken elsewhere (by a sample grabber before it).

#include "platform/graph/GraphClasses.h"
#include "platform/graph/RendererFilter.h"

namespace korvane::graph {
namespace {

class NullRenderer final : public RendererFilter<> {
 public:
  NullRenderer() : RendererFilter(CLSID_NullRenderer, u"Null Renderer") {}

  HRESULT CheckInputType(const InputPin&, const AM_MEDIA_TYPE&) override { return S_OK; }

 protected:
  HRESULT Render(IMediaSample*) override { return S_OK; }
};

}  // namespace

HRESULT CreateNullRenderer(REFIID iid, void** object) {
  return com::MakeCom<NullRenderer>()->QueryInterface(iid, object);
}

}  // namespace korvane::graph
