// The capture pin of a simulated camera: how a caller finds it, the media types it offers
// (odd ones included), the current format, and the pages and name of the filter.

#include <cstring>
#include <limits>

#include "platform/sim/SimPages.h"
#include "tests/sim/SimTestSupport.h"

namespace korvane::sim::testing {
namespace {

using SimPin = LeakCheckedTest;

// The media types the pin hands out, up to the first result other than S_OK, and that result.
struct Offered {
  std::vector<SimMediaTypePtr> types;
  HRESULT end = S_OK;
};

Offered OfferedTypes(IPin* pin) {
  Offered offered;
  ComPtr<IEnumMediaTypes> enumerator;
  EXPECT_EQ(pin->EnumMediaTypes(enumerator.ReleaseAndGetAddressOf()), S_OK);
  if (!enumerator) return offered;
  AM_MEDIA_TYPE* type = nullptr;
  while ((offered.end = enumerator->Next(1, &type, nullptr)) == S_OK)
    offered.types.emplace_back(type);
  return offered;
}

VIDEOINFOHEADER HeaderOf(const AM_MEDIA_TYPE& type) {
  VIDEOINFOHEADER header{};
  std::memcpy(&header, type.pbFormat, sizeof(header));
  return header;
}

TEST_F(SimPin, CapturePinIsFoundThroughItsCategoryProperty) {
  ScopedSimCameras cameras(SimDescription{{SmallCamera()}});
  const ComPtr<IPin> pin = FirstPin(VideoFilter().Get());
  const auto ks = Query<IKsPropertySet>(pin.Get());
  ASSERT_TRUE(ks);
  GUID category{};
  DWORD returned = 0;
  ASSERT_EQ(ks->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &category, 16, &returned),
            S_OK);
  EXPECT_EQ(returned, 16u);
  EXPECT_EQ(category, PIN_CATEGORY_CAPTURE);
  EXPECT_TRUE(FAILED(
      ks->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &category, 8, &returned)));
  PIN_DIRECTION direction = PINDIR_INPUT;
  EXPECT_EQ(pin->QueryDirection(&direction), S_OK);
  EXPECT_EQ(direction, PINDIR_OUTPUT);
}

TEST_F(SimPin, DeviceWithoutCapturePinHasNoPins) {
  SimDevice device = SmallCamera();
  device.missingInterfaces = {"CapturePin"};
  ScopedSimCameras cameras(SimDescription{{device}});
  const ComPtr<IBaseFilter> filter = VideoFilter();
  ASSERT_TRUE(filter);
  EXPECT_EQ(FirstPin(filter.Get()), nullptr);
}

