// The simulated-camera file format: what is written reads back the same, names read well, and
// a fault in a file is reported with its line and column.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "camera/FDirectShow9.h"
#include "platform/sim/JsonPositions.h"
#include "platform/sim/SimCameras.h"
#include "platform/sim/SimJson.h"

namespace korvane::sim {
namespace {

// A device that sets every field away from its default, odd values included.
SimDevice EveryFieldSet() {
  SimDevice device;
  device.category = SimCategory::AudioCompressor;
  device.friendlyName = "K\xC3\xB6rvane \"quoted\" / slashed";
  device.devicePath = "sim:odd";
  device.description = "";
  device.waveInId = -3;
  device.absent = device.unbindable = device.noPropertyBag = device.heldByAnotherProgram = true;
  device.videoProcAmp = {{VideoProcAmp_Gain, SimControl{-1, 1, 1, 0, 3, 1, 7}},
                         {12, SimControl{0, 0, 0, 0, 0, 0, 0}},
                         {-4, SimControl{}}};
  device.cameraControl = {{KSPROPERTY_CAMERACONTROL_FOCAL_LENGTH, SimControl{1, 2, 1, 1, 0, 2, 2}}};
  device.flash = SimKsRecord{0xFFFFFFFFu, 0};
  SimFormat format;
  format.majortype = MEDIATYPE_Audio;
  format.subtype = MakeGuid("01234567-89AB-CDEF-0123-456789ABCDEF");
  format.formattype = FORMAT_VideoInfo2;
  format.height = -480;
  format.avgTimePerFrame = 1LL << 40;
  format.bitCount = 12;
  format.compression = 0x01020304;  // not printable: written as a number
  format.fixedSizeSamples = false;
  format.temporalCompression = true;
  format.sampleSize = 7;
  format.formatSize = 0;
  format.formatBlockMissing = true;
  SimFormat uncompressed;
  uncompressed.compression = 0;
  device.formats = {format, uncompressed};
  device.currentFormat = 1;
  device.missingInterfaces = {"CapturePin", "Pin.IKsPropertySet"};
  device.faults = {{"IAMVideoProcAmp::Get#9", MakeHResult(0x80004005)}, {"IPin::Connect", 1}};
  device.mediaTypeEnumFailAfter = 0;
  device.mediaTypeEnumFailCode = HRESULT_ERROR_BUSY;
  device.latency = std::chrono::microseconds(1500);
  return device;
}

TEST(SimJson, DescriptionsReadBackAsWritten) {
  for (const SimDescription& description :
       {DemoCameras(), SimDescription{{EveryFieldSet(), SimDevice{}}}, SimDescription{}}) {
    const std::string text = ToJson(description);
    EXPECT_EQ(ParseSimDescription(text), description) << text;
  }
}

TEST(SimJson, FileUsesReadableNames) {
  SimDescription description{{EveryFieldSet()}};
  description.devices[0].videoProcAmp[KSPROPERTY_VIDEOPROCAMP_POWERLINE_FREQUENCY] = SimControl{};
  const std::string text = ToJson(description);
  for (const char* expected :
       {"\"category\": \"audioCompressor\"", "\"gain\": {", "\"12\": {", "\"-4\": {",
        "\"powerLineFrequency\": {", "\"focalLength\": {", "\"default\": 0",
        "\"formatType\": \"videoInfo2\"", "\"majorType\": \"audio\"",
        "\"subtype\": \"{01234567-89AB-CDEF-0123-456789ABCDEF}\"", "\"compression\": 16909060",
        "\"compression\": 0", "\"IAMVideoProcAmp::Get#9\": \"0x80004005\"",
        "\"IPin::Connect\": \"0x00000001\"", "\"latencyMicroseconds\": 1500",
        "\"heldByAnotherProgram\": true",
        "\"flash\": {\n        \"mode\": 4294967295,\n        \"control\": 0"}) {
    EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
  }
  const std::string demo = ToJson(DemoCameras());
  EXPECT_NE(demo.find("\"subtype\": \"MJPG\""), std::string::npos);
  EXPECT_NE(demo.find("\"compression\": \"YUY2\""), std::string::npos);
  // Defaults stay out of the file.
  EXPECT_EQ(demo.find("\"absent\""), std::string::npos);
  EXPECT_EQ(demo.find("\"formatType\""), std::string::npos);
}

TEST(SimJson, AlternativeSpellingsAreAccepted) {
  const SimDescription description = ParseSimDescription(R"({"devices": [{
      "category": "videoInput",
      "videoProcAmp": {"13": {"min": 0, "max": 2, "step": 1, "default": 1, "caps": 2,
                              "value": 2, "flags": 2}},
      "formats": [{"subtype": "{32595559-0000-0010-8000-00aa00389b71}", "compression": 844715353}],
      "faults": {"IKsPropertySet::Get": -2147467259, "IPin::Connect": "0X8000ffff"},
      "waveInId": null}]})");
  ASSERT_EQ(description.devices.size(), 1u);
  const SimDevice& device = description.devices[0];
  EXPECT_EQ(device.videoProcAmp.at(KSPROPERTY_VIDEOPROCAMP_POWERLINE_FREQUENCY).value, 2);
  EXPECT_EQ(device.formats[0].subtype, MEDIASUBTYPE_YUY2);
  EXPECT_EQ(device.formats[0].compression, MakeFourCC('Y', 'U', 'Y', '2'));
  EXPECT_EQ(device.faults.at("IKsPropertySet::Get"), E_FAIL);
  EXPECT_EQ(device.faults.at("IPin::Connect"), E_UNEXPECTED);
  EXPECT_FALSE(device.waveInId.has_value());
}

