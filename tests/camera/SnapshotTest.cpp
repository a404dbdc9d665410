// Snapshots of a streaming simulated camera: nothing before the first sample, a YUY2 frame
// as a 32-bit bitmap with its rows turned over, JPEG frames byte for byte, uncompressed RGB
// frames with the header they were delivered with, and the renderer's current image.

#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include <unistd.h>

#include "camera/FCameraChecks.h"
#include "camera/YUY2ToRGB32.h"
#include "tests/camera/CameraFixture.h"
#include "tests/camera/FrameWaiting.h"
#include "tests/camera/TestControls.h"

namespace korvane::camera::testing {
namespace {

template <class T>
T Read(const std::string& bytes, std::size_t offset) {
  T value{};
  std::memcpy(&value, bytes.data() + offset, sizeof value);
  return value;
}

std::filesystem::path TempFile(const std::string& name) {
  return std::filesystem::temp_directory_path() /
         ("korvane-" + std::to_string(::getpid()) + "-" + name);
}

class SnapshotTest : public CameraTest {
 protected:
  // A grabber graph that has buffered a sample and is paused, so the sample stays (a live
  // source delivers nothing while paused).
  TFCamera& Streaming(SimDevice device) {
    TFCamera& camera = Select(std::move(device));
    camera.SetCaptureType(ctGrabber);
    camera.SetOnImageAvailable(counter_.Event());
    camera.SetActive(true);
    camera.Run();
    EXPECT_TRUE(counter_.WaitForMore(2));
    camera.Pause();
    return camera;
  }

  // The grabber's buffered sample as it is now.
  static std::string Buffered(TFCamera& camera) {
    const ComPtr<ISampleGrabber> grabber = camera.GetSampleGrabber();
    LONG size = 0;
    if (FAILED(grabber->GetCurrentBuffer(&size, nullptr))) return {};
    std::string bytes(static_cast<std::size_t>(size), '\0');
    if (FAILED(grabber->GetCurrentBuffer(&size, reinterpret_cast<LONG*>(bytes.data())))) return {};
    bytes.resize(static_cast<std::size_t>(size));
    return bytes;
  }

  // A snapshot and the sample it was taken from, taken again should a last sample still have
  // arrived while it was taken.
  struct Taken {
    std::string file;
    std::string sample;
    TFImageFormat format = ifBmp;
  };
  static Taken TakeSteady(TFCamera& camera) {
    for (int attempt = 0; attempt < 100; ++attempt) {
      Taken taken;
      taken.sample = Buffered(camera);
      std::ostringstream stream;
      taken.format = camera.CurrentImageToStream(stream);
      taken.file = stream.str();
      if (Buffered(camera) == taken.sample) return taken;
    }
    ADD_FAILURE() << "every snapshot met a new sample";
    return {};
  }

