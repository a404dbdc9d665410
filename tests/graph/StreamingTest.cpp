// Simulated cameras stream through a sample grabber into a null renderer: frames of their format
// at their frame rate, on a thread of their own, kept for GetCurrentBuffer.

#include <cmath>
#include <cstdlib>

#include "platform/graph/JpegCodec.h"
#include "platform/graph/MediaType.h"
#include "platform/graph/PictureConversion.h"
#include "tests/graph/GraphTestSupport.h"

namespace korvane::graph::testing {
namespace {

using Streaming = GraphTest;

struct Rgb {
  int red, green, blue;
};
constexpr Rgb kGreyBar{191, 191, 191};  // the first of the bars, on the left
constexpr Rgb kRedBar{191, 0, 0};       // the sixth
constexpr Rgb kCounterBox{0, 0, 0};     // behind the frame number, top left

struct StreamCase {
  const char* name;
  GUID subtype;
  LONG width, height;
  REFERENCE_TIME frameTime;
  std::size_t frameBytes;  // 0: compressed
};

void PrintTo(const StreamCase& c, std::ostream* out) {
  *out << c.name;
}

// The colour of a picture point, in the picture's own terms, compared with what was drawn there.
void ExpectPixel(const StreamCase& c, const std::vector<BYTE>& frame, int x, int y, Rgb drawn) {
  const std::size_t w = static_cast<std::size_t>(c.width), h = static_cast<std::size_t>(c.height);
  const Yuv yuv = RgbToYuv(static_cast<BYTE>(drawn.red), static_cast<BYTE>(drawn.green),
                           static_cast<BYTE>(drawn.blue));
  const auto ux = static_cast<std::size_t>(x), uy = static_cast<std::size_t>(y);
  if (c.subtype == MEDIASUBTYPE_YUY2) {
    const BYTE* pair = frame.data() + uy * w * 2 + ux / 2 * 4;
    EXPECT_EQ(pair[ux % 2 * 2], yuv.y) << x << "," << y;
    EXPECT_EQ(pair[1], yuv.u) << x << "," << y;
    EXPECT_EQ(pair[3], yuv.v) << x << "," << y;
  } else if (c.subtype == MEDIASUBTYPE_NV12) {
    EXPECT_EQ(frame[uy * w + ux], yuv.y) << x << "," << y;
    const BYTE* chroma = frame.data() + w * h + uy / 2 * w + ux / 2 * 2;
    EXPECT_EQ(chroma[0], yuv.u) << x << "," << y;
    EXPECT_EQ(chroma[1], yuv.v) << x << "," << y;
  } else {
    // RGB rows are stored bottom first; Motion JPEG frames are decoded that way here.
    const std::size_t pixel = c.subtype == MEDIASUBTYPE_RGB32 ? 4 : 3;
    const BYTE* at =
        frame.data() + (h - 1 - uy) * DibStride(c.width, static_cast<WORD>(pixel * 8)) + ux * pixel;
    const int tolerance = c.frameBytes == 0 ? 24 : 0;  // JPEG is not exact
    EXPECT_NEAR(at[2], drawn.red, tolerance) << x << "," << y;
    EXPECT_NEAR(at[1], drawn.green, tolerance) << x << "," << y;
    EXPECT_NEAR(at[0], drawn.blue, tolerance) << x << "," << y;
  }
}

class StreamFormats : public Streaming, public ::testing::WithParamInterface<StreamCase> {};

TEST_P(StreamFormats, FramesComeInTheFormatAtItsRateWithTheMovingPicture) {
  const StreamCase& c = GetParam();
  const ComPtr<IBaseFilter> camera =
      Install(Camera(Format(c.subtype, c.width, c.height, c.frameTime)));
  GrabberGraph preview(camera.Get());
  ASSERT_EQ(preview.built, S_OK);
  AM_MEDIA_TYPE connected{};
  ASSERT_EQ(preview.path.grabber->GetConnectedMediaType(&connected), S_OK);
  EXPECT_EQ(connected.subtype, c.subtype);
  CoTaskMemFree(connected.pbFormat);

  ASSERT_EQ(preview.graph.control->Run(), S_OK);
  ASSERT_TRUE(preview.counter->WaitFor(1));
  std::vector<BYTE> first = CurrentBuffer(preview.path.grabber.Get());
  ASSERT_TRUE(preview.counter->WaitFor(preview.counter->Frames() + 2));
  std::vector<BYTE> later = CurrentBuffer(preview.path.grabber.Get());
  ASSERT_EQ(preview.graph.control->Stop(), S_OK);

  // Each sample starts a whole number of frame times after the first, in order.
  const double period = (c.frameTime > 0 ? c.frameTime : 333333) / 1e7;
  const std::vector<double> times = preview.counter->Times();
  for (std::size_t i = 1; i < times.size(); ++i) {
    const double periods = (times[i] - times[i - 1]) / period;
    EXPECT_GE(periods, 0.999) << i;
    EXPECT_NEAR(periods, std::round(periods), 1e-6) << i;
  }
  for (const std::thread::id thread : preview.counter->Threads()) {
    EXPECT_NE(thread, std::this_thread::get_id());  // the stream's own thread
  }
  EXPECT_NE(first, later) << "the picture does not move";

  if (c.frameBytes == 0) {
    ASSERT_GE(later.size(), 4u);
    EXPECT_EQ((std::vector<BYTE>{later[0], later[1]}), (std::vector<BYTE>{0xFF, 0xD8}));
    const std::size_t stride = DibStride(c.width, 24);
    std::vector<BYTE> decoded(stride * static_cast<std::size_t>(c.height));
    ASSERT_TRUE(JpegDecoder().DecodeBgr(later.data(), later.size(), c.width, c.height, 3, true,
                                        decoded.data()));
    later = std::move(decoded);
  } else {
    EXPECT_EQ(later.size(), c.frameBytes);
  }
  ExpectPixel(c, later, 0, c.height - 1, kGreyBar);
  ExpectPixel(c, later, c.width * 5 / 8 + c.width / 16, c.height - 1, kRedBar);  // mid-bar
  ExpectPixel(c, later, 6, 6, kCounterBox);
}

const StreamCase kStreamCases[] = {
    {"YUY2", MEDIASUBTYPE_YUY2, 64, 48, 200'000, 64 * 48 * 2},
    {"RGB24", MEDIASUBTYPE_RGB24, 66, 48, 200'000, 200 * 48},  // rows padded to four bytes
    {"RGB32", MEDIASUBTYPE_RGB32, 64, 48, 200'000, 64 * 48 * 4},
    {"NV12", MEDIASUBTYPE_NV12, 64, 48, 200'000, 64 * 48 * 3 / 2},
    {"MJPG", MEDIASUBTYPE_MJPG, 256, 48, 200'000, 0},
    {"NoFrameTime", MEDIASUBTYPE_YUY2, 64, 48, 0, 64 * 48 * 2},
};
INSTANTIATE_TEST_SUITE_P(Subtypes, StreamFormats, ::testing::ValuesIn(kStreamCases),
                         [](const auto& test) { return std::string(test.param.name); });

TEST_F(Streaming, CurrentBufferNeedsABufferedSampleAndRoomForIt) {
  const ComPtr<IBaseFilter> camera = Install(Camera(Format(MEDIASUBTYPE_YUY2, 64, 48)));
  GrabberGraph preview(camera.Get());
  ASSERT_EQ(preview.built, S_OK);
  LONG size = -1;
  EXPECT_EQ(preview.path.grabber->GetCurrentBuffer(&size, nullptr), VFW_E_WRONG_STATE);
  EXPECT_EQ(size, -1);
  ComPtr<IMediaSample> sample;
  EXPECT_EQ(preview.path.grabber->GetCurrentSample(sample.ReleaseAndGetAddressOf()),
            VFW_E_WRONG_STATE);

  ASSERT_EQ(preview.graph.control->Run(), S_OK);
  ASSERT_TRUE(preview.counter->WaitFor(1));
  ASSERT_EQ(preview.path.grabber->GetCurrentBuffer(&size, nullptr), S_OK);
  EXPECT_EQ(size, 64 * 48 * 2);
  std::vector<LONG> small(10);
  LONG tooSmall = 40;
  EXPECT_EQ(preview.path.grabber->GetCurrentBuffer(&tooSmall, small.data()), E_OUTOFMEMORY);
  ASSERT_EQ(preview.graph.control->Stop(), S_OK);

  // The last sample stays after the stop, until buffering is turned off.
  EXPECT_EQ(CurrentBuffer(preview.path.grabber.Get()).size(), 64u * 48 * 2);
  ASSERT_EQ(preview.path.grabber->GetCurrentSample(sample.ReleaseAndGetAddressOf()), S_OK);
  EXPECT_EQ(sample->GetActualDataLength(), 64 * 48 * 2);
  sample = nullptr;
  preview.path.grabber->SetBufferSamples(FALSE);
  EXPECT_EQ(preview.path.grabber->GetCurrentBuffer(&size, nullptr), E_INVALIDARG);
}

// Motion JPEG frames differ in size; the copy that follows a size query gets the frame that was
// measured, however many frames came in between.
TEST_F(Streaming, TheCopyAfterASizeQueryIsTheFrameThatWasMeasured) {
  const ComPtr<IBaseFilter> camera = Install(Camera(Format(MEDIASUBTYPE_MJPG, 160, 120, 100'000)));
  GrabberGraph preview(camera.Get());
  ASSERT_EQ(preview.built, S_OK);
  ASSERT_EQ(preview.graph.control->Run(), S_OK);
  ASSERT_TRUE(preview.counter->WaitFor(1));
  LONG size = 0;
  ASSERT_EQ(preview.path.grabber->GetCurrentBuffer(&size, nullptr), S_OK);
  ASSERT_TRUE(preview.counter->WaitFor(preview.counter->Frames() + 3));
  std::vector<BYTE> bytes(static_cast<std::size_t>(size));
  LONG copied = size;
  ASSERT_EQ(preview.path.grabber->GetCurrentBuffer(&copied, reinterpret_cast<LONG*>(bytes.data())),
            S_OK);
  EXPECT_EQ(copied, size);
  EXPECT_EQ((std::vector<BYTE>{bytes[bytes.size() - 2], bytes.back()}),
            (std::vector<BYTE>{0xFF, 0xD9}));  // the picture's end marker, whole
  ASSERT_EQ(preview.graph.control->Stop(), S_OK);
}

TEST_F(Streaming, AGrabberWithAMediaTypeTakesOnlyThatType) {
  const ComPtr<IBaseFilter> camera = Install(Camera(Format(MEDIASUBTYPE_YUY2, 64, 48)));
  Graph graph;
  graph.Add(camera.Get(), u"Video capture");
  const GrabberPath path = AddGrabberPath(graph, nullptr);
  AM_MEDIA_TYPE wanted{};
  wanted.majortype = MEDIATYPE_Video;
  wanted.subtype = MEDIASUBTYPE_RGB24;
  ASSERT_EQ(path.grabber->SetMediaType(&wanted), S_OK);
  EXPECT_EQ(graph.capture->RenderStream(&PIN_CATEGORY_PREVIEW, &MEDIATYPE_Video, camera.Get(),
                                        path.grabberFilter.Get(), path.renderer.Get()),
            VFW_E_CANNOT_CONNECT);
  // Nothing of the failed attempt stays in the graph.
  EXPECT_EQ(graph.FilterNames(),
            (std::vector<std::u16string>{u"Video capture", u"Sample grabber", u"Null renderer"}));
  wanted.subtype = MEDIASUBTYPE_YUY2;
  ASSERT_EQ(path.grabber->SetMediaType(&wanted), S_OK);
  EXPECT_EQ(graph.capture->RenderStream(&PIN_CATEGORY_PREVIEW, &MEDIATYPE_Video, camera.Get(),
                                        path.grabberFilter.Get(), path.renderer.Get()),
            S_OK);
}

}  // namespace
}  // namespace korvane::graph::testing
