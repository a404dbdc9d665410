// The capture graph on simulated cameras through the platform's graph: activation for each
// capture type, what a failed activation leaves (nothing), the settings that need an inactive
// component, the renderer's properties, the state through Run, Pause and Stop, the loss of
// the preview control, and recording into an AVI file.

#include <filesystem>
#include <sstream>

#include "tests/camera/CameraFixture.h"
#include "tests/camera/FrameWaiting.h"
#include "tests/camera/TestControls.h"
#include "tests/graph/AviReader.h"

namespace korvane::camera::testing {
namespace {

const char kActiveMessage[] = "Cannot perform this operation on active camera component";
const char kInactiveMessage[] = "Cannot perform this operation on inactive camera component";

SimFormat Yuy2() {
  return SimFormat{};
}

// A format the renderer does not take, and no decoder makes one it takes.
SimFormat Nv12() {
  return VideoFormat(MEDIASUBTYPE_NV12, MakeFourCC('N', 'V', '1', '2'), 12);
}

// The names of the filters in the graph, in the graph's order.
std::vector<std::string> FilterNames(const ComPtr<IGraphBuilder>& graph) {
  std::vector<std::string> names;
  ComPtr<IEnumFilters> filters;
  if (!graph || FAILED(graph->EnumFilters(filters.ReleaseAndGetAddressOf()))) return names;
  ComPtr<IBaseFilter> filter;
  while (filters->Next(1, filter.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
    FILTER_INFO info{};
    if (FAILED(filter->QueryFilterInfo(&info))) continue;
    const ComPtr<IFilterGraph> owner = ComPtr<IFilterGraph>::Attach(info.pGraph);
    names.push_back(korvane::com::Utf16ToUtf8(info.achName));
  }
  return names;
}

bool Contains(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

class CaptureGraphTest : public CameraTest {
 protected:
  std::unique_ptr<TestControl> form_ = TestControl::Form();
};

TEST_F(CaptureGraphTest, EachCaptureTypeBuildsItsGraph) {
  const struct Case {
    const char* name;
    TFCaptureType requested;
    SimFormat format;
    TFCaptureType reads;
  } cases[] = {
      {"grabber", ctGrabber, Yuy2(), ctGrabber},
      {"auto whose renderer connects", ctAuto, Yuy2(), ctVmr9},
      {"auto whose renderer cannot connect", ctAuto, Nv12(), ctGrabber},
      {"VMR-9", ctVmr9, Yuy2(), ctVmr9},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TFCamera& camera = Select(CameraWith(c.format), form_.get());
    camera.SetCaptureType(c.requested);
    camera.SetActive(true);
    ASSERT_TRUE(camera.GetActive());
    EXPECT_EQ(camera.GetCaptureType(), c.reads);
    EXPECT_EQ(camera.GetState(), csStopped);
    const std::vector<std::string> names = FilterNames(camera.GetGraphBuilder());
    EXPECT_TRUE(Contains(names, "Video capture"));
    const bool grabber = c.reads == ctGrabber;
    EXPECT_EQ(Contains(names, "Sample grabber"), grabber);
    EXPECT_EQ(Contains(names, "Null renderer"), grabber);
    EXPECT_EQ(Contains(names, "VMR-9"), !grabber);

    camera.SetActive(true);  // a second write does nothing
    EXPECT_EQ(FilterNames(camera.GetGraphBuilder()), names);
    camera.SetActive(false);
    EXPECT_FALSE(camera.GetActive());
    EXPECT_EQ(camera.GetCaptureType(), c.requested);
    EXPECT_EQ(camera.GetState(), csInactive);
  }
}

TEST_F(CaptureGraphTest, FailedActivationLeavesNothingHeldAndRaisesItsError) {
  const auto formless = TestControl::On(nullptr, {0, 0}, 10, 10);
  const struct Case {
    const char* name;
    TFCaptureType type;
    SimFormat format;
    TFControl* owner;
    TFControl* preview;
    const char* message;  // nullptr: the OLE system error of the connection
  } cases[] = {
      {"VMR-9 that cannot connect", ctVmr9, Nv12(), form_.get(), nullptr, nullptr},
      {"no owner form", ctAuto, Yuy2(), nullptr, nullptr, "Cannot retrieve preview form"},
      {"preview control on no form", ctVmr9, Yuy2(), form_.get(), formless.get(),
       "Cannot retrieve preview form"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TFCamera& camera = Select(CameraWith(c.format), c.owner);
    camera.SetCaptureType(c.type);
    camera.SetPreviewControl(c.preview);
    const std::size_t objects = korvane::com::LiveObjectCount();
    const std::size_t blocks = korvane::com::OutstandingTaskMemoryBlocks();
    if (c.message) {
      EXPECT_EQ(CameraErrorOf([&] { camera.SetActive(true); }), c.message);
    } else {
      const EOleSysError error = OleErrorOf([&] { camera.SetActive(true); });
      EXPECT_EQ(error.ErrorCode(), VFW_E_CANNOT_CONNECT) << error.what();
    }
    EXPECT_FALSE(camera.GetActive());
    EXPECT_EQ(camera.GetState(), csInactive);
    EXPECT_EQ(korvane::com::LiveObjectCount(), objects) << "counted objects held";
    EXPECT_EQ(korvane::com::OutstandingTaskMemoryBlocks(), blocks) << "task memory held";

    // A new activation starts from nothing.
    camera.SetCaptureType(ctGrabber);
    camera.SetActive(true);
    EXPECT_TRUE(camera.GetActive());
  }
}

TEST_F(CaptureGraphTest, MediaControlReadWhileInactiveLeavesTheComponentInactive) {
  TFCamera& camera = Select(CameraWith(Yuy2()), form_.get());
  EXPECT_NE(camera.GetMediaControl(), nullptr);
  EXPECT_FALSE(camera.GetActive());
  EXPECT_EQ(camera.GetState(), csInactive);
  EXPECT_EQ(CameraErrorOf([&] { camera.GetNativeVideoSize(); }), kInactiveMessage);
  std::ostringstream snapshot;
  EXPECT_EQ(CameraErrorOf([&] { camera.CurrentImageToStream(snapshot); }), kInactiveMessage);

  // The activation that follows builds the whole graph.
  camera.SetActive(true);
  ASSERT_TRUE(camera.GetActive());
  EXPECT_EQ(camera.GetCaptureType(), ctVmr9);
  EXPECT_EQ(camera.GetNativeVideoSize(), (TFPoint{640, 480}));
  EXPECT_EQ(camera.GetMediaControl(), camera.GetMediaControl());
  camera.SetActive(false);
  EXPECT_FALSE(camera.GetActive());
}

TEST_F(CaptureGraphTest, ACameraHeldByAnotherProgramFailsWithItsCode) {
  SimDevice device = CameraWith(Yuy2());
  device.heldByAnotherProgram = true;
  TFCamera& camera = Select(device);
  camera.SetCaptureType(ctGrabber);
  const EOleSysError error = OleErrorOf([&] {
    camera.SetActive(true);
    camera.Run();
  });
  EXPECT_EQ(error.ErrorCode(), HRESULT_ERROR_BUSY) << error.what();
  camera.SetActive(false);
  EXPECT_FALSE(camera.GetActive());
}

TEST_F(CaptureGraphTest, TheRendererTakesItsSettingsAndReportsItsGeometry) {
  const auto preview = TestControl::On(form_.get(), {10, 20}, 320.7, 240.2);
  TFCamera& camera = Select(CameraWith(Yuy2()), form_.get());
  camera.SetPreviewControl(preview.get());
  camera.SetAspectRatio(true);
  camera.SetBorderColor(0xFF102030);
  camera.SetActive(true);
  ASSERT_EQ(camera.GetCaptureType(), ctVmr9);

  // Read back from the renderer, which took them at activation.
  EXPECT_TRUE(camera.GetAspectRatio());
  EXPECT_EQ(camera.GetBorderColor(), 0xFF102030u);
  camera.SetAspectRatio(false);
  camera.SetBorderColor(0x00ABCDEF);
  EXPECT_FALSE(camera.GetAspectRatio());
  EXPECT_EQ(camera.GetBorderColor(), 0x00ABCDEFu);

  EXPECT_EQ(camera.GetNativeVideoSize(), (TFPoint{640, 480}));
  const TFPoint aspect = camera.GetNativeAspectRatio();
  EXPECT_EQ(aspect.X * 480, aspect.Y * 640);
  // The preview control's corners in its form, truncated.
  EXPECT_EQ(camera.GetVideoPositionDest(), (TFRect{10, 20, 330, 260}));
  camera.SetVideoPositionSource({0, 0, 320, 240});
  EXPECT_EQ(camera.GetVideoPositionSource(), (TFRect{0, 0, 320, 240}));
  EXPECT_EQ(camera.GetVideoPositionDest(), (TFRect{10, 20, 330, 260}));
  camera.SetVideoPositionDest({1, 2, 3, 4});
  EXPECT_EQ(camera.GetVideoPositionDest(), (TFRect{1, 2, 3, 4}));
  const TFPoint largest = camera.GetMaxIdealVideoSize();
  const TFPoint smallest = camera.GetMinIdealVideoSize();
  EXPECT_LE(smallest.X, largest.X);
  EXPECT_LE(smallest.Y, largest.Y);

  camera.SetActive(false);
  EXPECT_FALSE(camera.GetAspectRatio());  // the stored values, as last written
  EXPECT_EQ(camera.GetBorderColor(), 0x00ABCDEFu);
}

TEST_F(CaptureGraphTest, RendererPropertiesNeedTheRendererInUse) {
  TFCamera& camera = Select(CameraWith(Yuy2()));
  camera.SetCaptureType(ctGrabber);
  const std::function<void()> uses[] = {
      [&] { camera.GetNativeVideoSize(); },   [&] { camera.GetNativeAspectRatio(); },
      [&] { camera.GetMaxIdealVideoSize(); }, [&] { camera.GetMinIdealVideoSize(); },
      [&] { camera.GetVideoPositionDest(); }, [&] { camera.SetVideoPositionSource({}); },
  };
  for (const auto& use : uses) EXPECT_EQ(CameraErrorOf(use), kInactiveMessage);
  camera.SetAspectRatio(true);  // stored while inactive
  EXPECT_TRUE(camera.GetAspectRatio());

  camera.SetActive(true);
  for (const auto& use : uses) EXPECT_EQ(CameraErrorOf(use), "VMR-9 capture type required");
  EXPECT_EQ(CameraErrorOf([&] { camera.GetAspectRatio(); }), "VMR-9 capture type required");
  EXPECT_EQ(CameraErrorOf([&] { camera.SetBorderColor(1); }), "VMR-9 capture type required");
}

TEST_F(CaptureGraphTest, SettingsChangedWhileActiveRaiseAndKeepTheirValue) {
  FrameCounter counter, otherCounter;
  const auto control = TestControl::On(form_.get(), {0, 0}, 10, 10);
  TFCamera& camera = Select(CameraWith(Yuy2()));
  camera.SetCaptureType(ctGrabber);
  camera.SetOnImageAvailable(counter.Event());
  camera.SetActive(true);
  const struct Case {
    const char* name;
    std::function<void()> change;
    std::function<bool()> kept;
  } cases[] = {
      {"CaptureType", [&] { camera.SetCaptureType(ctVmr9); },
       [&] { return camera.GetCaptureType() == ctGrabber; }},
      {"OutputFileName", [&] { camera.SetOutputFileName("x.avi"); },
       [&] { return camera.GetOutputFileName().empty(); }},
      {"OutputFileType", [&] { camera.SetOutputFileType(mtAvi); },
       [&] { return camera.GetOutputFileType() == mtAsf; }},
      {"PreviewControl", [&] { camera.SetPreviewControl(control.get()); },
       [&] { return camera.GetPreviewControl() == nullptr; }},
      {"DeviceName", [&] { camera.SetDeviceName("Other"); },
       [&] { return camera.GetDeviceName() == "Cam"; }},
      {"OnImageAvailable", [&] { camera.SetOnImageAvailable(otherCounter.Event()); },
       [&] { return camera.GetOnImageAvailable() == counter.Event(); }},
      {"OnImageAvailable removed", [&] { camera.SetOnImageAvailable({}); },
       [&] { return camera.GetOnImageAvailable() == counter.Event(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(CameraErrorOf(c.change), kActiveMessage);
    EXPECT_TRUE(c.kept());
  }
  // The values they hold can be written again.
  camera.SetDeviceName("Cam");
  camera.SetCaptureType(ctGrabber);
  camera.SetOnImageAvailable(counter.Event());
  EXPECT_TRUE(camera.GetActive());
}

TEST_F(CaptureGraphTest, StateFollowsRunPauseAndStop) {
  TFCamera& camera = Select(CameraWith(Yuy2()));
  camera.SetCaptureType(ctGrabber);
  EXPECT_EQ(CameraErrorOf([&] { camera.Run(); }), kInactiveMessage);
  EXPECT_EQ(camera.GetState(), csInactive);
  camera.SetActive(true);
  const struct Step {
    void (TFCamera::*call)();
    TFCameraState state;
  } steps[] = {{&TFCamera::Run, csRunning},  {&TFCamera::Pause, csPaused},
               {&TFCamera::Run, csRunning},  {&TFCamera::Stop, csStopped},
               {&TFCamera::Pause, csPaused}, {&TFCamera::Stop, csStopped}};
  for (const Step& step : steps) {
    (camera.*step.call)();
    EXPECT_TRUE(WaitFor([&] { return camera.GetState() == step.state; })) << int(step.state);
  }
  camera.Run();
  camera.SetActive(false);
  EXPECT_EQ(camera.GetState(), csInactive);
}

TEST_F(CaptureGraphTest, LosingThePreviewControlDeactivatesAndForgetsIt) {
  auto preview = TestControl::On(form_.get(), {0, 0}, 64, 48);
  TFCamera& camera = Select(CameraWith(Yuy2()));
  camera.SetPreviewControl(preview.get());
  camera.SetActive(true);
  camera.Run();
  preview.reset();
  EXPECT_FALSE(camera.GetActive());
  EXPECT_EQ(camera.GetPreviewControl(), nullptr);
}

TEST_F(CaptureGraphTest, RecordingWritesAnAviFileWithEveryFrame) {
  const std::filesystem::path file =
      std::filesystem::temp_directory_path() /
      ("korvane-recording-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
       "-" + std::to_string(reinterpret_cast<std::uintptr_t>(this)) + ".avi");
  FrameCounter counter;
  TFCamera& camera = Select(
      CameraWith(VideoFormat(MEDIASUBTYPE_YUY2, MakeFourCC('Y', 'U', 'Y', '2'), 16, 160, 120)));
  camera.SetCaptureType(ctGrabber);
  camera.SetOnImageAvailable(counter.Event());
  camera.SetOutputFileName(file.string());
  camera.SetOutputFileType(mtAvi);
  camera.SetActive(true);
  camera.Run();
  ASSERT_TRUE(counter.WaitForMore(5));
  camera.SetActive(false);
  const int seen = counter.Frames;

  const korvane::graph::testing::AviFile avi = korvane::graph::testing::ReadAvi(file);
  std::filesystem::remove(file);
  ASSERT_EQ(avi.error, "");
  EXPECT_EQ(avi.width, 160u);
  EXPECT_EQ(avi.height, 120u);
  EXPECT_EQ(avi.frames.size(), avi.totalFrames);
  EXPECT_EQ(avi.indexEntries, avi.totalFrames);
  for (const auto& frame : avi.frames) EXPECT_EQ(frame.bytes.size(), 160u * 120 * 2);
  // Every frame the preview saw before the graph stopped was recorded.
  EXPECT_GE(static_cast<int>(avi.totalFrames) + 1, seen);
  EXPECT_GE(avi.totalFrames, 5u);
}

TEST_F(CaptureGraphTest, RecordingIntoAsfFailsClearly) {
  TFCamera& camera = Select(CameraWith(Yuy2()));
  camera.SetCaptureType(ctGrabber);
  camera.SetOutputFileName((std::filesystem::temp_directory_path() / "korvane-never.asf").string());
  const EOleSysError error = OleErrorOf([&] { camera.SetActive(true); });
  EXPECT_TRUE(FAILED(error.ErrorCode()));
  EXPECT_NE(std::string(error.what()), "");
  EXPECT_FALSE(camera.GetActive());
}

}  // namespace
}  // namespace korvane::camera::testing
