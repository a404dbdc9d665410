// The real cameras of the emulation files stream through the camera test's graph (the
// renderer, behind the decoder for MJPG): every MJPG and YUYV size, up to 3840x2160, shows a
// moving picture, and a format the graph cannot show (H264) fails to start.

#include <linux/videodev2.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>

#include "platform/graph/GraphClasses.h"
#include "tests/camera/FrameWaiting.h"
#include "tests/camera/TestControls.h"
#include "tests/v4l2/provider/V4l2Fixture.h"

namespace korvane::v4l2::testing {
namespace {

using camera::testing::TestControl;
using camera::testing::WaitFor;
using namespace std::chrono_literals;

std::string CameraFile(const char* name) {
  std::ifstream in(std::filesystem::path(KORVANE_SOURCE_DIR) / "tests/cameras" / name);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The renderer's current picture as a snapshot writes it, after waiting a frame time (so a
// wait does not read the same picture over and over); empty while no frame has arrived.
std::string PictureAFrameLater(TFCamera& camera) {
  const auto frameTime = std::chrono::microseconds(camera.GetFormat().AvgTimePerFrame / 10);
  std::this_thread::sleep_for(std::max<std::chrono::microseconds>(frameTime, 30ms));
  std::ostringstream file;
  try {
    camera.CurrentImageToStream(file);
  } catch (const EOleSysError&) {
    return {};
  }
  return file.str();
}

class RealCamerasStream : public V4l2Test {
 protected:
  void SetUp() override {
    V4l2Test::SetUp();
    graph::RegisterGraphClasses();
  }
};

TEST_F(RealCamerasStream, EveryMjpgAndYuyvSizeShowsAMovingPicture) {
  const struct {
    const char* file;
    const char* name;
  } cameras[] = {{"elp-4k.json", "HD USB CAMERA"}, {"c920.json", "HD Pro Webcam C920"}};
  for (const auto& [file, name] : cameras) {
    SCOPED_TRACE(file);
    Install(CameraFile(file));
    const auto form = TestControl::Form();
    const auto preview = TestControl::On(form.get(), {0, 0}, 640, 480);
    TFCamera camera(form.get());
    camera.SetDeviceName(name);
    camera.SetPreviewControl(preview.get());
    camera.SetCaptureType(ctVmr9);
    // Each size once, at its fastest rate: the driver's path is the same at every rate.
    std::map<std::tuple<std::string, LONG, LONG>, TFCameraFormat> fastest;
    for (const TFCameraFormat& format : camera.GetSupportedFormats()) {
      const std::string fourcc(format.Compression.begin(), format.Compression.end());
      if (fourcc != "MJPG" && fourcc != "YUY2") continue;
      auto [at, added] = fastest.emplace(std::tuple{fourcc, format.Width, format.Height}, format);
      if (!added && format.AvgTimePerFrame < at->second.AvgTimePerFrame) at->second = format;
    }
    bool largest = false;
    for (const auto& [key, format] : fastest) {
      const std::string& fourcc = std::get<0>(key);
      SCOPED_TRACE(fourcc + " " + std::to_string(format.Width) + "x" +
                   std::to_string(format.Height));
      largest |= format.Width == 3840 && fourcc == "MJPG" && format.AvgTimePerFrame == 333333;
      camera.SetFormat(format);
      camera.SetActive(true);
      camera.Run();
      std::string first;
      ASSERT_TRUE(WaitFor([&] { return !(first = PictureAFrameLater(camera)).empty(); }))
          << "no picture";
      EXPECT_GT(first.size(), std::size_t(format.Width) * format.Height);
      EXPECT_TRUE(WaitFor([&] {
        const std::string later = PictureAFrameLater(camera);
        return !later.empty() && later != first;
      })) << "the picture does not move";
      camera.Stop();
      camera.SetActive(false);
    }
    EXPECT_GT(fastest.size(), 10u);
    if (std::string(file) == "elp-4k.json") {
      EXPECT_TRUE(largest) << "3840x2160 MJPG at 30 fps streamed";
    }
  }
}

TEST_F(RealCamerasStream, AFormatTheGraphCannotShowFailsToStart) {
  Install(CameraFile("c920.json"));
  const auto form = TestControl::Form();
  const auto preview = TestControl::On(form.get(), {0, 0}, 640, 480);
  TFCamera camera(form.get());
  camera.SetDeviceName("HD Pro Webcam C920");
  camera.SetPreviewControl(preview.get());
  camera.SetCaptureType(ctVmr9);
  bool tried = false;
  for (const TFCameraFormat& format : camera.GetSupportedFormats()) {
    if (std::string(format.Compression.begin(), format.Compression.end()) != "H264") continue;
    camera.SetFormat(format);
    EXPECT_NE(OleErrorOf([&] {
                camera.SetActive(true);
                camera.Run();
              }).second,
              "<no error>");
    camera.SetActive(false);
    tried = true;
    break;
  }
  EXPECT_TRUE(tried) << "the webcam offers H264";
}

}  // namespace
}  // namespace korvane::v4l2::testing