// Where the needle starts in the text, as line and column from 1.
std::pair<std::size_t, std::size_t> PlaceOfNeedle(const std::string& text,
                                                  const std::string& needle) {
  const std::size_t offset = text.find(needle);
  EXPECT_NE(offset, std::string::npos) << needle;
  std::size_t line = 1, column = 1;
  for (std::size_t i = 0; i < offset; ++i) {
    if (text[i] == '\n') {
      ++line;
      column = 1;
    } else {
      ++column;
    }
  }
  return {line, column};
}

TEST(SimJson, FaultsAreReportedWithLineAndColumn) {
  const struct {
    std::string text;
    std::string at;  // the fault is reported where this text starts
    std::string fault;
  } cases[] = {
      {"{\n  \"devices\": [\n    {\"friendlyName\": \"A\" \"x\"}\n  ]\n}", "\"}\n  ]",
       "syntax error"},
      {"{\"devices\": [\n  {\"formats\": [{\"width\": \"640\"}]}]}", "\"640\"", "whole number"},
      {"{\"devices\": [\n  {\"frienldyName\": \"A\"}]}", "\"A\"", "unknown field \"frienldyName\""},
      {"{\"devices\": [{\n \"videoProcAmp\": {\n  \"brightnes\": {}}}]}", "{}}",
       "unknown control \"brightnes\""},
      {"{\"devices\": [{\"faults\": {\n \"IAMVideoProcAmp::Get\": \"E_FAIL\"}}]}", "\"E_FAIL\"",
       "result code"},
      {"{\"devices\": [{\"faults\": {\n \"Get\": \"0x1\"}}]}", "\"0x1\"", "Interface::Method"},
      {"{\"devices\": [{\"missingInterfaces\": [\"IAMCameraControl\",\n \"IAMVideoProcAmps\"]}]}",
       "\"IAMVideoProcAmps\"", "unknown interface"},
      {"{\"devices\": [{\"formats\": [{\"bitCount\": 70000}]}]}", "70000", "from 0 to 65535"},
      {"{\"devices\": [{\"category\": \"camera\"}]}", "\"camera\"", "videoInput"},
      {"{\"devices\": [{\"formats\": [{\"formatSize\": 100000}]}]}", "100000", "to 65536"},
      {"{\"devices\": [{\"latencyMicroseconds\": -1}]}", "-1", "whole number"},
      {"{\"devices\": [{\"cameraControl\": {\"pan\": {}, \"0\": {}}}]}", "{}}}", "twice"},
      {"{\"devices\": [{\"videoProcAmp\": {\"gain\": {}, \"gain\": {}}}]}", "{}}}", "twice"},
      {"[]", "[]", "expected an object"},
      {"  ", "  ", "syntax error"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    try {
      ParseSimDescription(c.text);
      ADD_FAILURE() << "accepted";
    } catch (const SimFileError& error) {
      auto [line, column] = PlaceOfNeedle(c.text, c.at);
      if (c.at == "  ") column = 3;  // the end of a blank text
      EXPECT_EQ(error.Line(), line);
      EXPECT_EQ(error.Column(), column);
      EXPECT_NE(error.Fault().find(c.fault), std::string::npos) << error.what();
      EXPECT_EQ(std::string(error.what()).find('\n'), std::string::npos);
    }
  }
}

TEST(SimJson, DeepNestingIsRefusedAtOnce) {
  // 200 kB of brackets: refused where the format stops allowing a list, with one line.
  const std::string text =
      "{\"devices\": [\n  " + std::string(100'000, '[') + std::string(100'000, ']') + "]}";
  try {
    ParseSimDescription(text);
    ADD_FAILURE() << "accepted";
  } catch (const SimFileError& error) {
    EXPECT_EQ(error.Line(), 2u);
    EXPECT_EQ(error.Column(), 3u);
    EXPECT_NE(error.Fault().find("expected an object"), std::string::npos) << error.what();
  }
}

// Accepts any JSON: what the reader itself allows.
class AnyJson : public JsonSink {
 public:
  void Key(std::string) override {}
  void Scalar(const nlohmann::ordered_json&, std::size_t) override {}
  std::unique_ptr<JsonSink> Open(JsonContainer, std::size_t) override {
    return std::make_unique<AnyJson>();
  }
};

TEST(JsonReading, NestingIsRefusedWhereItGoesTooDeep) {
  for (const std::size_t depth : {kMaxJsonDepth, kMaxJsonDepth + 1, std::size_t{1'000'000}}) {
    const std::string text = std::string(depth, '[') + std::string(depth, ']');
    AnyJson sink;
    try {
      ReadJson(text, sink);
      EXPECT_EQ(depth, kMaxJsonDepth);
    } catch (const JsonSyntaxError& error) {
      EXPECT_GT(depth, kMaxJsonDepth);
      EXPECT_EQ(error.Offset(), kMaxJsonDepth) << error.what();
    }
  }
}

TEST(SimJson, DocumentedExampleIsAValidFile) {
  std::ifstream in(std::string(KORVANE_SOURCE_DIR) + "/docs/simulated-cameras.md");
  std::stringstream document;
  document << in.rdbuf();
  const std::string text = document.str();
  const std::size_t start = text.find("```json\n");
  ASSERT_NE(start, std::string::npos);
  const std::size_t end = text.find("```", start + 8);
  const SimDescription example = ParseSimDescription(text.substr(start + 8, end - start - 8));
  ASSERT_EQ(example.devices.size(), 3u);
  EXPECT_EQ(example.devices[0].friendlyName, "Lab Camera");
  EXPECT_TRUE(example.devices[1].absent);
}

}  // namespace
}  // namespace korvane::sim
