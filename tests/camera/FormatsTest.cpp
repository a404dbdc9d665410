// Stream formats of the capture pin: the list, the current format and selecting one.

#include "tests/camera/CameraFixture.h"

namespace korvane::camera::testing {
namespace {

SimFormat Format(LONG width, LONG height, REFERENCE_TIME frameTime, WORD bits, DWORD compression) {
  SimFormat format = VideoFormat(compression == 0 ? MEDIASUBTYPE_RGB24 : FourCCSubtype(compression),
                                 compression, bits, width, height);
  format.avgTimePerFrame = frameTime;
  return format;
}

const DWORD kYUY2 = MakeFourCC('Y', 'U', 'Y', '2');
const DWORD kMJPG = MakeFourCC('M', 'J', 'P', 'G');

SimDevice CameraWithFormats(std::vector<SimFormat> formats) {
  SimDevice device = FullCamera("Cam", "/dev/cam");
  device.formats = std::move(formats);
  return device;
}

TEST_F(CameraTest, SupportedFormatsCarryTheFormatBlock) {
  SimFormat mjpg = Format(1920, 1080, 666666, 24, kMJPG);
  mjpg.fixedSizeSamples = false;
  mjpg.temporalCompression = true;
  mjpg.sampleSize = 12345;
  TFCamera& camera = Select(CameraWithFormats({Format(640, -480, 333333, 24, 0), mjpg}));

  const TFCameraFormats formats = camera.GetSupportedFormats();
  ASSERT_EQ(formats.size(), 2u);
  EXPECT_EQ(formats[0].Width, 640);
  EXPECT_EQ(formats[0].Height, -480);  // top-down, passed on as it is
  EXPECT_EQ(formats[0].AvgTimePerFrame, 333333);
  EXPECT_EQ(formats[0].BitsPerPixel, 24);
  EXPECT_EQ(formats[0].Compression, (TFFourCC{0, 0, 0, 0}));
  EXPECT_TRUE(formats[0].FixedSizeSamples);
  EXPECT_EQ(formats[1].Compression, (TFFourCC{'M', 'J', 'P', 'G'}));
  EXPECT_FALSE(formats[1].FixedSizeSamples);
  EXPECT_TRUE(formats[1].TemporalCompression);
  EXPECT_EQ(formats[1].SampleSize, 12345);
  // The list and the current format describe the same block the same way.
  EXPECT_EQ(camera.GetFormat(), formats[0]);
}

TEST_F(CameraTest, SupportedFormatsKeepOnlyWholeVideoInfoBlocks) {
  SimFormat foreign = Format(800, 600, 333333, 16, kYUY2);
  foreign.formattype = FORMAT_VideoInfo2;
  SimFormat tooShort = Format(1024, 768, 333333, 16, kYUY2);
  tooShort.formatSize = 87;
  SimFormat longer = Format(1280, 720, 333333, 16, kYUY2);
  longer.formatSize = 100;
  const SimFormat plain = Format(640, 480, 333333, 16, kYUY2);
  TFCamera& camera = Select(CameraWithFormats({plain, foreign, tooShort, plain, longer}));

  std::vector<LONG> widths;
  for (const TFCameraFormat& format : camera.GetSupportedFormats()) widths.push_back(format.Width);
  EXPECT_EQ(widths, (std::vector<LONG>{640, 640, 1280}));  // duplicates stay, order kept
}

TEST_F(CameraTest, SupportedFormatsEdgeCases) {
  SimFormat foreign = Format(800, 600, 333333, 16, kYUY2);
  foreign.formattype = FORMAT_VideoInfo2;
  SimFormat missingBlock = Format(800, 600, 333333, 16, kYUY2);
  missingBlock.formatBlockMissing = true;
  const SimFormat plain = Format(640, 480, 333333, 16, kYUY2);

  struct Case {
    const char* name;
    std::function<void(SimDevice&)> setUp;
    std::size_t formats;  // when no error
    std::string error;
  };
  const Case cases[] = {
      {"only foreign types",
       [&](SimDevice& d) {
         d.formats = {foreign, foreign};
       },
       0, ""},
      {"fails part-way",
       [&](SimDevice& d) {
         d.formats = {plain, plain, plain};
         d.mediaTypeEnumFailAfter = 2;
       },
       2, ""},
      {"block missing",
       [&](SimDevice& d) {
         d.formats = {plain, missingBlock};
       },
       0, "Invalid MediaHeader"},
      {"no enumerator", [&](SimDevice& d) { d.missingInterfaces = {"IEnumMediaTypes"}; }, 0,
       "Cannot retrieve 'IEnumMediaTypes' interface"},
      {"no capture pin", [&](SimDevice& d) { d.missingInterfaces = {"CapturePin"}; }, 0,
       "Cannot retrieve 'Capture IPin' interface"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimDevice device = CameraWithFormats({});
    c.setUp(device);
    TFCamera& camera = Select(device);
    if (c.error.empty()) {
      EXPECT_EQ(camera.GetSupportedFormats().size(), c.formats);
    } else {
      EXPECT_EQ(CameraErrorOf([&] { camera.GetSupportedFormats(); }), c.error);
    }
  }
}

TEST_F(CameraTest, AFailedEnumerationIsAnOleError) {
  SimDevice device = CameraWithFormats({Format(640, 480, 333333, 16, kYUY2)});
  device.faults["IPin::EnumMediaTypes"] = E_OUTOFMEMORY;
  TFCamera& camera = Select(device);
  EXPECT_EQ(OleErrorOf([&] { camera.GetSupportedFormats(); }).ErrorCode(), E_OUTOFMEMORY);
  EXPECT_EQ(OleErrorOf([&] { camera.SetFormat({}); }).ErrorCode(), E_OUTOFMEMORY);
}

TEST_F(CameraTest, ReadingTheCurrentFormatChecksTypeAndSize) {
  SimFormat foreign = Format(800, 600, 333333, 16, kYUY2);
  foreign.formattype = FORMAT_VideoInfo2;
  SimFormat tooShort = Format(1024, 768, 333333, 16, kYUY2);
  tooShort.formatSize = 87;
  SimFormat exact = tooShort;
  exact.formatSize = 88;
  SimFormat missingBlock = Format(320, 240, 333333, 16, kYUY2);
  missingBlock.formatBlockMissing = true;
  TFCamera& camera = Select(CameraWithFormats({foreign, tooShort, exact, missingBlock}));

  const std::pair<std::size_t, std::string> cases[] = {{0, "Incorrect format type"},
                                                       {1, "Incorrect format size"},
                                                       {2, "<no error>"},
                                                       {3, "Invalid MediaHeader"}};
  for (const auto& [current, message] : cases) {
    ChangeDevice([&, index = current](SimDevice& d) { d.currentFormat = index; });
    EXPECT_EQ(CameraErrorOf([&] { camera.GetFormat(); }), message) << current;
  }
  ChangeDevice([](SimDevice& d) { d.faults["IAMStreamConfig::GetFormat"] = E_FAIL; });
  EXPECT_EQ(OleErrorOf([&] { camera.GetFormat(); }).ErrorCode(), E_FAIL);
  ChangeDevice([](SimDevice& d) { d.missingInterfaces = {"IAMStreamConfig"}; });
  camera.SetDeviceName("");  // drops the cached interfaces
  camera.SetDeviceName("Cam");
  EXPECT_EQ(CameraErrorOf([&] { camera.GetFormat(); }),
            "Cannot retrieve 'IAMStreamConfig' interface");
}

// Size, frame time and bit count choose among the offered formats; where several offer them in
// different compressions (a camera's YUYV, H264 and MJPG at one size), the record's own
// compression decides, else the first match is taken.
TEST_F(CameraTest, WritingAFormatSetsTheOfferedMatchOfItsCompression) {
  SimFormat missingBlock = Format(640, 480, 333333, 16, kYUY2);
  missingBlock.formatBlockMissing = true;
  const std::vector<SimFormat> offered = {
      Format(320, 240, 333333, 16, kYUY2),  missingBlock,                         // 0, 1
      Format(640, 480, 333333, 16, kMJPG),  Format(640, 480, 333333, 16, kYUY2),  // 2, 3
      Format(640, -480, 333333, 16, kYUY2), Format(640, 480, 666666, 16, kYUY2),  // 4, 5
  };
  TFCamera& camera = Select(CameraWithFormats(offered));
  const TFCameraFormats listed = [&] {
    ChangeDevice([](SimDevice& d) { d.currentFormat = 0; });
    TFCameraFormats formats;
    for (std::size_t i : {0, 2, 3, 4, 5}) {
      ChangeDevice([&](SimDevice& d) { d.currentFormat = i; });
      formats.push_back(camera.GetFormat());
    }
    return formats;
  }();

  struct Case {
    const char* name;
    TFCameraFormat request;
    std::size_t expected;  // index of the offered format that becomes current
  };
  TFCameraFormat otherRectangles = listed[2];  // YUY2 640x480: MJPG is offered first
  otherRectangles.Source = {1, 2, 3, 4};
  TFCameraFormat unofferedCompression = listed[2];
  unofferedCompression.Compression = {'H', '2', '6', '4'};
  const Case cases[] = {
      {"first", listed[0], 0},
      {"its own compression, not the first of two that differ in it only", listed[2], 3},
      {"the first of them when that is its compression", listed[1], 2},
      {"rectangles do not take part", otherRectangles, 3},
      {"a compression not offered takes the first match", unofferedCompression, 2},
      {"negative height matches only itself", listed[3], 4},
      {"frame time", listed[4], 5},
  };
  for (const Case& c : cases) {
    ChangeDevice([](SimDevice& d) { d.currentFormat = 1; });  // one no case should choose
    camera.SetFormat(c.request);
    EXPECT_EQ(Device().currentFormat, c.expected) << c.name;
  }

  TFCameraFormat unknownBits = listed[0];
  unknownBits.BitsPerPixel = 12;
  EXPECT_EQ(CameraErrorOf([&] { camera.SetFormat(unknownBits); }), "Format not found");
  EXPECT_EQ(Store().CallCount("IAMStreamConfig::SetFormat"), std::size(cases));
}

TEST_F(CameraTest, WritingAFormatReportsTheDeviceAndTheMissingStreamConfig) {
  const SimFormat plain = Format(640, 480, 333333, 16, kYUY2);
  SimDevice device = CameraWithFormats({plain});
  device.faults["IAMStreamConfig::SetFormat"] = VFW_E_INVALIDMEDIATYPE;
  TFCamera& camera = Select(device);
  TFCameraFormat request;
  request.Width = 640;
  request.Height = 480;
  request.AvgTimePerFrame = 333333;
  request.BitsPerPixel = 16;
  const EOleSysError error = OleErrorOf([&] { camera.SetFormat(request); });
  EXPECT_EQ(error.ErrorCode(), VFW_E_INVALIDMEDIATYPE);
  EXPECT_STREQ(error.what(), "The media type given is not valid");

  ChangeDevice([](SimDevice& d) { d.missingInterfaces = {"IAMStreamConfig"}; });
  Select(Device());
  EXPECT_EQ(CameraErrorOf([&] { Camera().SetFormat(request); }),
            "Cannot retrieve 'IAMStreamConfig' interface");
  request.Width = 1;  // no match: the stream configuration is never asked for
  EXPECT_EQ(CameraErrorOf([&] { Camera().SetFormat(request); }), "Format not found");
}

}  // namespace
}  // namespace korvane::camera::testing
