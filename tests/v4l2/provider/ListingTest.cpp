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
  // Identical cameras share one by-id name; their ports tell them apart, in name and path.
  EXPECT_EQ(devices[2].Name, "Twin Cam");
  EXPECT_EQ(devices[3].Name, "Twin Cam (2)");
  EXPECT_EQ(devices[2].Path, "/dev/v4l/by-path/pci-0000:00:14.0-usb-0:1:1.0-video-index0");
  EXPECT_EQ(devices[3].Path, "/dev/v4l/by-path/pci-0000:00:14.0-usb-0:2:1.0-video-index0");
}

// Names that tell cameras apart: two functions of one laptop camera by the card's function,
// two cameras of one model by number in the order of their ports, whatever order the nodes
// came in; a camera alone keeps its product name.
TEST_F(V4l2Test, CamerasThatShareANameAreListedApart) {
  const auto laptop = [](const std::string& id, int node, const std::string& card,
                         const std::string& interface) {
    return R"({"id":")" + id + R"(","node":)" + std::to_string(node) + R"(,"card":")" + card +
           R"(","busInfo":"usb-0000:00:14.0-5","usb":{"vendor":"04f2","product":"b6d9",
           "productName":"Integrated Camera"},"byPath":"pci-0000:00:14.0-usb-0:5:)" +
           interface +
           R"(","formats":[{"fourcc":"YUYV","sizes":[{"width":640,"height":480,
           "intervals":["1/30"]}]}]})";
  };
  struct Case {
    std::string cameras;
    std::vector<std::string> names;
  };
  const Case cases[] = {
      {laptop("rgb", 0, "Integrated Camera: Integrated C", "1.0") + "," +
           laptop("ir", 2, "Integrated Camera: Integrated I", "1.2"),
       {"Integrated Camera: Integrated C", "Integrated Camera: Integrated I"}},
      {laptop("ir", 0, "Integrated Camera: Integrated I", "1.2") + "," +
           laptop("rgb", 2, "Integrated Camera: Integrated I", "1.0"),
       {"Integrated Camera (2)", "Integrated Camera"}},
      {CameraJson("twinB", 0, "Twin Cam", kTwinUsb, "2") + "," +
           CameraJson("twinA", 2, "Twin Cam", kTwinUsb, "1") + "," +
           CameraJson("twinC", 4, "Twin Cam", kTwinUsb, "3"),
       {"Twin Cam (2)", "Twin Cam", "Twin Cam (3)"}},
      {CameraJson("twinA", 0, "Twin Cam", kTwinUsb, "1"), {"Twin Cam"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.cameras);
    TFCamera& camera = Install(R"({"cameras":[)" + c.cameras + "]}");
    std::vector<std::string> names;
    for (const TFVideoCaptureDevice& device : camera.GetDevices()) names.push_back(device.Name);
    EXPECT_EQ(names, c.names);
    for (const std::string& name : c.names) {
      camera.SetDeviceName(name);
      EXPECT_NO_THROW(camera.GetSupportedFormats()) << name;
    }
  }
  // Each twin is reachable by its name, the same one whichever node it has.
  TFCamera& twins = Install(R"({"cameras":[)" + cases[2].cameras + "]}");
  Kernel().SetControlValue("twinA", V4L2_CID_BRIGHTNESS, 11);
  Kernel().SetControlValue("twinB", V4L2_CID_BRIGHTNESS, 22);
  Kernel().SetControlValue("twinC", V4L2_CID_BRIGHTNESS, 33);
  for (const auto& [name, value] :
       {std::pair{"Twin Cam", 11}, {"Twin Cam (2)", 22}, {"Twin Cam (3)", 33}}) {
    twins.SetDeviceName(name);
    EXPECT_EQ(twins.GetBrightness(), value) << name;
  }
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
