// Which cameras the provider lists and how it names them: capture nodes only, USB product names
// over cut card names, stable device paths that tell identical cameras apart, and cameras that
// come and go.

#include <linux/videodev2.h>

#include "platform/com/ErrorText.h"
#include "tests/v4l2/provider/Cameras.h"
#include "tests/v4l2/provider/V4l2Fixture.h"

namespace korvane::v4l2::testing {
namespace {

std::string CameraJson(const std::string& id, int node, const std::string& card,
                       const std::string& usb, const std::string& port,
                       const std::string& extra = "") {
  return R"({"id":")" + id + R"(","node":)" + std::to_string(node) + R"(,"card":")" + card +
         R"(","busInfo":"usb-)" + port + R"(","usb":)" + usb +
         R"(,"byPath":"pci-0000:00:14.0-usb-0:)" + port + R"(:1.0","controls":[
           {"name":"brightness","min":0,"max":255,"default":128,"value":128}],
         "formats":[{"fourcc":"YUYV","sizes":[{"width":640,"height":480,"intervals":["1/30"]}]}],
         "current":{"fourcc":"YUYV","width":640,"height":480,"interval":"1/30"})" +
         extra + "}";
}

const std::string kTwinUsb =
    R"({"vendor":"046d","product":"0825","productName":"Twin Cam","serial":"0"})";

std::string Machine() {
  return R"({"cameras":[)" +
         CameraJson("long", 0, "Integrated Camera: Integrated Camera",
                    R"({"vendor":"04f2","product":"b6d9"})", "8") +
         "," +
         CameraJson(
             "named", 2, "USB Camera: USB Cam",
             R"({"vendor":"1234","product":"0001","productName":"Korvane Desk Cam 720","serial":"A7"})",
             "3") +
         "," + CameraJson("twinA", 4, "Twin Cam", kTwinUsb, "1") + "," +
         CameraJson("twinB", 6, "Twin Cam", kTwinUsb, "2") + "]}";
}

TEST_F(V4l2Test, ListsCaptureNodesWithTheirNamesAndPaths) {
  TFCamera& camera = Install(Machine());
  const TFVideoCaptureDevices devices = camera.GetDevices();
  ASSERT_EQ(devices.size(), 4u) << "metadata nodes are no cameras";
  // The driver cuts its card name to 31 characters; the USB product name is whole.
  EXPECT_EQ(devices[0].Name, "Integrated Camera: Integrated C");
  EXPECT_EQ(devices[1].Name, "Korvane Desk Cam 720");
  EXPECT_TRUE(devices[1].Path.starts_with("/dev/v4l/by-id/")) << devices[1].Path;
  EXPECT_TRUE(devices[1].Path.ends_with("-video-index0")) << devices[1].Path;
  // Identical cameras share one by-id name; their ports tell them apart.
  EXPECT_EQ(devices[2].Name, "Twin Cam");
  EXPECT_EQ(devices[3].Name, "Twin Cam");
  EXPECT_EQ(devices[2].Path, "/dev/v4l/by-path/pci-0000:00:14.0-usb-0:1:1.0-video-index0");
  EXPECT_EQ(devices[3].Path, "/dev/v4l/by-path/pci-0000:00:14.0-usb-0:2:1.0-video-index0");
}

TEST_F(V4l2Test, TheSecondOfTwoIdenticalCamerasIsSelectedByItsPath) {
  TFCamera& camera = Install(Machine());
  camera.SetDeviceName("/dev/v4l/by-path/pci-0000:00:14.0-usb-0:2:1.0-video-index0");
  camera.SetBrightness(7);
  EXPECT_EQ(Kernel().ControlValue("twinB", V4L2_CID_BRIGHTNESS), 7);
  EXPECT_EQ(Kernel().ControlValue("twinA", V4L2_CID_BRIGHTNESS), 128);
}

TEST_F(V4l2Test, AnUnpluggedCameraFailsAsNotConnectedAndComesBackByItsPath) {
  TFCamera& camera = Select(Machine(), "Korvane Desk Cam 720");
  const std::string path = camera.GetDevices()[1].Path;
  const std::string nodeBefore = Kernel().NodePath("named");
  EXPECT_EQ(camera.GetBrightness(), 128);
  // Pulled in the middle of a re-read: the next call fails as the refresh timer expects.
  Kernel().Unplug("named");
  EXPECT_EQ(OleErrorOf([&] { camera.GetBrightnessRange(); }).first,
            HRESULT_ERROR_DEVICE_NOT_CONNECTED);
  EXPECT_EQ(camera.GetDevices().size(), 3u);

  Kernel().Replug("named");
  EXPECT_NE(Kernel().NodePath("named"), nodeBefore);
  const TFVideoCaptureDevices devices = camera.GetDevices();
  ASSERT_EQ(devices.size(), 4u);
  EXPECT_EQ(devices.back().Path, path) << "found again under its stable path";
  camera.SetDeviceName(path);
  camera.SetBrightness(99);
  EXPECT_EQ(Kernel().ControlValue("named", V4L2_CID_BRIGHTNESS), 99);
}

TEST_F(V4l2Test, ACameraTheUserMayNotOpenIsListedAndSaysWhatToDo) {
  TFCamera& camera =
      Install(R"({"cameras":[)" +
              CameraJson("locked", 0, "Locked Cam",
                         R"({"vendor":"1234","product":"0002","productName":"Locked Cam"})", "4",
                         R"(,"accessDenied":true)") +
              "]}");
  const TFVideoCaptureDevices devices = camera.GetDevices();
  ASSERT_EQ(devices.size(), 1u);
  EXPECT_EQ(devices[0].Name, "Locked Cam");
  camera.SetDeviceName("Locked Cam");
  const auto [code, text] = OleErrorOf([&] { camera.GetSupportedFormats(); });
  EXPECT_EQ(code, HRESULT_CAMERA_PERMISSION_DENIED);
  EXPECT_NE(text.find("'video'"), std::string::npos) << text;
  EXPECT_NE(text.find("log out and in again"), std::string::npos) << text;
}

}  // namespace
}  // namespace korvane::v4l2::testing
