// Every step of the graph build, with stand-ins for the graph, its builder and the renderer
// that connect nothing: which interface a missing class is reported by, which filters and
// streams a recording adds, a renderer that refuses its settings, and the state the graph
// reports.

#include "tests/camera/CameraFixture.h"
#include "tests/camera/GraphBuildStandIn.h"
#include "tests/camera/TestControls.h"

namespace korvane::camera::testing {
namespace {

using korvane::com::ScopedClassRegistration;
using korvane::sim::SimCategory;

SimDevice Listed(SimCategory category, const std::string& name) {
  SimDevice device;
  device.category = category;
  device.friendlyName = name;
  device.devicePath = "sim:" + name;
  return device;
}

// The camera "Cam", a microphone "Mic", a video compressor "Squeeze" and an audio
// compressor "Hush".
SimDescription CameraWithRecordingDevices() {
  return SimDescription{{CameraWith(SimFormat{}), Listed(SimCategory::AudioInput, "Mic"),
                         Listed(SimCategory::VideoCompressor, "Squeeze"),
                         Listed(SimCategory::AudioCompressor, "Hush")}};
}

class GraphBuildTest : public CameraTest {
 protected:
  TFCamera& SelectCam(TFCaptureType type) {
    TFCamera& camera = Install(CameraWithRecordingDevices(), form_.get());
    camera.SetDeviceName("Cam");
    camera.SetCaptureType(type);
    return camera;
  }