TEST_F(SimPin, MediaTypesDescribeEachFormatInOrder) {
  SimDevice device = SmallCamera();
  SimFormat mjpg;
  mjpg.subtype = MEDIASUBTYPE_MJPG;
  mjpg.width = 1920;
  mjpg.height = -1080;  // top-down, passed on as it is
  mjpg.avgTimePerFrame = 666666;
  mjpg.bitCount = 24;
  mjpg.compression = MakeFourCC('M', 'J', 'P', 'G');
  mjpg.fixedSizeSamples = false;
  mjpg.temporalCompression = true;
  SimFormat rgb;
  rgb.subtype = MEDIASUBTYPE_RGB24;
  rgb.width = 320;
  rgb.height = 240;
  rgb.bitCount = 24;
  rgb.compression = 0;
  rgb.sampleSize = 1234;
  device.formats = {device.formats[0], mjpg, rgb, device.formats[0]};  // duplicates stay
  ScopedSimCameras cameras(SimDescription{{device}});
  const Offered offered = OfferedTypes(FirstPin(VideoFilter().Get()).Get());
  EXPECT_EQ(offered.end, S_FALSE);
  ASSERT_EQ(offered.types.size(), device.formats.size());
  for (std::size_t i = 0; i < device.formats.size(); ++i) {
    SCOPED_TRACE(i);
    const SimFormat& format = device.formats[i];
    const AM_MEDIA_TYPE& type = *offered.types[i];
    EXPECT_EQ(type.majortype, MEDIATYPE_Video);
    EXPECT_EQ(type.subtype, format.subtype);
    EXPECT_EQ(type.formattype, FORMAT_VideoInfo);
    EXPECT_EQ(type.bFixedSizeSamples != 0, format.fixedSizeSamples);
    EXPECT_EQ(type.bTemporalCompression != 0, format.temporalCompression);
    EXPECT_EQ(type.lSampleSize, SampleSizeOf(format));
    ASSERT_EQ(type.cbFormat, sizeof(VIDEOINFOHEADER));
    ASSERT_NE(type.pbFormat, nullptr);
    const VIDEOINFOHEADER header = HeaderOf(type);
    EXPECT_EQ(header.AvgTimePerFrame, format.avgTimePerFrame);
    EXPECT_EQ(header.bmiHeader.biWidth, format.width);
    EXPECT_EQ(header.bmiHeader.biHeight, format.height);
    EXPECT_EQ(header.bmiHeader.biBitCount, format.bitCount);
    EXPECT_EQ(header.bmiHeader.biCompression, format.compression);
    EXPECT_EQ(header.bmiHeader.biSizeImage, SampleSizeOf(format));
  }
  EXPECT_EQ(SampleSizeOf(mjpg), 1920u * 1080u * 3u);
  EXPECT_EQ(SampleSizeOf(rgb), 1234u);
}

TEST_F(SimPin, TheLowestHeightIsATopDownPictureOfTheLargestSize) {
  SimFormat format;
  format.height = std::numeric_limits<LONG>::min();
  const SimMediaTypePtr type(CreateSimMediaType(format));
  ASSERT_TRUE(type);
  const VIDEOINFOHEADER header = HeaderOf(*type);
  EXPECT_EQ(header.bmiHeader.biHeight, format.height);
  EXPECT_EQ(header.rcSource.bottom, std::numeric_limits<LONG>::max());
  EXPECT_EQ(type->lSampleSize, 0xFFFFFFFFu);  // more than 32 bits can tell: the most they can
}

TEST_F(SimPin, OddFormatBlocksAreHandedOutAsDescribed) {
  SimFormat foreign;
  foreign.formattype = FORMAT_VideoInfo2;
  SimFormat shortBlock;
  shortBlock.formatSize = 87;
  SimFormat missingBlock;
  missingBlock.formatBlockMissing = true;
  SimFormat longBlock;
  longBlock.formatSize = 100;
  SimFormat hugeBlock;
  hugeBlock.formatSize = 1u << 30;  // a claim no block is allowed to make
  SimDevice device = SmallCamera();
  device.formats = {foreign, shortBlock, missingBlock, longBlock, hugeBlock};
  ScopedSimCameras cameras(SimDescription{{device}});
  const Offered offered = OfferedTypes(FirstPin(VideoFilter().Get()).Get());
  ASSERT_EQ(offered.types.size(), 4u);
  EXPECT_EQ(offered.end, E_OUTOFMEMORY);

  const AM_MEDIA_TYPE& info2 = *offered.types[0];
  EXPECT_EQ(info2.formattype, FORMAT_VideoInfo2);
  ASSERT_EQ(info2.cbFormat, 112u);  // the video-info-2 block, picture header at byte 72
  BITMAPINFOHEADER header{};
  std::memcpy(&header, info2.pbFormat + 72, sizeof(header));
  EXPECT_EQ(header.biWidth, 640);
  EXPECT_EQ(header.biHeight, 480);

  EXPECT_EQ(offered.types[1]->cbFormat, 87u);
  EXPECT_NE(offered.types[1]->pbFormat, nullptr);
  EXPECT_EQ(offered.types[2]->cbFormat, 88u);
  EXPECT_EQ(offered.types[2]->pbFormat, nullptr);
  ASSERT_EQ(offered.types[3]->cbFormat, 100u);
  EXPECT_EQ(HeaderOf(*offered.types[3]).bmiHeader.biWidth, 640);
}

