// Recording through the capture graph builder's output file: a real AVI file that a reader of
// our own (and ffprobe, where it is installed) opens with the frames that were streamed.

#include <array>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "platform/com/ClassRegistry.h"
#include "tests/graph/AviReader.h"
#include "tests/graph/GraphTestSupport.h"
#include "tests/os/TempFolder.h"

namespace korvane::graph::testing {
namespace {

using os::testing::TempFolder;
using Recording = GraphTest;

// What ffprobe counts in the file's video stream, as "frames,width,height"; empty where ffprobe is
// not installed.
std::string FfprobeSays(const std::filesystem::path& file) {
  if (std::system("command -v ffprobe >/dev/null 2>&1") != 0) return {};
  const std::string command =
      "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
      "stream=nb_read_frames,width,height -of csv=p=0 '" +
      file.string() + "'";
  const std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
  std::string output;
  std::array<char, 256> buffer{};
  while (pipe && std::fgets(buffer.data(), buffer.size(), pipe.get())) output += buffer.data();
  while (!output.empty() && (output.back() == '\n' || output.back() == '\r')) output.pop_back();
  return output;
}

// A camera's preview through a grabber and its capture stream into an AVI file, optionally
// through a compressor; the grabber counts the frames both streams got.
struct RecordingGraph : GrabberGraph {
  ComPtr<IBaseFilter> mux;

  RecordingGraph(IBaseFilter* camera, const std::filesystem::path& file, IBaseFilter* compressor)
      : GrabberGraph(camera) {
    if (FAILED(built)) return;
    const std::u16string name = com::Utf8ToUtf16(file.string());
    ComPtr<IFileSinkFilter> sink;
    built = graph.capture->SetOutputFileName(&MEDIASUBTYPE_Avi, name.c_str(),
                                             mux.ReleaseAndGetAddressOf(),
                                             sink.ReleaseAndGetAddressOf());
    if (FAILED(built)) return;
    if (compressor) graph.Add(compressor, u"Compressor filter");
    built = graph.capture->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, camera, compressor,
                                        mux.Get());
  }