  std::unique_ptr<TestControl> form_ = TestControl::Form();
};

TEST_F(GraphBuildTest, EachMissingInterfaceIsNamedAndLeavesNothingHeld) {
  const ClassFactory removed;
  const struct Case {
    const char* name;
    const CLSID* clsid;  // the class removed or replaced, nullptr: none
    ClassFactory factory;
    bool graphHasMediaControl;
    TFCaptureType type;
    std::function<void(TFCamera&, GraphBuildLog&)> prepare;
    const char* message;
  } cases[] = {
      {"capture graph builder",
       &CLSID_CaptureGraphBuilder2,
       removed,
       true,
       ctGrabber,
       {},
       "Cannot retrieve 'ICaptureGraphBuilder2' interface"},
      // The builder is given the graph as it is made: it fails first.
      {"filter graph",
       &CLSID_FilterGraph,
       removed,
       true,
       ctGrabber,
       {},
       "Cannot retrieve 'ICaptureGraphBuilder2' interface"},
      {"graph without a media control",
       nullptr,
       {},
       false,
       ctGrabber,
       {},
       "Cannot retrieve 'IMediaControl' interface"},
      {"renderer",
       &CLSID_VideoMixingRenderer9,
       removed,
       true,
       ctVmr9,
       {},
       "Cannot retrieve 'VideoMixingRenderer9 IBaseFilter' interface"},
      {"renderer without configuration",
       &CLSID_VideoMixingRenderer9,
       korvane::com::FactoryOf<BareFilter<>>(),
       true,
       ctVmr9,
       {},
       "Cannot retrieve 'IVMRFilterConfig9' interface"},
      {"renderer without windowless control",
       &CLSID_VideoMixingRenderer9,
       korvane::com::FactoryOf<ConfigOnlyRenderer>(),
       true,
       ctVmr9,
       {},
       "Cannot retrieve 'IVMRWindowlessControl9' interface"},
      {"null renderer",
       &CLSID_NullRenderer,
       removed,
       true,
       ctGrabber,
       {},
       "Cannot retrieve 'NullRenderer IBaseFilter' interface"},
      // The grabber's interface is asked of its filter: a missing filter is reported by the
      // interface, and "SampleGrabber IBaseFilter" cannot come.
      {"sample grabber",
       &CLSID_SampleGrabber,
       removed,
       true,
       ctGrabber,
       {},
       "Cannot retrieve 'ISampleGrabber' interface"},
      {"sample grabber without its interface",
       &CLSID_SampleGrabber,
       korvane::com::FactoryOf<BareFilter<>>(),
       true,
       ctGrabber,
       {},
       "Cannot retrieve 'ISampleGrabber' interface"},
      {"recording without a multiplexer",
       nullptr,
       {},
       true,
       ctGrabber,
       [](TFCamera& camera, GraphBuildLog& log) {
         log.outputGivesMultiplexer = false;
         camera.SetOutputFileName("never.avi");
       },
       "Cannot retrieve 'Mux IBaseFilter' interface"},
      {"compressor not listed",
       nullptr,
       {},
       true,
       ctGrabber,
       [](TFCamera& camera, GraphBuildLog&) {
         camera.SetOutputFileName("never.avi");
         camera.SetCompressorName("Gone");
       },
       "Cannot retrieve 'Compressor IBaseFilter' interface"},
      {"audio device not listed",
       nullptr,
       {},
       true,
       ctGrabber,
       [](TFCamera& camera, GraphBuildLog&) {
         camera.SetOutputFileName("never.avi");
         camera.SetAudioDeviceName("Gone");
       },
       "Cannot retrieve 'IAudioCaptureFilter' interface"},
      {"audio compressor not listed",
       nullptr,
       {},
       true,
       ctGrabber,
       [](TFCamera& camera, GraphBuildLog&) {
         camera.SetOutputFileName("never.avi");
         camera.SetAudioDeviceName("Mic");
         camera.SetAudioCompressorName("Gone");
       },
       "Cannot retrieve 'AudioCompressor IBaseFilter' interface"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScopedGraphBuildStandIn standIn(c.graphHasMediaControl);
    std::optional<ScopedClassRegistration> changed;
    if (c.clsid) changed.emplace(*c.clsid, c.factory);
    TFCamera& camera = SelectCam(c.type);
    if (c.prepare) c.prepare(camera, *standIn.log);
    const std::size_t objects = korvane::com::LiveObjectCount();
    const std::size_t blocks = korvane::com::OutstandingTaskMemoryBlocks();

    EXPECT_EQ(CameraErrorOf([&] { camera.SetActive(true); }), c.message);
    EXPECT_FALSE(camera.GetActive());
    EXPECT_EQ(camera.GetState(), csInactive);
    EXPECT_EQ(korvane::com::LiveObjectCount(), objects) << "counted objects held";
    EXPECT_EQ(korvane::com::OutstandingTaskMemoryBlocks(), blocks) << "task memory held";
  }
}

TEST_F(GraphBuildTest, RecordingAddsItsFiltersAndStreams) {
  const std::string preview = "preview video: Video capture > Sample grabber > Null renderer";
  const struct Case {
    const char* name;
    const char* compressor;
    const char* audio;
    const char* audioCompressor;
    std::vector<std::string> added;  // after the preview's three filters and the multiplexer
    std::vector<std::string> streams;
  } cases[] = {
      {"video only", "", "", "", {}, {"capture video: Video capture > Mux"}},
      {"compressed video",
       "Squeeze",
       "",
       "",
       {"Compressor filter"},
       {"capture video: Video capture > Compressor filter > Mux"}},
      {"video and sound",
       "",
       "Mic",
       "",
       {"Audio capture"},
       {"capture video: Video capture > Mux", "capture audio: Audio capture > Mux"}},
      {"both compressed",
       "Squeeze",
       "Mic",
       "Hush",
       {"Compressor filter", "Audio capture", "AudioCompressor filter"},
       {"capture video: Video capture > Compressor filter > Mux",
        "capture audio: Audio capture > AudioCompressor filter > Mux"}},
      // Without a microphone an audio compressor has nothing to compress.
      {"audio compressor alone", "", "", "Hush", {}, {"capture video: Video capture > Mux"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScopedGraphBuildStandIn standIn;
    TFCamera& camera = SelectCam(ctGrabber);
    camera.SetOutputFileName("recording.avi");
    camera.SetOutputFileType(mtAvi);
    camera.SetCompressorName(c.compressor);
    camera.SetAudioDeviceName(c.audio);
    camera.SetAudioCompressorName(c.audioCompressor);
    camera.SetActive(true);
    ASSERT_TRUE(camera.GetActive());

    std::vector<std::string> added = {"Video capture", "Sample grabber", "Null renderer", "Mux"};
    added.insert(added.end(), c.added.begin(), c.added.end());
    EXPECT_EQ(standIn.log->added, added);
    std::vector<std::string> streams = {preview};
    streams.insert(streams.end(), c.streams.begin(), c.streams.end());
    EXPECT_EQ(standIn.log->streams, streams);
    camera.SetActive(false);
  }
}

TEST_F(GraphBuildTest, ARendererThatRefusesItsSettingsStillShowsThePicture) {
  const struct Case {
    const char* name;
    bool takesAspectRatio;
    bool takesBorderColor;
  } cases[] = {{"aspect ratio refused", false, true},
               {"border colour refused", true, false},
               {"both refused", false, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScopedGraphBuildStandIn standIn;
    standIn.log->rendererTakesAspectRatio = c.takesAspectRatio;
    standIn.log->rendererTakesBorderColor = c.takesBorderColor;
    TFCamera& camera = SelectCam(ctVmr9);
    camera.SetAspectRatio(true);
    camera.SetBorderColor(0x00123456);
    camera.SetActive(true);
    EXPECT_TRUE(camera.GetActive());
    EXPECT_EQ(camera.GetCaptureType(), ctVmr9);
    EXPECT_EQ(standIn.log->aspectRatioMode.has_value(), c.takesAspectRatio);
    EXPECT_EQ(standIn.log->borderColor.has_value(), c.takesBorderColor);
    EXPECT_EQ(standIn.log->aspectRatioMode.value_or(0), c.takesAspectRatio ? 1u : 0u);
    EXPECT_EQ(standIn.log->borderColor.value_or(0), c.takesBorderColor ? 0x00123456u : 0u);
    EXPECT_EQ(standIn.log->added, (std::vector<std::string>{"Video capture", "VMR-9"}));
    camera.SetActive(false);
  }
}

TEST_F(GraphBuildTest, StateMapsWhatTheGraphReports) {
  const struct Case {
    const char* name;
    HRESULT result;
    OAFilterState reported;
    TFCameraState state;
  } cases[] = {
      {"stopped", S_OK, State_Stopped, csStopped},
      {"paused", S_OK, State_Paused, csPaused},
      {"running", S_OK, State_Running, csRunning},
      {"on its way to running", VFW_S_STATE_INTERMEDIATE, State_Running, csRunning},
      {"paused, cannot cue", VFW_S_CANT_CUE, State_Paused, csPaused},
      {"failed query", E_FAIL, State_Running, csUnknown},
      {"unknown state", S_OK, static_cast<OAFilterState>(7), csUnknown},
  };
  ScopedGraphBuildStandIn standIn;
  TFCamera& camera = SelectCam(ctGrabber);
  camera.SetActive(true);
  ASSERT_TRUE(camera.GetActive());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    standIn.log->stateResult = c.result;
    standIn.log->state = c.reported;
    EXPECT_EQ(camera.GetState(), c.state);
  }
  camera.SetActive(false);
  EXPECT_EQ(camera.GetState(), csInactive);
}

}  // namespace
}  // namespace korvane::camera::testing