  FrameCounter counter_;
};

TEST_F(SnapshotTest, BeforeTheFirstSampleNothingIsWritten) {
  TFCamera& camera = Select(FullCamera("Cam", "/dev/cam"));
  camera.SetCaptureType(ctGrabber);
  EXPECT_EQ(CameraErrorOf([&] {
              std::ostringstream stream;
              camera.CurrentImageToStream(stream);
            }),
            "Cannot perform this operation on inactive camera component");
  camera.SetActive(true);  // stopped: no sample has passed yet
  std::ostringstream stream;
  EXPECT_EQ(camera.CurrentImageToStream(stream), ifBmp);
  EXPECT_EQ(stream.str(), "");

  const std::filesystem::path file = TempFile("before-first-sample.bmp");
  { std::ofstream(file) << "an older picture"; }
  EXPECT_EQ(camera.CurrentImageToFile(file.string()), ifBmp);
  EXPECT_TRUE(std::filesystem::exists(file));
  EXPECT_EQ(std::filesystem::file_size(file), 0u);
  std::filesystem::remove(file);
}

TEST_F(SnapshotTest, AYuy2FrameIsA32BitBitmapWithTheFirstSourceRowLast) {
  TFCamera& camera = Streaming(FullCamera("Cam", "/dev/cam"));  // 640 x 480 YUY2
  const Taken taken = TakeSteady(camera);
  EXPECT_EQ(taken.format, ifBmp);
  ASSERT_EQ(taken.file.size(), 1'228'854u);
  EXPECT_EQ(taken.file.substr(0, 2), "BM");
  EXPECT_EQ(Read<DWORD>(taken.file, 2), 1'228'854u);  // bfSize
  EXPECT_EQ(Read<DWORD>(taken.file, 6), 0u);          // both reserved words
  EXPECT_EQ(Read<DWORD>(taken.file, 10), 54u);        // bfOffBits
  BITMAPINFOHEADER header;
  std::memcpy(&header, taken.file.data() + 14, sizeof header);
  EXPECT_EQ(header.biSize, 40u);
  EXPECT_EQ(header.biWidth, 640);
  EXPECT_EQ(header.biHeight, 480);
  EXPECT_EQ(header.biPlanes, 1);
  EXPECT_EQ(header.biBitCount, 32);
  EXPECT_EQ(header.biCompression, BI_RGB);
  EXPECT_EQ(header.biSizeImage, 0u);
  EXPECT_EQ(header.biClrUsed, 0u);
  EXPECT_EQ(header.biClrImportant, 0u);

  ASSERT_EQ(taken.sample.size(), 640u * 480 * 2);
  const auto* source = reinterpret_cast<const BYTE*>(taken.sample.data());
  const auto RowOfFile = [&](std::size_t row) { return taken.file.substr(54 + row * 2560, 2560); };
  const auto Converted = [&](std::size_t sourceRow) {
    std::string pixels(2560, '\0');
    ConvertYUY2RunByTables(source, sourceRow * 640, 640, reinterpret_cast<DWORD*>(pixels.data()));
    return pixels;
  };
  EXPECT_EQ(RowOfFile(479), Converted(0));
  EXPECT_EQ(RowOfFile(0), Converted(479));
  EXPECT_EQ(RowOfFile(200), Converted(279));
}

TEST_F(SnapshotTest, AJpegFramePassesThroughByteForByte) {
  TFCamera& camera =
      Streaming(CameraWith(VideoFormat(MEDIASUBTYPE_MJPG, MakeFourCC('M', 'J', 'P', 'G'), 24)));
  const Taken taken = TakeSteady(camera);
  EXPECT_EQ(taken.format, ifJpeg);
  EXPECT_EQ(taken.file.substr(0, 2), "\xFF\xD8");
  EXPECT_EQ(taken.file, taken.sample);
}

TEST_F(SnapshotTest, UncompressedFramesCarryTheDeliveredHeaderAndPixels) {
  for (const WORD bitCount : {24, 32}) {
    SCOPED_TRACE(bitCount);
    TFCamera& camera = Streaming(CameraWith(
        VideoFormat(bitCount == 24 ? MEDIASUBTYPE_RGB24 : MEDIASUBTYPE_RGB32, BI_RGB, bitCount)));
    AM_MEDIA_TYPE connected{};
    ASSERT_EQ(camera.GetSampleGrabber()->GetConnectedMediaType(&connected), S_OK);
    const std::string delivered(reinterpret_cast<const char*>(connected.pbFormat) + 48, 40);
    FreeMediaType(connected);

    const Taken taken = TakeSteady(camera);
    EXPECT_EQ(taken.format, ifBmp);
    ASSERT_EQ(taken.file.size(), 54 + taken.sample.size());
    EXPECT_EQ(Read<DWORD>(taken.file, 2), taken.file.size());
    EXPECT_EQ(taken.file.substr(14, 40), delivered);
    EXPECT_EQ(taken.file.substr(54), taken.sample);
  }
}

TEST_F(SnapshotTest, TheRendererGivesABitmapOfItsCurrentImage) {
  const auto form = TestControl::Form();
  TFCamera& camera = Select(FullCamera("Cam", "/dev/cam"), form.get());
  camera.SetActive(true);
  ASSERT_EQ(camera.GetCaptureType(), ctVmr9);
  camera.Run();
  std::string file;
  ASSERT_TRUE(WaitFor([&] {
    std::ostringstream stream;
    try {
      EXPECT_EQ(camera.CurrentImageToStream(stream), ifBmp);
    } catch (const EOleSysError&) {
      return false;  // no picture yet
    }
    file = stream.str();
    return !file.empty();
  }));
  ASSERT_GE(file.size(), 54u);
  EXPECT_EQ(file.substr(0, 2), "BM");
  EXPECT_EQ(Read<DWORD>(file, 2), file.size());
  const DWORD headerSize = Read<DWORD>(file, 14);
  EXPECT_EQ(Read<DWORD>(file, 10), 14 + headerSize);
  EXPECT_EQ(Read<LONG>(file, 18), 640);
  EXPECT_EQ(std::abs(Read<LONG>(file, 22)), 480);
  EXPECT_EQ(file.size(), 14 + headerSize + Read<DWORD>(file, 34));  // biSizeImage
}

TEST_F(SnapshotTest, AFileThatCannotBeCreatedRaisesAndTakesNoSnapshot) {
  TFCamera& camera = Streaming(FullCamera("Cam", "/dev/cam"));
  const std::filesystem::path file = TempFile("missing-folder") / "picture.bmp";
  EXPECT_THROW(camera.CurrentImageToFile(file.string()), std::system_error);
  EXPECT_FALSE(std::filesystem::exists(file));
}

}  // namespace
}  // namespace korvane::camera::testing