TEST_F(SimPin, MediaTypeEnumerationFailsWhereConfigured) {
  SimDevice device = SmallCamera();
  device.formats.assign(5, SimFormat{});
  const struct {
    std::optional<std::size_t> failAfter;
    HRESULT failCode;
    std::map<std::string, HRESULT> faults;
    std::size_t delivered;
    HRESULT end;
  } cases[] = {
      {std::nullopt, E_FAIL, {}, 5, S_FALSE},
      {2, E_FAIL, {}, 2, E_FAIL},
      {0, HRESULT_ERROR_BUSY, {}, 0, HRESULT_ERROR_BUSY},
      {5, E_UNEXPECTED, {}, 5, E_UNEXPECTED},
      {std::nullopt, E_FAIL, {{"IEnumMediaTypes::Next", E_ACCESSDENIED}}, 0, E_ACCESSDENIED},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.delivered);
    device.mediaTypeEnumFailAfter = c.failAfter;
    device.mediaTypeEnumFailCode = c.failCode;
    device.faults = c.faults;
    ScopedSimCameras cameras(SimDescription{{device}});
    const Offered offered = OfferedTypes(FirstPin(VideoFilter().Get()).Get());
    EXPECT_EQ(offered.types.size(), c.delivered);
    EXPECT_EQ(offered.end, c.end);
  }
}

TEST_F(SimPin, EnumMediaTypesMayFailOrSucceedWithoutEnumerator) {
  SimDevice device = SmallCamera();
  device.missingInterfaces = {"IEnumMediaTypes"};
  {
    ScopedSimCameras cameras(SimDescription{{device}});
    IEnumMediaTypes* enumerator = reinterpret_cast<IEnumMediaTypes*>(0x1);
    EXPECT_EQ(FirstPin(VideoFilter().Get())->EnumMediaTypes(&enumerator), S_OK);
    EXPECT_EQ(enumerator, nullptr);
  }
  device.missingInterfaces.clear();
  device.faults["IPin::EnumMediaTypes"] = E_OUTOFMEMORY;
  ScopedSimCameras cameras(SimDescription{{device}});
  IEnumMediaTypes* enumerator = reinterpret_cast<IEnumMediaTypes*>(0x1);
  EXPECT_EQ(FirstPin(VideoFilter().Get())->EnumMediaTypes(&enumerator), E_OUTOFMEMORY);
  EXPECT_EQ(enumerator, nullptr);
}

TEST_F(SimPin, SetFormatTakesOnlyOfferedTypesAndGetFormatAnswersTheCurrentOne) {
  SimDevice device = SmallCamera();
  SimFormat small;
  small.width = 320;
  small.height = 240;
  SimFormat shortBlock = small;
  shortBlock.formatSize = 87;
  device.formats = {SimFormat{}, small, shortBlock};
  ScopedSimCameras cameras(SimDescription{{device}});
  const ComPtr<IPin> pin = FirstPin(VideoFilter().Get());
  const auto config = Query<IAMStreamConfig>(pin.Get());
  ASSERT_TRUE(config);
  Offered offered = OfferedTypes(pin.Get());
  ASSERT_EQ(offered.types.size(), 3u);

  ASSERT_EQ(config->SetFormat(offered.types[1].get()), S_OK);
  EXPECT_EQ(cameras.Store().Read().devices[0].currentFormat, 1u);
  AM_MEDIA_TYPE* current = nullptr;
  ASSERT_EQ(config->GetFormat(&current), S_OK);
  const SimMediaTypePtr owned(current);
  EXPECT_EQ(HeaderOf(*current).bmiHeader.biWidth, 320);

  // The very type the pin handed out is accepted even when its block is short.
  EXPECT_EQ(config->SetFormat(offered.types[2].get()), S_OK);
  EXPECT_EQ(cameras.Store().Read().devices[0].currentFormat, 2u);

  // A size the pin does not offer is refused and changes nothing.
  VIDEOINFOHEADER header = HeaderOf(*offered.types[0]);
  header.bmiHeader.biWidth = 800;
  std::memcpy(offered.types[0]->pbFormat, &header, sizeof(header));
  EXPECT_EQ(config->SetFormat(offered.types[0].get()), VFW_E_INVALIDMEDIATYPE);
  EXPECT_EQ(config->SetFormat(nullptr), E_POINTER);
  EXPECT_EQ(cameras.Store().Read().devices[0].currentFormat, 2u);

  cameras.Store().Modify([](SimDescription& d) { d.devices[0].currentFormat = 9; });
  AM_MEDIA_TYPE* none = nullptr;
  EXPECT_TRUE(FAILED(config->GetFormat(&none)));
  EXPECT_EQ(none, nullptr);
}