  // Runs until the preview has seen frames frames, then stops.
  void Record(std::size_t frames) {
    ASSERT_EQ(graph.control->Run(), S_OK);
    ASSERT_TRUE(counter->WaitFor(frames));
    ASSERT_EQ(graph.control->Stop(), S_OK);
  }
};

struct RecordCase {
  const char* name;
  GUID subtype;
  std::string chunkId;
  std::size_t frameBytes;
};

class RecordFormats : public Recording, public ::testing::WithParamInterface<RecordCase> {};

TEST_P(RecordFormats, TheFileHoldsEveryFrameThatWasStreamed) {
  const RecordCase& c = GetParam();
  TempFolder folder;
  const std::filesystem::path file = folder / "take.avi";
  const ComPtr<IBaseFilter> camera = Install(Camera(Format(c.subtype, 64, 48, 200'000)));
  RecordingGraph recording(camera.Get(), file, nullptr);
  ASSERT_EQ(recording.built, S_OK);
  EXPECT_EQ(recording.graph.FilterNames(),
            (std::vector<std::u16string>{u"Sample grabber", u"Null renderer", u"Video capture",
                                         u"AVI Mux", u"File writer", u"Smart Tee"}));
  recording.Record(5);
  const std::size_t frames = recording.counter->Frames();

  const AviFile avi = ReadAvi(file);
  ASSERT_EQ(avi.error, "");
  EXPECT_EQ(avi.frames.size(), frames);
  EXPECT_EQ(avi.indexEntries, frames);
  EXPECT_EQ(avi.totalFrames, frames);
  EXPECT_EQ(avi.length, frames);
  EXPECT_EQ((std::array{avi.width, avi.height}), (std::array<DWORD, 2>{64, 48}));
  EXPECT_EQ(avi.streamType, "vids");
  EXPECT_EQ(avi.rate / avi.scale, 50u);  // 200,000 x 100 ns a frame
  EXPECT_EQ(avi.format.biWidth, 64);
  for (const AviFrame& frame : avi.frames) {
    EXPECT_EQ(frame.chunkId, c.chunkId);
    EXPECT_EQ(frame.bytes.size(), c.frameBytes);
  }
  const std::string probed = FfprobeSays(file);
  if (!probed.empty()) {
    EXPECT_EQ(probed, "64,48," + std::to_string(frames));
  }
}

const RecordCase kRecordCases[] = {
    {"YUY2", MEDIASUBTYPE_YUY2, "00dc", 64 * 48 * 2},
    {"RGB24", MEDIASUBTYPE_RGB24, "00db", 64 * 48 * 3},  // uncompressed: a DIB chunk
};
INSTANTIATE_TEST_SUITE_P(Subtypes, RecordFormats, ::testing::ValuesIn(kRecordCases),
                         [](const auto& test) { return std::string(test.param.name); });

TEST_F(Recording, ACompressorBetweenMakesAMotionJpegFile) {
  TempFolder folder;
  const std::filesystem::path file = folder / "compressed.avi";
  SimDevice encoder;
  encoder.category = sim::SimCategory::VideoCompressor;
  encoder.friendlyName = "Korvane Motion JPEG Encoder";
  const ComPtr<IBaseFilter> camera =
      Install(SimDescription{{Camera(Format(MEDIASUBTYPE_YUY2, 64, 48, 200'000)), encoder}});
  // The compressor as a program finds it: by its device name.
  ComPtr<IEnumMoniker> monikers;
  ComPtr<IMoniker> moniker;
  ComPtr<IBaseFilter> compressor;
  ASSERT_EQ(Create<ICreateDevEnum>(CLSID_SystemDeviceEnum)
                ->CreateClassEnumerator(CLSID_VideoCompressorCategory,
                                        monikers.ReleaseAndGetAddressOf(), 0),
            S_OK);
  ASSERT_EQ(monikers->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr), S_OK);
  ASSERT_EQ(moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter,
                                  compressor.ReleaseAndGetVoidAddressOf()),
            S_OK);

  RecordingGraph recording(camera.Get(), file, compressor.Get());
  ASSERT_EQ(recording.built, S_OK);
  recording.Record(4);
  const AviFile avi = ReadAvi(file);
  ASSERT_EQ(avi.error, "");
  EXPECT_EQ(avi.frames.size(), recording.counter->Frames());
  EXPECT_EQ(avi.handler, "MJPG");
  EXPECT_EQ(avi.format.biCompression, MakeFourCC('M', 'J', 'P', 'G'));
  for (const AviFrame& frame : avi.frames) {
    EXPECT_EQ(frame.chunkId, "00dc");
    ASSERT_GE(frame.bytes.size(), 4u);
    EXPECT_EQ((std::array{frame.bytes[0], frame.bytes[1]}), (std::array<BYTE, 2>{0xFF, 0xD8}));
  }
  const std::string probed = FfprobeSays(file);
  if (!probed.empty()) {
    EXPECT_EQ(probed, "64,48," + std::to_string(avi.frames.size()));
  }
}

TEST_F(Recording, AsfIsRefusedWithACodeThatSaysSo) {
  Graph graph;
  ComPtr<IBaseFilter> mux;
  EXPECT_EQ(graph.capture->SetOutputFileName(&MEDIASUBTYPE_Asf, u"/tmp/never.asf",
                                             mux.ReleaseAndGetAddressOf(), nullptr),
            HRESULT_ASF_NOT_AVAILABLE);
  EXPECT_EQ(mux, nullptr);
  EXPECT_TRUE(graph.FilterNames().empty());
  WCHAR text[160] = {};
  ASSERT_GT(AMGetErrorTextW(HRESULT_ASF_NOT_AVAILABLE, text, 160), 0u);
  EXPECT_NE(com::Utf16ToUtf8(text).find("ASF"), std::string::npos);
}

TEST_F(Recording, AFileThatCannotBeCreatedFailsTheRunAndStopsTheGraph) {
  TempFolder folder;
  const ComPtr<IBaseFilter> camera = Install(Camera(Format(MEDIASUBTYPE_YUY2, 64, 48)));
  RecordingGraph recording(camera.Get(), folder / "missing" / "take.avi", nullptr);
  ASSERT_EQ(recording.built, S_OK);
  EXPECT_EQ(recording.graph.control->Run(), HRESULT_ERROR_PATH_NOT_FOUND);
  OAFilterState state = -1;
  EXPECT_EQ(recording.graph.control->GetState(0, &state), S_OK);
  EXPECT_EQ(state, State_Stopped);
}

// AVI sizes are 32 bits: a recording ends before it would outgrow them, and the file stays whole.
TEST_F(Recording, ARecordingThatReachesTheLargestFileEndsWithAWholeFile) {
  constexpr std::uint64_t kLargest = 224 + 3 * (8 + 64 * 48 * 2 + 16) + 8;  // three frames
  com::ScopedClassRegistration smallMux(CLSID_AviDest, [](REFIID iid, void** object) {
    return CreateAviMuxOfAtMost(kLargest, iid, object);
  });
  TempFolder folder;
  const std::filesystem::path file = folder / "full.avi";
  const ComPtr<IBaseFilter> camera = Install(Camera(Format(MEDIASUBTYPE_YUY2, 64, 48, 100'000)));
  RecordingGraph recording(camera.Get(), file, nullptr);
  ASSERT_EQ(recording.built, S_OK);
  ASSERT_EQ(recording.graph.control->Run(), S_OK);
  const auto event = recording.graph.NextEvent(20'000);
  EXPECT_EQ(event, (std::pair<LONG, LONG_PTR>{EC_ERRORABORT, HRESULT_ERROR_FILE_TOO_LARGE}));
  EXPECT_TRUE(recording.counter->WaitFor(5));  // the preview goes on
  ASSERT_EQ(recording.graph.control->Stop(), S_OK);

  const AviFile avi = ReadAvi(file);
  ASSERT_EQ(avi.error, "");
  EXPECT_EQ(avi.frames.size(), 3u);
  EXPECT_EQ(avi.totalFrames, 3u);
  EXPECT_LE(avi.fileSize, kLargest);
}

}  // namespace
}  // namespace korvane::graph::testing
