// The filter graph: names, connections, states and events, against simulated cameras.

#include "tests/graph/GraphTestSupport.h"

namespace korvane::graph::testing {
namespace {

using FilterGraph = GraphTest;

TEST_F(FilterGraph, TakenNamesGetANumberAndFiltersAreFoundByTheirName) {
  Graph graph;
  std::vector<ComPtr<IBaseFilter>> renderers;
  for (int i = 0; i < 3; ++i) renderers.push_back(Create<IBaseFilter>(CLSID_NullRenderer));
  EXPECT_EQ(graph.builder->AddFilter(renderers[0].Get(), u"Renderer"), S_OK);
  EXPECT_EQ(graph.builder->AddFilter(renderers[1].Get(), u"Renderer"), VFW_S_DUPLICATE_NAME);
  EXPECT_EQ(graph.builder->AddFilter(renderers[2].Get(), nullptr), S_OK);  // its own name
  EXPECT_EQ(graph.builder->AddFilter(renderers[0].Get(), u"Again"), E_INVALIDARG);
  EXPECT_EQ(graph.FilterNames(),
            (std::vector<std::u16string>{u"Renderer", u"Renderer 0001", u"Null Renderer"}));

  ComPtr<IBaseFilter> found;
  ASSERT_EQ(graph.builder->FindFilterByName(u"Renderer 0001", found.ReleaseAndGetAddressOf()),
            S_OK);
  EXPECT_EQ(found, renderers[1]);
  EXPECT_EQ(graph.builder->FindFilterByName(u"Nobody", found.ReleaseAndGetAddressOf()),
            VFW_E_NOT_FOUND);
  EXPECT_EQ(found, nullptr);

  EXPECT_EQ(graph.builder->RemoveFilter(renderers[0].Get()), S_OK);
  EXPECT_EQ(graph.builder->RemoveFilter(renderers[0].Get()), VFW_E_NOT_FOUND);
  FILTER_INFO info{};
  renderers[0]->QueryFilterInfo(&info);
  EXPECT_EQ(info.pGraph, nullptr);
  EXPECT_EQ(std::u16string(info.achName), u"Null Renderer");
}

TEST_F(FilterGraph, RemovingAFilterUndoesItsConnectionsOnBothSides) {
  const ComPtr<IBaseFilter> camera = Install(Camera(Format(MEDIASUBTYPE_YUY2, 64, 48)));
  GrabberGraph preview(camera.Get());
  ASSERT_EQ(preview.built, S_OK);
  ComPtr<IEnumPins> pins;
  camera->EnumPins(pins.ReleaseAndGetAddressOf());
  ComPtr<IPin> capturePin, peer;
  ASSERT_EQ(pins->Next(1, capturePin.ReleaseAndGetAddressOf(), nullptr), S_OK);
  ASSERT_EQ(capturePin->ConnectedTo(peer.ReleaseAndGetAddressOf()), S_OK);

  ASSERT_EQ(preview.graph.builder->RemoveFilter(preview.path.grabberFilter.Get()), S_OK);
  EXPECT_EQ(capturePin->ConnectedTo(peer.ReleaseAndGetAddressOf()), VFW_E_NOT_CONNECTED);
  AM_MEDIA_TYPE type{};
  EXPECT_EQ(preview.path.grabber->GetConnectedMediaType(&type), VFW_E_NOT_CONNECTED);
}

// The camera's frame time decides how long the run stays in transition: its first frame comes one
// period after Run.
TEST_F(FilterGraph, StateFollowsRunPauseAndStopAndShowsTheWaitForTheFirstFrame) {
  const ComPtr<IBaseFilter> camera =
      Install(Camera(Format(MEDIASUBTYPE_YUY2, 64, 48, 100'000'000)));  // one frame in 10 s
  GrabberGraph preview(camera.Get());
  ASSERT_EQ(preview.built, S_OK);
  OAFilterState state = -1;
  EXPECT_EQ(preview.graph.control->GetState(0, &state), S_OK);
  EXPECT_EQ(state, State_Stopped);

  ASSERT_EQ(preview.graph.control->Run(), S_OK);
  EXPECT_EQ(preview.graph.control->GetState(0, &state), VFW_S_STATE_INTERMEDIATE);
  EXPECT_EQ(state, State_Running);
  EXPECT_EQ(preview.graph.control->GetState(20, &state), VFW_S_STATE_INTERMEDIATE);
  LONG code = -1;
  EXPECT_EQ(preview.graph.events->WaitForCompletion(0, &code), E_ABORT);

  ASSERT_EQ(preview.graph.control->Pause(), S_OK);
  EXPECT_EQ(preview.graph.control->GetState(0, &state), VFW_S_CANT_CUE);  // a live source
  EXPECT_EQ(state, State_Paused);
  EXPECT_EQ(preview.graph.events->WaitForCompletion(0, &code), VFW_E_WRONG_STATE);

  ASSERT_EQ(preview.graph.control->Stop(), S_OK);
  EXPECT_EQ(preview.graph.control->GetState(INFINITE, &state), S_OK);
  EXPECT_EQ(state, State_Stopped);
  EXPECT_EQ(preview.graph.control->StopWhenReady(), S_OK);
}

TEST_F(FilterGraph, ARunWaitsForTheFirstFrameWhenAskedTo) {
  const ComPtr<IBaseFilter> camera = Install(Camera(Format(MEDIASUBTYPE_YUY2, 64, 48)));
  GrabberGraph preview(camera.Get());
  ASSERT_EQ(preview.built, S_OK);
  ASSERT_EQ(preview.graph.control->Run(), S_OK);
  OAFilterState state = -1;
  EXPECT_EQ(preview.graph.control->GetState(INFINITE, &state), S_OK);
  EXPECT_EQ(state, State_Running);
  EXPECT_FALSE(CurrentBuffer(preview.path.grabber.Get()).empty());
  // The graph's shape cannot change while it runs.
  EXPECT_EQ(preview.graph.builder->RemoveFilter(preview.path.renderer.Get()), VFW_E_NOT_STOPPED);
  EXPECT_EQ(preview.graph.control->Stop(), S_OK);
}

TEST_F(FilterGraph, ACameraHeldByAnotherProgramFailsToRunAndLeavesTheGraphStopped) {
  SimDevice device = Camera(Format(MEDIASUBTYPE_YUY2, 64, 48));
  device.heldByAnotherProgram = true;
  const ComPtr<IBaseFilter> camera = Install(device);
  GrabberGraph preview(camera.Get());
  ASSERT_EQ(preview.built, S_OK);
  EXPECT_EQ(preview.graph.control->Run(), HRESULT_ERROR_BUSY);
  OAFilterState state = -1;
  EXPECT_EQ(preview.graph.control->GetState(0, &state), S_OK);
  EXPECT_EQ(state, State_Stopped);
  FILTER_STATE rendererState{};
  preview.path.renderer->GetState(0, &rendererState);
  EXPECT_EQ(rendererState, State_Stopped);  // nothing was left half started
  EXPECT_EQ(preview.graph.control->Pause(), HRESULT_ERROR_BUSY);
}

TEST_F(FilterGraph, UnpluggingWhileRunningEndsTheStreamAndIsReported) {
  const ComPtr<IBaseFilter> camera = Install(Camera(Format(MEDIASUBTYPE_YUY2, 64, 48, 100'000)));
  GrabberGraph preview(camera.Get());
  ASSERT_EQ(preview.built, S_OK);
  ASSERT_EQ(preview.graph.control->Run(), S_OK);
  ASSERT_TRUE(preview.counter->WaitFor(2));

  Store().Modify([](SimDescription& description) { description.devices[0].absent = true; });
  const auto lost = preview.graph.NextEvent(
      static_cast<LONG>(std::chrono::duration_cast<std::chrono::milliseconds>(kPatience).count()));
  ASSERT_TRUE(lost.has_value());
  EXPECT_EQ(*lost, (std::pair<LONG, LONG_PTR>{EC_DEVICE_LOST, 1}));  // with the device
  // The streaming thread reports the abort after the loss, a moment later on a busy machine.
  EXPECT_EQ(preview.graph.NextEvent(static_cast<LONG>(
                std::chrono::duration_cast<std::chrono::milliseconds>(kPatience).count())),
            (std::pair<LONG, LONG_PTR>{EC_ERRORABORT, HRESULT_ERROR_DEVICE_NOT_CONNECTED}));
  // The renderer has its end of stream, so the run is over too.
  EXPECT_EQ(preview.graph.NextEvent(INFINITE), (std::pair<LONG, LONG_PTR>{EC_COMPLETE, S_OK}));
  OAFilterState state = -1;
  EXPECT_EQ(preview.graph.control->GetState(INFINITE, &state), HRESULT_ERROR_DEVICE_NOT_CONNECTED);
  EXPECT_EQ(state, State_Running);
  LONG code = 0;
  EXPECT_EQ(preview.graph.events->WaitForCompletion(INFINITE, &code), S_OK);
  EXPECT_EQ(code, EC_ERRORABORT);

  const std::size_t frames = preview.counter->Frames();
  EXPECT_EQ(preview.graph.control->Stop(), S_OK);
  EXPECT_EQ(preview.graph.control->GetState(0, &state), S_OK);
  EXPECT_EQ(state, State_Stopped);
  EXPECT_EQ(preview.counter->Frames(), frames);
  EXPECT_EQ(preview.graph.control->Run(), HRESULT_ERROR_DEVICE_NOT_CONNECTED);
}

TEST_F(FilterGraph, EventsWaitForTheirTimeOut) {
  Graph graph;
  LONG code = -1;
  LONG_PTR first = -1, second = -1;
  EXPECT_EQ(graph.events->GetEvent(&code, &first, &second, 10), E_ABORT);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(graph.events->WaitForCompletion(10, &code), VFW_E_WRONG_STATE);  // not running
}

TEST_F(FilterGraph, FindInterfaceLooksOnThePinOfTheCategoryOrAlongTheFilters) {
  const ComPtr<IBaseFilter> camera = Install(Camera(Format(MEDIASUBTYPE_YUY2, 64, 48)));
  Graph graph;
  ComPtr<IAMStreamConfig> config;
  EXPECT_EQ(graph.capture->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, camera.Get(),
                                         IID_IAMStreamConfig, config.ReleaseAndGetVoidAddressOf()),
            S_OK);
  EXPECT_NE(config, nullptr);
  EXPECT_EQ(graph.capture->FindInterface(&PIN_CATEGORY_PREVIEW, &MEDIATYPE_Video, camera.Get(),
                                         IID_IAMStreamConfig, config.ReleaseAndGetVoidAddressOf()),
            E_NOINTERFACE);
  EXPECT_EQ(config, nullptr);
  EXPECT_EQ(graph.capture->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Audio, camera.Get(),
                                         IID_IAMStreamConfig, config.ReleaseAndGetVoidAddressOf()),
            E_NOINTERFACE);
  // Without a category the filter itself is asked first, then its pins.
  ComPtr<IAMVideoControl> control;
  EXPECT_EQ(graph.capture->FindInterface(nullptr, nullptr, camera.Get(), IID_IAMVideoControl,
                                         control.ReleaseAndGetVoidAddressOf()),
            S_OK);
  EXPECT_EQ(graph.capture->FindInterface(nullptr, nullptr, camera.Get(), IID_IAMStreamConfig,
                                         config.ReleaseAndGetVoidAddressOf()),
            S_OK);
}

}  // namespace
}  // namespace korvane::graph::testing
