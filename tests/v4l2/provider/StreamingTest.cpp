// A Video4Linux2 camera in a capture graph: it connects at its current format, but does not
// stream pictures yet, so starting the graph fails at once with a clear code.

#include "platform/graph/GraphClasses.h"
#include "tests/v4l2/provider/Cameras.h"
#include "tests/v4l2/provider/V4l2Fixture.h"

namespace korvane::v4l2::testing {
namespace {

template <class Interface>
ComPtr<Interface> Create(const CLSID& classId) {
  ComPtr<Interface> object;
  CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IidOf<Interface>,
                   object.ReleaseAndGetVoidAddressOf());
  return object;
}

TEST_F(V4l2Test, AGraphConnectsTheCameraButCannotRunItYet) {
  graph::RegisterGraphClasses();
  TFCamera& camera = Select(FullCamera(), "Test Cam");
  const ComPtr<IBaseFilter> filter = camera.GetCaptureFilter();
  ASSERT_NE(filter, nullptr);
  {
    const ComPtr<IGraphBuilder> graph = Create<IGraphBuilder>(CLSID_FilterGraph);
    const ComPtr<ICaptureGraphBuilder2> builder =
        Create<ICaptureGraphBuilder2>(CLSID_CaptureGraphBuilder2);
    const ComPtr<IBaseFilter> renderer = Create<IBaseFilter>(CLSID_NullRenderer);
    ASSERT_EQ(builder->SetFiltergraph(graph.Get()), S_OK);
    ASSERT_EQ(graph->AddFilter(filter.Get(), u"Video capture"), S_OK);
    ASSERT_EQ(graph->AddFilter(renderer.Get(), u"Null renderer"), S_OK);
    ASSERT_EQ(builder->RenderStream(&PIN_CATEGORY_PREVIEW, &MEDIATYPE_Video, filter.Get(), nullptr,
                                    renderer.Get()),
              S_OK);
    const ComPtr<IMediaControl> control = graph.As<IMediaControl>();
    EXPECT_EQ(control->Run(), E_NOTIMPL);
    OAFilterState state = -1;
    EXPECT_EQ(control->GetState(0, &state), S_OK);
    EXPECT_EQ(state, State_Stopped);
  }
  EXPECT_EQ(camera.GetBrightness(), 10);  // the camera is still usable
}

}  // namespace
}  // namespace korvane::v4l2::testing
