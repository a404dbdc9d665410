// The driver's property dialogs: which object and pages reach the property frame, under which
// caption, and the errors of every step, with the page list given back on every path.

#include <string>
#include <vector>

#include "platform/os/PropertyFrame.h"
#include "platform/sim/SimPages.h"
#include "tests/camera/CameraFixture.h"
#include "tests/camera/CaptureGraphStandIn.h"

namespace korvane::camera::testing {
namespace {

// What the frame was shown; the frame answers `result`.
struct ShownFrame {
  int calls = 0;
  std::string caption;
  std::vector<std::string> pageTitles;
  ULONG objectCount = 0;
  ComPtr<IUnknown> objectIdentity;  // the object's IUnknown, to compare identities
};

class PropertyDialogTest : public CameraTest {
 protected:
  void TearDown() override {
    shown_.objectIdentity.Reset();
    CameraTest::TearDown();
  }

  // Installs a frame that records what it was shown and answers result.
  void InstallFrame(HRESULT result = S_OK) {
    frame_.emplace([this, result](const os::PropertyFrameRequest& request) {
      ++shown_.calls;
      shown_.caption = request.caption;
      shown_.objectCount = static_cast<ULONG>(request.objects.size());
      shown_.pageTitles.clear();
      for (const auto& page : request.pages) {
        std::string title;
        page->GetTitle(&title);
        shown_.pageTitles.push_back(title);
      }
      if (!request.objects.empty()) request.objects[0].As(&shown_.objectIdentity);
      return result;
    });
  }

  static ComPtr<IUnknown> Identity(IUnknown* object) {
    ComPtr<IUnknown> identity;
    object->QueryInterface(IID_IUnknown, identity.ReleaseAndGetVoidAddressOf());
    return identity;
  }

