// The VMR-9 renderer of this platform, the converter the graph puts before it, and the tee that
// lets one capture pin serve the preview and the capture streams.

#include <array>
#include <cstring>

#include "tests/graph/GraphTestSupport.h"

namespace korvane::graph::testing {
namespace {

using Renderer = GraphTest;

struct Vmr9 {
  ComPtr<IBaseFilter> filter = Create<IBaseFilter>(CLSID_VideoMixingRenderer9);
  ComPtr<IVMRFilterConfig9> config = filter.As<IVMRFilterConfig9>();
  ComPtr<IVMRWindowlessControl9> control = filter.As<IVMRWindowlessControl9>();

  Vmr9() { config->SetRenderingMode(VMR9Mode_Windowless); }
};

// A camera's preview straight into the renderer, as a program that shows it builds.
struct RendererGraph {
  Graph graph;
  Vmr9 vmr;
  HRESULT built = E_FAIL;

  explicit RendererGraph(IBaseFilter* camera) {
    graph.Add(camera, u"Video capture");
    graph.Add(vmr.filter.Get(), u"VMR-9");
    built = graph.capture->RenderStream(&PIN_CATEGORY_PREVIEW, &MEDIATYPE_Video, camera, nullptr,
                                        vmr.filter.Get());
  }
};

struct PackedBitmap {
  BITMAPINFOHEADER header{};
  std::vector<BYTE> pixels;
};

// The renderer's current image, once the running graph has shown its first picture.
std::optional<PackedBitmap> CurrentImage(const Graph& graph, IVMRWindowlessControl9* control) {
  OAFilterState state = -1;
  const auto patience = std::chrono::duration_cast<std::chrono::milliseconds>(kPatience);
  if (graph.control->GetState(static_cast<LONG>(patience.count()), &state) != S_OK) {
    return std::nullopt;
  }
  BYTE* image = nullptr;
  if (control->GetCurrentImage(&image) != S_OK) return std::nullopt;
  PackedBitmap bitmap;
  std::memcpy(&bitmap.header, image, sizeof bitmap.header);
  bitmap.pixels.assign(image + sizeof bitmap.header,
                       image + sizeof bitmap.header + bitmap.header.biSizeImage);
  CoTaskMemFree(image);
  return bitmap;
}

// Blue, green, red of a bitmap point counted from the top, as a person sees the picture.
std::array<int, 3> PixelFromTop(const PackedBitmap& bitmap, int x, int y) {
  const auto row = static_cast<std::size_t>(bitmap.header.biHeight - 1 - y);
  const BYTE* at =
      bitmap.pixels.data() + (row * static_cast<std::size_t>(bitmap.header.biWidth) + x) * 4;
  return {at[0], at[1], at[2]};
}

TEST_F(Renderer, ShowsAYuy2CameraAndHandsOutItsCurrentImage) {
  const ComPtr<IBaseFilter> camera = Install(Camera(Format(MEDIASUBTYPE_YUY2, 64, 48, 100'000)));
  BYTE* image = nullptr;
  EXPECT_EQ(Vmr9().control->GetCurrentImage(&image), VFW_E_NOT_CONNECTED);
  RendererGraph preview(camera.Get());
  ASSERT_EQ(preview.built, S_OK);
  const Graph& graph = preview.graph;
  const Vmr9& vmr = preview.vmr;
  EXPECT_EQ(graph.FilterNames(), (std::vector<std::u16string>{u"Video capture", u"VMR-9"}));
  EXPECT_EQ(vmr.control->GetCurrentImage(&image), VFW_E_WRONG_STATE);  // no picture yet
  EXPECT_EQ(vmr.config->SetRenderingMode(VMR9Mode_Windowed), VFW_E_WRONG_STATE);

  ASSERT_EQ(graph.control->Run(), S_OK);
  const std::optional<PackedBitmap> bitmap = CurrentImage(graph, vmr.control.Get());
  ASSERT_EQ(graph.control->Stop(), S_OK);
  ASSERT_TRUE(bitmap.has_value());
  EXPECT_EQ(bitmap->header.biSize, 40u);
  EXPECT_EQ(bitmap->header.biWidth, 64);
  EXPECT_EQ(bitmap->header.biHeight, 48);  // bottom-up
  EXPECT_EQ(bitmap->header.biBitCount, 32);
  EXPECT_EQ(bitmap->header.biCompression, BI_RGB);
  EXPECT_EQ(bitmap->pixels.size(), 64u * 48 * 4);
  // The picture's grey bar along the bottom left, the black counter box at the top left.
  for (const int channel : PixelFromTop(*bitmap, 0, 47)) EXPECT_NEAR(channel, 191, 2);
  EXPECT_EQ(PixelFromTop(*bitmap, 6, 6), (std::array<int, 3>{0, 0, 0}));
}

TEST_F(Renderer, WindowlessControlKeepsItsGeometryAndColours) {
  const ComPtr<IBaseFilter> camera = Install(Camera(Format(MEDIASUBTYPE_RGB32, 320, 240)));
  LONG width = 0, height = 0, aspectWidth = 0, aspectHeight = 0;
  EXPECT_EQ(Vmr9().control->GetNativeVideoSize(&width, &height, nullptr, nullptr),
            VFW_E_NOT_CONNECTED);
  RendererGraph preview(camera.Get());
  ASSERT_EQ(preview.built, S_OK);
  const Vmr9& vmr = preview.vmr;

  ASSERT_EQ(vmr.control->GetNativeVideoSize(&width, &height, &aspectWidth, &aspectHeight), S_OK);
  EXPECT_EQ((std::array{width, height, aspectWidth, aspectHeight}),
            (std::array<LONG, 4>{320, 240, 320, 240}));
  ASSERT_EQ(vmr.control->GetMaxIdealVideoSize(&width, &height), S_OK);
  EXPECT_EQ((std::array{width, height}), (std::array<LONG, 2>{320, 240}));

  RECT source{}, destination{};
  ASSERT_EQ(vmr.control->GetVideoPosition(&source, &destination), S_OK);
  EXPECT_EQ((std::array{source.right, source.bottom}), (std::array<LONG, 2>{320, 240}));
  const RECT wanted{10, 20, 330, 260};
  ASSERT_EQ(vmr.control->SetVideoPosition(nullptr, &wanted), S_OK);
  ASSERT_EQ(vmr.control->GetVideoPosition(nullptr, &destination), S_OK);
  EXPECT_EQ(std::memcmp(&destination, &wanted, sizeof wanted), 0);
  const RECT inverted{50, 0, 10, 10};
  const RECT outside{0, 0, 321, 240};
  EXPECT_EQ(vmr.control->SetVideoPosition(nullptr, &inverted), E_INVALIDARG);
  EXPECT_EQ(vmr.control->SetVideoPosition(&outside, nullptr), E_INVALIDARG);

  DWORD mode = 7;
  ASSERT_EQ(vmr.control->SetAspectRatioMode(VMR9ARMode_LetterBox), S_OK);
  ASSERT_EQ(vmr.control->GetAspectRatioMode(&mode), S_OK);
  EXPECT_EQ(mode, VMR9ARMode_LetterBox);
  EXPECT_EQ(vmr.control->SetAspectRatioMode(2), E_INVALIDARG);
  COLORREF colour = 0;
  ASSERT_EQ(vmr.control->SetBorderColor(0x80123456), S_OK);
  ASSERT_EQ(vmr.control->GetBorderColor(&colour), S_OK);
  EXPECT_EQ(colour, 0x80123456u);
  EXPECT_EQ(vmr.control->SetVideoClippingWindow(nullptr), E_INVALIDARG);
  int window = 0;
  EXPECT_EQ(vmr.control->SetVideoClippingWindow(&window), S_OK);
  EXPECT_EQ(vmr.control->RepaintVideo(&window, nullptr), E_NOTIMPL);  // the window draws

  // The windowless control answers only in windowless mode.
  const ComPtr<IVMRWindowlessControl9> windowed =
      Create<IBaseFilter>(CLSID_VideoMixingRenderer9).As<IVMRWindowlessControl9>();
  EXPECT_EQ(windowed->GetAspectRatioMode(&mode), VFW_E_WRONG_STATE);
}

TEST_F(Renderer, MotionJpegReachesTheRendererThroughTheDecoder) {
  const ComPtr<IBaseFilter> camera = Install(Camera(Format(MEDIASUBTYPE_MJPG, 128, 96, 100'000)));
  RendererGraph preview(camera.Get());
  ASSERT_EQ(preview.built, S_OK);
  const Graph& graph = preview.graph;
  EXPECT_EQ(graph.FilterNames(),
            (std::vector<std::u16string>{u"Video capture", u"VMR-9", u"MJPEG Decompressor"}));
  ASSERT_EQ(graph.control->Run(), S_OK);
  const std::optional<PackedBitmap> bitmap = CurrentImage(graph, preview.vmr.control.Get());
  ASSERT_EQ(graph.control->Stop(), S_OK);
  ASSERT_TRUE(bitmap.has_value());
  EXPECT_EQ(bitmap->header.biWidth, 128);
  for (const int channel : PixelFromTop(*bitmap, 0, 95)) EXPECT_NEAR(channel, 191, 24);
}

TEST_F(Renderer, APictureNoConverterCanBringIsRefusedAndTheGraphLeftAsItWas) {
  const ComPtr<IBaseFilter> camera = Install(Camera(Format(MEDIASUBTYPE_NV12, 64, 48)));
  RendererGraph preview(camera.Get());
  EXPECT_EQ(preview.built, VFW_E_CANNOT_CONNECT);
  const Graph& graph = preview.graph;
  const Vmr9& vmr = preview.vmr;
  EXPECT_EQ(graph.FilterNames(), (std::vector<std::u16string>{u"Video capture", u"VMR-9"}));
  ComPtr<IPin> input, peer;
  vmr.filter->FindPin(u"In", input.ReleaseAndGetAddressOf());
  EXPECT_EQ(input->ConnectedTo(peer.ReleaseAndGetAddressOf()), VFW_E_NOT_CONNECTED);
  // A filter outside the graph is not built into it.
  const ComPtr<IBaseFilter> stranger = Create<IBaseFilter>(CLSID_NullRenderer);
  EXPECT_EQ(graph.capture->RenderStream(&PIN_CATEGORY_PREVIEW, &MEDIATYPE_Video, camera.Get(),
                                        nullptr, stranger.Get()),
            VFW_E_NOT_IN_GRAPH);
}

// A camera with only a capture pin: the second category asked for splits its stream through a
// smart tee, whichever comes first; both streams then get every frame.
TEST_F(Renderer, BothCategoriesShareTheCapturePinThroughATee) {
  for (const bool previewFirst : {true, false}) {
    SCOPED_TRACE(previewFirst ? "preview first" : "capture first");
    const ComPtr<IBaseFilter> camera = Install(Camera(Format(MEDIASUBTYPE_YUY2, 64, 48, 100'000)));
    Graph graph;
    Vmr9 vmr;
    graph.Add(camera.Get(), u"Video capture");
    graph.Add(vmr.filter.Get(), u"VMR-9");
    const ComPtr<FrameCounter> counter = com::MakeCom<FrameCounter>();
    const GrabberPath path = AddGrabberPath(graph, counter.Get());
    const auto preview = [&] {
      return graph.capture->RenderStream(&PIN_CATEGORY_PREVIEW, &MEDIATYPE_Video, camera.Get(),
                                         nullptr, vmr.filter.Get());
    };
    const auto capture = [&] {
      return graph.capture->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, camera.Get(),
                                         path.grabberFilter.Get(), path.renderer.Get());
    };
    if (previewFirst) {
      ASSERT_EQ(preview(), S_OK);
      ASSERT_EQ(capture(), S_OK);
    } else {
      ASSERT_EQ(capture(), S_OK);
      ASSERT_EQ(preview(), VFW_S_NOPREVIEWPIN);
    }
    EXPECT_EQ(graph.FilterNames().back(), u"Smart Tee");
    EXPECT_EQ(preview(), VFW_E_ALREADY_CONNECTED);

    ASSERT_EQ(graph.control->Run(), S_OK);
    EXPECT_TRUE(counter->WaitFor(2));
    EXPECT_TRUE(CurrentImage(graph, vmr.control.Get()).has_value());
    ASSERT_EQ(graph.control->Stop(), S_OK);
  }
}

}  // namespace
}  // namespace korvane::graph::testing
