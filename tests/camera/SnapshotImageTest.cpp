// The snapshot as an image: the bitmaps the component reads itself decode exactly as the
// toolkit's own bitmap loader decodes the same file, JPEG images go through the loader, and
// data that does not decode raises the loader's error.

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <random>
#include <sstream>

#include "camera/FCameraErrors.h"
#include "camera/FSnapshot.h"
#include "tests/camera/CameraFixture.h"
#include "tests/camera/FakeSampleGrabber.h"
#include "tests/camera/FrameWaiting.h"
#include "tests/camera/TestControls.h"

namespace korvane::camera::testing {
namespace {

constexpr DWORD kYUY2 = MakeFourCC('Y', 'U', 'Y', '2');
constexpr DWORD kMJPG = MakeFourCC('M', 'J', 'P', 'G');

ComPtr<FakeSampleGrabber> GrabberWith(const BITMAPINFOHEADER& Header, std::vector<BYTE> Sample) {
  ComPtr<FakeSampleGrabber> grabber = korvane::com::MakeCom<FakeSampleGrabber>();
  grabber->Format = VideoInfoBlock(Header);
  grabber->Sample = std::move(Sample);
  return grabber;
}

QImage LoadedByToolkit(const TFSnapshot& snapshot) {
  std::ostringstream file;
  WriteSnapshot(snapshot, file);
  const std::string bytes = file.str();
  return QImage::fromData(reinterpret_cast<const uchar*>(bytes.data()),
                          static_cast<int>(bytes.size()), "BMP");
}

// The same snapshot with its header and pixels in one task-memory block.
TFSnapshot InOneBlock(const TFSnapshot& snapshot) {
  TFSnapshot copy;
  copy.Format = snapshot.Format;
  copy.Header = snapshot.Header;
  copy.Yuy2 = snapshot.Yuy2;
  copy.Size = snapshot.Size;
  copy.Block.reset(static_cast<BYTE*>(CoTaskMemAlloc(snapshot.Header.size() + snapshot.Size)));
  std::copy(snapshot.Header.begin(), snapshot.Header.end(), copy.Block.get());
  std::copy_n(snapshot.Data, snapshot.Size, copy.Block.get() + snapshot.Header.size());
  copy.Data = copy.Block.get() + snapshot.Header.size();
  return copy;
}

TEST(SnapshotImageTest, OwnBitmapsDecodeAsTheToolkitDecodesTheirFiles) {
  const struct Case {
    const char* name;
    LONG width, height;
    WORD bitCount;
    DWORD compression;
    std::size_t sampleSize;
  } cases[] = {
      {"YUY2 bottom-up", 6, 4, 16, kYUY2, 48},    {"YUY2 top-down", 6, -4, 16, kYUY2, 48},
      {"YUY2 of odd width", 5, 3, 16, kYUY2, 32}, {"RGB24 with padded rows", 3, 2, 24, BI_RGB, 24},
      {"RGB24 top-down", 3, -2, 24, BI_RGB, 24},  {"RGB32", 4, 3, 32, BI_RGB, 48},
      {"RGB32 top-down", 4, -3, 32, BI_RGB, 48},
  };
  std::mt19937 random(6);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<BYTE> sample(c.sampleSize);
    for (BYTE& byte : sample) byte = static_cast<BYTE>(random());
    const ComPtr<FakeSampleGrabber> grabber =
        GrabberWith(BitmapHeader(c.width, c.height, c.bitCount, c.compression), sample);
    const TFSnapshot snapshot = GrabberSnapshot(*grabber.Get());
    const QImage reference = LoadedByToolkit(snapshot);
    ASSERT_FALSE(reference.isNull());
    const QImage image = SnapshotToImage(snapshot);
    EXPECT_EQ(image.format(), QImage::Format_RGB32);
    EXPECT_EQ(image, reference.convertToFormat(QImage::Format_RGB32));
    // Laid out as the renderer hands its image out, header and pixels in one block, which the
    // image then takes over and turns upright in place.
    EXPECT_EQ(SnapshotToImage(InOneBlock(snapshot)), image);
  }
}

TEST(SnapshotImageTest, JpegFramesGoThroughTheLoader) {
  QImage picture(16, 8, QImage::Format_RGB32);
  picture.fill(qRgb(200, 40, 10));
  QBuffer jpeg;
  jpeg.open(QIODevice::WriteOnly);
  ASSERT_TRUE(picture.save(&jpeg, "JPG"));
  const QByteArray& bytes = jpeg.data();
  const ComPtr<FakeSampleGrabber> grabber =
      GrabberWith(BitmapHeader(16, 8, 24, kMJPG), std::vector<BYTE>(bytes.begin(), bytes.end()));
  const QImage image = SnapshotToImage(GrabberSnapshot(*grabber.Get()));
  EXPECT_EQ(image.size(), QSize(16, 8));
  EXPECT_NEAR(qRed(image.pixel(8, 4)), 200, 8);

  grabber->Sample.assign(64, 0x42);  // not a JPEG image
  EXPECT_THROW(SnapshotToImage(GrabberSnapshot(*grabber.Get())), EInvalidGraphic);
}

TEST(SnapshotImageTest, ShortUncompressedPixelsAndNoPictureAtAll) {
  const ComPtr<FakeSampleGrabber> grabber = GrabberWith(BitmapHeader(4, 3, 32, BI_RGB), {});
  EXPECT_TRUE(SnapshotToImage(GrabberSnapshot(*grabber.Get())).isNull());  // no sample yet
  grabber->Sample.assign(47, 1);
  EXPECT_THROW(SnapshotToImage(GrabberSnapshot(*grabber.Get())), EInvalidGraphic);
}

void CurrentImageToBitmapOf(TFCamera& camera, TFCaptureType type) {
  camera.SetCaptureType(type);
  camera.SetActive(true);
  // No sample yet: the grabber has nothing to give, the renderer refuses the question.
  if (type == ctGrabber) {
    EXPECT_TRUE(camera.CurrentImageToBitmap().isNull());
  } else {
    EXPECT_ANY_THROW(camera.CurrentImageToBitmap());
  }

  camera.Run();
  ASSERT_TRUE(WaitFor([&] {
    try {
      return !camera.CurrentImageToBitmap().isNull();
    } catch (const std::exception&) {
      return false;  // no frame has arrived yet
    }
  }));
  camera.Pause();
  // The same frame as a file and as an image, taken while no new sample arrives.
  QImage image, reference;
  ASSERT_TRUE(WaitFor([&] {
    std::ostringstream file;
    camera.CurrentImageToStream(file);
    image = camera.CurrentImageToBitmap();
    const std::string bytes = file.str();
    reference = QImage::fromData(reinterpret_cast<const uchar*>(bytes.data()),
                                 static_cast<int>(bytes.size()), "BMP");
    return image == reference.convertToFormat(QImage::Format_RGB32);
  }));
  EXPECT_EQ(image.size(), QSize(640, 480));
}

// From the grabber and from the renderer, whose image becomes the picture without a copy.
TEST_F(CameraTest, CurrentImageToBitmapOfAStreamingCamera) {
  const std::unique_ptr<TestControl> form = TestControl::Form();
  for (const TFCaptureType type : {ctGrabber, ctVmr9}) {
    SCOPED_TRACE(type == ctGrabber ? "grabber" : "renderer");
    CurrentImageToBitmapOf(Select(FullCamera("Cam", "/dev/cam"), form.get()), type);
  }
}

}  // namespace
}  // namespace korvane::camera::testing