  ShownFrame shown_;
  std::optional<os::ScopedPropertyFrameHook> frame_;
};

SimDevice CameraWithoutControls(const std::string& name) {
  SimDevice device;
  device.friendlyName = name;
  device.formats.push_back(SimFormat{});
  return device;
}

TEST_F(PropertyDialogTest, ShowsTheFilterPagesUnderTheFilterName) {
  TFCamera& camera = Select(FullCamera("Desk Cam \u00e9", "path-a"));
  InstallFrame();
  camera.ShowPropertyDialog();
  ASSERT_EQ(shown_.calls, 1);
  // Inactive, the filter is in no graph and goes by its own name.
  EXPECT_EQ(shown_.caption, "Desk Cam \u00e9");
  EXPECT_EQ(shown_.objectCount, 1u);
  EXPECT_EQ(shown_.objectIdentity, Identity(camera.GetCaptureFilter().Get()));
  EXPECT_EQ(shown_.pageTitles, (std::vector<std::string>{"Video Proc Amp", "Camera Control"}));
}

TEST_F(PropertyDialogTest, CaptionIsTheNameInTheGraphAndTheGraphReferenceIsReleased) {
  TFCamera& camera = Select(FullCamera("Desk Cam", "path-a"));
  InstallFrame();
  const ComPtr<IBaseFilter> filter = camera.GetCaptureFilter();
  {
    const ComPtr<IGraphBuilder> graph = korvane::com::MakeCom<StandInFilterGraph>();
    ASSERT_EQ(filter->JoinFilterGraph(graph.Get(), u"Video capture"), S_OK);
    camera.ShowPropertyDialog();
    ASSERT_EQ(filter->JoinFilterGraph(nullptr, nullptr), S_OK);
  }
  // The fixture's leak check would see the graph alive had its reference been kept.
  EXPECT_EQ(shown_.caption, "Video capture");
}

TEST_F(PropertyDialogTest, ZeroPagesStillReachTheFrame) {
  TFCamera& camera = Select(CameraWithoutControls("Bare Cam"));
  InstallFrame();
  camera.ShowPropertyDialog();
  EXPECT_EQ(shown_.calls, 1);
  EXPECT_TRUE(shown_.pageTitles.empty());
  EXPECT_EQ(shown_.caption, "Bare Cam");
}

TEST_F(PropertyDialogTest, FilterWithoutPagesRaisesTheQueryFailureAndShowsNothing) {
  SimDevice device = FullCamera("Cam", "p");
  device.missingInterfaces.insert("ISpecifyPropertyPages");
  TFCamera& camera = Select(device);
  InstallFrame();
  const EOleSysError error = OleErrorOf([&] { camera.ShowPropertyDialog(); });
  EXPECT_EQ(error.ErrorCode(), E_NOINTERFACE) << error.what();
  EXPECT_EQ(shown_.calls, 0);
}

// Every failure after GetPages gives the page list back (the fixture counts task memory).
TEST_F(PropertyDialogTest, FailuresRaiseTheirCodeAndFreeThePageList) {
  const HRESULT kFault = MakeHResult(0x80040217);
  struct Case {
    const char* what;
    const char* fault;    // a driver call made to fail, or nullptr
    HRESULT frameResult;  // what the frame answers
    bool frameInstalled;
    HRESULT expected;
  };
  const Case cases[] = {
      {"GetPages fails", "ISpecifyPropertyPages::GetPages", S_OK, true, kFault},
      {"QueryFilterInfo fails", "IBaseFilter::QueryFilterInfo", S_OK, true, kFault},
      {"the frame fails", nullptr, E_FAIL, true, E_FAIL},
      {"no frame installed", nullptr, S_OK, false, E_NOTIMPL},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SimDevice device = FullCamera("Cam", "p");
    if (c.fault) device.faults[c.fault] = kFault;
    TFCamera& camera = Select(device);
    frame_.reset();
    shown_ = {};
    const std::size_t blocks = korvane::com::OutstandingTaskMemoryBlocks();
    if (c.frameInstalled) {
      InstallFrame(c.frameResult);
    } else {
      // Whatever a test before installed, this case has none.
      frame_.emplace(os::PropertyFrameHook{});
    }
    const EOleSysError error = OleErrorOf([&] { camera.ShowPropertyDialog(); });
    EXPECT_EQ(error.ErrorCode(), c.expected) << error.what();
    EXPECT_EQ(korvane::com::OutstandingTaskMemoryBlocks(), blocks);
    frame_.reset();
  }
}

TEST_F(PropertyDialogTest, NoDeviceSelectedRaisesTheDeviceCheck) {
  TFCamera& camera = Install(SimDescription{{FullCamera("Cam", "p")}});
  InstallFrame();
  EXPECT_EQ(CameraErrorOf([&] { camera.ShowPropertyDialog(); }), "Camera device not selected");
  EXPECT_EQ(CameraErrorOf([&] { camera.ShowStreamPropertyDialog(); }),
            "Camera device not selected");
  camera.SetDeviceName("Gone");
  EXPECT_EQ(CameraErrorOf([&] { camera.ShowPropertyDialog(); }), "Camera device 'Gone' not found");
  EXPECT_EQ(shown_.calls, 0);
}

TEST_F(PropertyDialogTest, StreamDialogWithoutGraphBuilderRaisesItsName) {
  // Whatever graph classes the platform has, this case has none.
  korvane::com::ScopedClassRegistration noGraph(CLSID_FilterGraph, {});
  korvane::com::ScopedClassRegistration noBuilder(CLSID_CaptureGraphBuilder2, {});
  TFCamera& camera = Select(FullCamera("Cam", "p"));
  InstallFrame();
  EXPECT_EQ(CameraErrorOf([&] { camera.ShowStreamPropertyDialog(); }),
            "Cannot retrieve 'ICaptureGraphBuilder2' interface");
  EXPECT_EQ(shown_.calls, 0);
}

TEST_F(PropertyDialogTest, StreamDialogShowsThePinFormatPageFoundThroughTheGraphBuilder) {
  TFCamera& camera = Select(FullCamera("Desk Cam", "p"));
  InstallFrame();
  camera.ShowStreamPropertyDialog();
  ASSERT_EQ(shown_.calls, 1);
  EXPECT_EQ(shown_.caption, "Desk Cam");
  EXPECT_EQ(shown_.pageTitles, std::vector<std::string>{"Stream Format"});
  EXPECT_EQ(shown_.objectIdentity, Identity(camera.GetAMStreamConfig().Get()));

  // Active, the capture filter goes by its name in the graph.
  camera.SetCaptureType(ctGrabber);
  camera.SetActive(true);
  camera.ShowStreamPropertyDialog();
  EXPECT_EQ(shown_.calls, 2);
  EXPECT_EQ(shown_.caption, "Video capture");
}

TEST_F(PropertyDialogTest, StreamDialogFailures) {
  ScopedCaptureGraphStandIn graphs;
  const HRESULT kFindFailure = MakeHResult(0x80040216);
  {
    SCOPED_TRACE("FindInterface fails");
    TFCamera& camera = Select(FullCamera("Cam", "p"));
    InstallFrame();
    graphs.answer->failure = kFindFailure;
    EXPECT_EQ(OleErrorOf([&] { camera.ShowStreamPropertyDialog(); }).ErrorCode(), kFindFailure);
    graphs.answer->failure = S_OK;
  }
  {
    SCOPED_TRACE("FindInterface finds nothing");
    TFCamera& camera = Select(FullCamera("Cam", "p"));
    graphs.answer->findsNothing = true;
    EXPECT_EQ(CameraErrorOf([&] { camera.ShowStreamPropertyDialog(); }),
              "Cannot retrieve 'IAMStreamConfig' interface");
    graphs.answer->findsNothing = false;
  }
  {
    SCOPED_TRACE("the stream configuration has no pages");
    SimDevice device = FullCamera("Cam", "p");
    device.missingInterfaces.insert("Pin.ISpecifyPropertyPages");
    TFCamera& camera = Select(device);
    EXPECT_EQ(OleErrorOf([&] { camera.ShowStreamPropertyDialog(); }).ErrorCode(), E_NOINTERFACE);
  }
  EXPECT_EQ(shown_.calls, 0);
}

}  // namespace
}  // namespace korvane::camera::testing