TEST_F(SimPin, StreamCapsListEveryFormat) {
  ScopedSimCameras cameras(SimDescription{{DemoCameras().devices[0]}});
  const auto config = Query<IAMStreamConfig>(FirstPin(VideoFilter().Get()).Get());
  int count = 0, size = 0;
  ASSERT_EQ(config->GetNumberOfCapabilities(&count, &size), S_OK);
  EXPECT_EQ(count, 16);
  ASSERT_EQ(size, 128);
  BYTE caps[128];
  AM_MEDIA_TYPE* type = nullptr;
  ASSERT_EQ(config->GetStreamCaps(count - 1, &type, caps), S_OK);
  const SimMediaTypePtr owned(type);
  EXPECT_EQ(type->subtype, MEDIASUBTYPE_MJPG);
  GUID formatType{};
  std::memcpy(&formatType, caps, sizeof(formatType));
  EXPECT_EQ(formatType, FORMAT_VideoInfo);
  EXPECT_EQ(config->GetStreamCaps(count, &type, caps), S_FALSE);
}

TEST_F(SimPin, PagesAndFilterNameComeFromTheDevice) {
  SimDevice full = SmallCamera("Full camera");
  SimDevice plain = SmallCamera("Plain camera");
  plain.missingInterfaces = {"IAMVideoProcAmp"};
  plain.cameraControl.clear();
  plain.flash.reset();
  plain.stabilization.reset();
  ScopedSimCameras cameras(SimDescription{{full, plain}});

  const struct {
    std::size_t device;
    std::vector<CLSID> pages;
    const char16_t* name;
  } cases[] = {
      {0, {CLSID_SimVideoProcAmpPage, CLSID_SimCameraControlPage}, u"Full camera"},
      {1, {}, u"Plain camera"},
  };
  for (const auto& c : cases) {
    const ComPtr<IBaseFilter> filter = VideoFilter(c.device);
    CAUUID pages{};
    ASSERT_EQ(Query<ISpecifyPropertyPages>(filter.Get())->GetPages(&pages), S_OK);
    EXPECT_EQ(std::vector<CLSID>(pages.pElems, pages.pElems + pages.cElems), c.pages);
    CoTaskMemFree(pages.pElems);
    FILTER_INFO info{};
    ASSERT_EQ(filter->QueryFilterInfo(&info), S_OK);
    EXPECT_EQ(std::u16string(info.achName), c.name);
    EXPECT_EQ(info.pGraph, nullptr);
  }
  CAUUID pages{};
  ASSERT_EQ(Query<ISpecifyPropertyPages>(FirstPin(VideoFilter().Get()).Get())->GetPages(&pages),
            S_OK);
  ASSERT_EQ(pages.cElems, 1u);
  EXPECT_EQ(pages.pElems[0], CLSID_SimStreamFormatPage);
  CoTaskMemFree(pages.pElems);
}

TEST_F(SimPin, LongFriendlyNamesAreCutToTheFilterInfoField) {
  ScopedSimCameras cameras(SimDescription{{SmallCamera(std::string(300, 'x'))}});
  FILTER_INFO info{};
  ASSERT_EQ(VideoFilter()->QueryFilterInfo(&info), S_OK);
  EXPECT_EQ(std::u16string(info.achName), std::u16string(127, u'x'));
}

}  // namespace
}  // namespace korvane::sim::testing
