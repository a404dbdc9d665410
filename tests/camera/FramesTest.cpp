// Frames through the sample grabber on a streaming simulated camera: the event on the
// streaming thread, a handler that fails on every frame, deactivation waiting for a running
// handler, and the callback object living for one activation only.

#include <thread>

#include "tests/camera/CameraFixture.h"
#include "tests/camera/FrameWaiting.h"

namespace korvane::camera::testing {
namespace {

class FramesTest : public CameraTest {
 protected:
  TFCamera& GrabberCamera() {
    TFCamera& camera = Select(FullCamera("Cam", "/dev/cam"));
    camera.SetCaptureType(ctGrabber);
    return camera;
  }
};

TEST_F(FramesTest, AHandlerThatRaisesOnEveryFrameKeepsTheFramesComing) {
  FrameCounter counter;
  counter.Raises = true;
  TFCamera& camera = GrabberCamera();
  camera.SetOnImageAvailable(counter.Event());
  camera.SetActive(true);
  camera.Run();
  ASSERT_TRUE(counter.WaitForMore(5));
  EXPECT_GT(counter.LastSampleTime.load(), 0.0);  // the samples' start times, in seconds
  EXPECT_NE(counter.HandlerThread.load(), std::this_thread::get_id());
  camera.SetActive(false);
  EXPECT_FALSE(camera.GetActive());
}

// Stays in the first frame it sees until the test begins to deactivate, and then a while
// longer; deactivation must not return before it has finished.
struct SlowHandler {
  std::atomic<bool> Inside{false}, Deactivating{false}, Finished{false};

  void ImageAvailable(TFCamera&, double) {
    if (Inside.exchange(true)) return;
    while (!Deactivating) std::this_thread::yield();
    for (int turn = 0; turn < 20000; ++turn) std::this_thread::yield();
    Finished = true;
  }
};

TEST_F(FramesTest, DeactivationWaitsForARunningHandler) {
  SlowHandler handler;
  TFCamera& camera = GrabberCamera();
  camera.SetOnImageAvailable(TFImageAvailableEvent::Of<&SlowHandler::ImageAvailable>(handler));
  camera.SetActive(true);
  camera.Run();
  ASSERT_TRUE(WaitFor([&] { return handler.Inside.load(); }));
  handler.Deactivating = true;
  camera.SetActive(false);
  EXPECT_TRUE(handler.Finished);
}

TEST_F(FramesTest, TheCallbackObjectLivesForOneActivationOnly) {
  FrameCounter counter;
  TFCamera& camera = GrabberCamera();
  const std::size_t objects = korvane::com::LiveObjectCount();
  camera.SetOnImageAvailable(counter.Event());
  camera.SetActive(true);
  camera.Run();
  ASSERT_TRUE(counter.WaitForMore(2));
  camera.SetActive(false);
  EXPECT_EQ(korvane::com::LiveObjectCount(), objects);

  // Without a handler no callback is installed, while samples are still buffered.
  camera.SetOnImageAvailable({});
  const int seen = counter.Frames;
  camera.SetActive(true);
  camera.Run();
  std::ostringstream snapshot;
  ASSERT_TRUE(
      WaitFor([&] { return camera.CurrentImageToStream(snapshot), !snapshot.str().empty(); }));
  EXPECT_EQ(counter.Frames, seen);
  camera.SetActive(false);
  EXPECT_EQ(korvane::com::LiveObjectCount(), objects);
}

}  // namespace
}  // namespace korvane::camera::testing
