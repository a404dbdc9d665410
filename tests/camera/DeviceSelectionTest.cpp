// Device lists, selection by name or path, the lazy interfaces and the component's checks.

#include "tests/camera/CameraFixture.h"

namespace korvane::camera::testing {
namespace {

using korvane::sim::SimCategory;

SimDevice OtherDevice(SimCategory category, const std::string& name) {
  SimDevice device;
  device.category = category;
  device.friendlyName = name;
  device.description = name + " description";
  if (category == SimCategory::AudioInput) device.waveInId = 7;
  return device;
}

TEST_F(CameraTest, DevicesListsEveryCameraInOrderWithDuplicatesAndMissingFields) {
  SimDevice bare;
  bare.friendlyName = "Bare";  // no path, no description
  SimDevice noBag = FullCamera("Hidden", "/dev/hidden");
  noBag.noPropertyBag = true;
  SimDevice unplugged = FullCamera("Unplugged", "/dev/unplugged");
  unplugged.absent = true;
  TFCamera& camera =
      Install({{FullCamera("Twin", "/dev/a"), bare, noBag, unplugged, FullCamera("Twin", "/dev/b"),
                OtherDevice(SimCategory::AudioInput, "Microphone")}});

  const TFVideoCaptureDevices expected = {{"Twin", "Twin description", "/dev/a"},
                                          {"Bare", "", ""},
                                          {"Twin", "Twin description", "/dev/b"}};
  EXPECT_EQ(camera.GetDevices(), expected);
}

TEST_F(CameraTest, NoCamerasGiveEmptyListsAndNotFound) {
  TFCamera& camera = Install({});
  EXPECT_TRUE(camera.GetDevices().empty());
  EXPECT_TRUE(camera.GetAudioCaptureDevices().empty());
  EXPECT_TRUE(camera.GetCompressors().empty());
  EXPECT_TRUE(camera.GetAudioCompressors().empty());
  camera.SetDeviceName("Remembered Cam");
  EXPECT_EQ(CameraErrorOf([&] { camera.GetBrightness(); }),
            "Camera device 'Remembered Cam' not found");
}

TEST_F(CameraTest, OtherCategoriesAreListedAndFoundByFriendlyName) {
  SimDevice nameless = OtherDevice(SimCategory::VideoCompressor, "x");
  nameless.friendlyName.reset();
  TFCamera& camera = Install({{OtherDevice(SimCategory::AudioInput, "Microphone"),
                               OtherDevice(SimCategory::VideoCompressor, "Video Codec"), nameless,
                               OtherDevice(SimCategory::AudioCompressor, "Audio Codec")}});
  const TFAudioCaptureDevices audio = {{"Microphone", "Microphone description", 7}};
  EXPECT_EQ(camera.GetAudioCaptureDevices(), audio);
  EXPECT_EQ(camera.GetCompressors(), (std::vector<std::string>{"Video Codec", ""}));
  EXPECT_EQ(camera.GetAudioCompressors(), std::vector<std::string>{"Audio Codec"});

  EXPECT_NE(camera.GetAudioCaptureDevice("Microphone"), nullptr);
  EXPECT_EQ(camera.GetAudioCaptureDevice("Video Codec"), nullptr);  // other category
  EXPECT_NE(camera.GetCompressor("Video Codec"), nullptr);
  EXPECT_NE(camera.GetAudioCompressor("Audio Codec"), nullptr);

  camera.SetAudioDeviceName("Microphone");
  camera.SetCompressorName("Video Codec");
  camera.SetAudioCompressorName("Audio Codec");
  EXPECT_NE(camera.GetAudioCaptureFilter(), nullptr);
  EXPECT_NE(camera.GetCompressorFilter(), nullptr);
  EXPECT_NE(camera.GetAudioCompressorFilter(), nullptr);
  camera.SetCompressorName("Nothing");
  EXPECT_EQ(camera.GetCompressorFilter(), nullptr);
  EXPECT_NE(camera.GetAudioCaptureFilter(), nullptr);  // only its own filter was dropped
}

TEST_F(CameraTest, NotSelectedIsToldApartFromNotFound) {
  TFCamera& camera = Install({{FullCamera("Cam", "/dev/cam")}});
  struct Case {
    std::string deviceName;
    std::string message;
  };
  for (const Case& c : {Case{"", "Camera device not selected"},
                        Case{"Other Cam", "Camera device 'Other Cam' not found"},
                        Case{"cam", "Camera device 'cam' not found"}}) {  // names are exact
    camera.SetDeviceName(c.deviceName);
    EXPECT_EQ(CameraErrorOf([&] { camera.GetBrightness(); }), c.message) << c.deviceName;
    EXPECT_EQ(CameraErrorOf([&] { camera.GetBrightnessSupported(); }), c.message);
    EXPECT_EQ(CameraErrorOf([&] { camera.GetFlashModeSupported(); }), c.message);
    EXPECT_EQ(CameraErrorOf([&] { camera.GetSupportedFormats(); }), c.message);
    EXPECT_EQ(CameraErrorOf([&] { camera.SetActive(true); }), c.message);
    EXPECT_FALSE(camera.GetActive());
  }
}

TEST_F(CameraTest, DuplicateNamesSelectTheFirstAndAPathSelectsExactly) {
  SimDevice first = FullCamera("Twin", "/dev/a");
  first.videoProcAmp[0].value = 11;
  SimDevice second = FullCamera("Twin", "/dev/b");
  second.videoProcAmp[0].value = 22;
  TFCamera& camera = Install({{first, second}});

  camera.SetDeviceName("Twin");
  EXPECT_EQ(camera.GetBrightness(), 11);
  camera.SetDeviceName("/dev/b");
  EXPECT_EQ(camera.GetBrightness(), 22);  // the new device, never the cached old one
  camera.SetDeviceName("/dev/a");
  EXPECT_EQ(camera.GetBrightness(), 11);
}

TEST_F(CameraTest, AnUnbindableMatchIsPassedOver) {
  SimDevice broken = FullCamera("Twin", "/dev/a");
  broken.unbindable = true;
  SimDevice working = FullCamera("Twin", "/dev/b");
  working.videoProcAmp[0].value = 22;
  TFCamera& camera = Install({{broken, working}});
  EXPECT_EQ(camera.GetDevice("/dev/a"), nullptr);
  camera.SetDeviceName("Twin");
  EXPECT_EQ(camera.GetBrightness(), 22);
}

TEST_F(CameraTest, AFailedLazyGetterIsRetriedAtTheNextRead) {
  SimDevice device = FullCamera("Cam", "/dev/cam");
  device.absent = true;
  TFCamera& camera = Select(device);
  EXPECT_EQ(camera.GetCaptureFilter(), nullptr);
  EXPECT_EQ(camera.GetAMVideoProcAmp(), nullptr);
  EXPECT_EQ(CameraErrorOf([&] { camera.GetBrightness(); }), "Camera device 'Cam' not found");

  ChangeDevice([](SimDevice& d) { d.absent = false; });  // plugged in
  EXPECT_NE(camera.GetCaptureFilter(), nullptr);
  EXPECT_EQ(camera.GetBrightness(), 0);

  // Unplugged while its interfaces are held: the driver's answer comes back as an OLE error.
  ChangeDevice([](SimDevice& d) { d.absent = true; });
  const EOleSysError error = OleErrorOf([&] { camera.GetBrightness(); });
  EXPECT_EQ(error.ErrorCode(), HRESULT_ERROR_DEVICE_NOT_CONNECTED);
  EXPECT_STREQ(error.what(), "The device is not connected");
}

TEST_F(CameraTest, LazyGettersCacheUntilTheDeviceNameChanges) {
  SimDevice other = FullCamera("Other", "/dev/other");
  TFCamera& camera = Install({{FullCamera("Cam", "/dev/cam"), other}});
  EXPECT_EQ(camera.GetCaptureFilter(), nullptr);  // nothing selected
  camera.SetDeviceName("Cam");

  const ComPtr<IBaseFilter> filter = camera.GetCaptureFilter();
  const ComPtr<IAMVideoProcAmp> procAmp = camera.GetAMVideoProcAmp();
  ASSERT_NE(filter, nullptr);
  ASSERT_NE(procAmp, nullptr);
  EXPECT_NE(camera.GetAMCameraControl(), nullptr);
  EXPECT_NE(camera.GetAMVideoControl(), nullptr);
  EXPECT_NE(camera.GetCapturePin(), nullptr);
  EXPECT_NE(camera.GetAMStreamConfig(), nullptr);
  EXPECT_EQ(camera.GetCaptureFilter(), filter);
  EXPECT_EQ(camera.GetAMVideoProcAmp(), procAmp);

  camera.SetDeviceName("Cam");  // the same name keeps everything
  EXPECT_EQ(camera.GetCaptureFilter(), filter);
  camera.SetDeviceName("Other");
  EXPECT_NE(camera.GetCaptureFilter(), filter);
  EXPECT_NE(camera.GetAMVideoProcAmp(), procAmp);
}

TEST_F(CameraTest, MissingInterfacesGiveNilGetters) {
  SimDevice device = FullCamera("Cam", "/dev/cam");
  device.missingInterfaces = {"IAMVideoProcAmp", "IAMVideoControl", "CapturePin"};
  TFCamera& camera = Select(device);
  EXPECT_NE(camera.GetCaptureFilter(), nullptr);
  EXPECT_EQ(camera.GetAMVideoProcAmp(), nullptr);
  EXPECT_EQ(camera.GetAMVideoControl(), nullptr);
  EXPECT_EQ(camera.GetCapturePin(), nullptr);
  EXPECT_EQ(camera.GetAMStreamConfig(), nullptr);  // its prerequisite, the pin, is missing
  EXPECT_NE(camera.GetAMCameraControl(), nullptr);
}

TEST_F(CameraTest, APinWithoutCategoryIsNotTheCapturePin) {
  SimDevice device = FullCamera("Cam", "/dev/cam");
  device.missingInterfaces = {"Pin.IKsPropertySet"};
  TFCamera& camera = Select(device);
  EXPECT_EQ(camera.GetCapturePin(), nullptr);
  EXPECT_EQ(CameraErrorOf([&] { camera.GetSupportedFormats(); }),
            "Cannot retrieve 'Capture IPin' interface");
}

TEST_F(CameraTest, WithoutGraphObjectsTheGraphGettersAreNilAndActivationFailsCleanly) {
  korvane::com::ScopedClassRegistration noGraph(CLSID_FilterGraph, {});
  korvane::com::ScopedClassRegistration noBuilder(CLSID_CaptureGraphBuilder2, {});
  TFCamera& camera = Select(FullCamera("Cam", "/dev/cam"));
  EXPECT_EQ(camera.GetGraphBuilder(), nullptr);
  EXPECT_EQ(camera.GetCaptureGraphBuilder2(), nullptr);
  EXPECT_EQ(CameraErrorOf([&] { camera.SetActive(true); }),
            "Cannot retrieve 'ICaptureGraphBuilder2' interface");
  EXPECT_FALSE(camera.GetActive());
  camera.SetActive(false);               // writing the current value does nothing
  EXPECT_EQ(camera.GetBrightness(), 0);  // the device is usable again after the failure
}

TEST_F(CameraTest, NameSettersStoreWhileInactiveAndWhileLoading) {
  TFCamera& camera = Install({});
  camera.SetDeviceName("A");
  camera.SetAudioDeviceName("B");
  camera.SetCompressorName("C");
  camera.SetAudioCompressorName("D");
  EXPECT_EQ(camera.GetDeviceName(), "A");
  EXPECT_EQ(camera.GetAudioDeviceName(), "B");
  EXPECT_EQ(camera.GetCompressorName(), "C");
  EXPECT_EQ(camera.GetAudioCompressorName(), "D");

  // A component stored as active tries to activate once loading ends and reports why not.
  camera.BeginLoading();
  camera.SetDeviceName("Stored Cam");
  camera.SetActive(true);
  EXPECT_FALSE(camera.GetActive());
  EXPECT_EQ(CameraErrorOf([&] { camera.EndLoading(); }), "Camera device 'Stored Cam' not found");
  EXPECT_FALSE(camera.IsLoading());
  EXPECT_FALSE(camera.GetActive());
}

TEST_F(CameraTest, AboutIsFixed) {
  TFCamera& camera = Install({});
  const std::string about = camera.GetAbout();
  EXPECT_NE(about.find("1.7"), std::string::npos);
  camera.SetAbout("changed");
  EXPECT_EQ(camera.GetAbout(), about);
}

}  // namespace
}  // namespace korvane::camera::testing
