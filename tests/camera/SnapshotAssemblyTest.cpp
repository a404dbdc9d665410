// Snapshots from samples a real grabber does not deliver: media types without a usable
// format block, a YUY2 sample shorter than its frame, and failing grabber calls. Every case gives
// back all the task memory it used.

#include <gtest/gtest.h>

#include <sstream>

#include "camera/FCameraErrors.h"
#include "camera/FSnapshot.h"
#include "tests/camera/CameraFixture.h"
#include "tests/camera/FakeSampleGrabber.h"

namespace korvane::camera::testing {
namespace {

class SnapshotAssemblyTest : public ::testing::Test {
 protected:
  void SetUp() override { blocksBefore_ = korvane::com::OutstandingTaskMemoryBlocks(); }
  void TearDown() override {
    grabber_.Reset();
    EXPECT_EQ(korvane::com::OutstandingTaskMemoryBlocks(), blocksBefore_) << "task memory leaked";
  }

  FakeSampleGrabber& Grabber() { return *grabber_.Get(); }

  // The file image of the grabber's snapshot, and its format.
  std::string Written(TFImageFormat* Format = nullptr) {
    const TFSnapshot snapshot = GrabberSnapshot(*grabber_.Get());
    if (Format) *Format = snapshot.Format;
    std::ostringstream stream;
    WriteSnapshot(snapshot, stream);
    return stream.str();
  }

 private:
  std::size_t blocksBefore_ = 0;
  ComPtr<FakeSampleGrabber> grabber_ = korvane::com::MakeCom<FakeSampleGrabber>();
};

TEST_F(SnapshotAssemblyTest, FramesThatCannotBeWrittenWholeWriteNothing) {
  const BITMAPINFOHEADER yuy2 = BitmapHeader(4, 2, 16, MakeFourCC('Y', 'U', 'Y', '2'));
  BITMAPINFOHEADER oversized = BitmapHeader(4, 2, 24, BI_RGB);
  oversized.biSize = 200;  // a header said to run past the end of its block
  const struct Case {
    const char* name;
    GUID formatType;
    std::vector<BYTE> format;
    std::size_t sampleSize;
  } cases[] = {
      {"no sample yet", FORMAT_VideoInfo, VideoInfoBlock(yuy2), 0},
      {"other format type", FORMAT_VideoInfo2, VideoInfoBlock(yuy2), 16},
      {"format block too small", FORMAT_VideoInfo, VideoInfoBlock(yuy2, 87), 16},
      {"no format block", FORMAT_VideoInfo, {}, 16},
      {"YUY2 sample shorter than its frame", FORMAT_VideoInfo, VideoInfoBlock(yuy2), 15},
      {"YUY2 without a width", FORMAT_VideoInfo,
       VideoInfoBlock(BitmapHeader(0, 2, 16, MakeFourCC('Y', 'U', 'Y', '2'))), 16},
      {"header beyond its block", FORMAT_VideoInfo, VideoInfoBlock(oversized), 24},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Grabber().FormatType = c.formatType;
    Grabber().Format = c.format;
    Grabber().Sample.assign(c.sampleSize, 0x55);
    TFImageFormat format = ifJpeg;
    EXPECT_EQ(Written(&format), "");
    EXPECT_EQ(format, ifBmp);
  }
}

TEST_F(SnapshotAssemblyTest, FailedGrabberCallsRaiseTheirCodes) {
  Grabber().Format = VideoInfoBlock(BitmapHeader(4, 2, 32, BI_RGB));
  Grabber().Sample.assign(32, 1);
  Grabber().CopyResult = E_FAIL;
  EXPECT_EQ(OleErrorOf([&] { Written(); }).ErrorCode(), E_FAIL);
  Grabber().ConnectedResult = VFW_E_NOT_CONNECTED;
  EXPECT_EQ(OleErrorOf([&] { Written(); }).ErrorCode(), VFW_E_NOT_CONNECTED);
}

}  // namespace
}  // namespace korvane::camera::testing
