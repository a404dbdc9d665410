// The AVI multiplexer (CLSID_AviDest): one video input, an AVI file out to a file writer. Its
// output samples carry file positions as their times, as the platform's writers take them: the
// headers go first with no frames counted, each picture as a chunk of the movie list (the
// picture's own bytes, not a copy), and when the stream ends or the graph stops, the index and
// the final headers. A recording that would outgrow what AVI's 32-bit sizes hold ends there,
// with a whole file and an event that says why.

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/graph/AviFormat.h"
#include "platform/graph/GraphClasses.h"
#include "platform/graph/GraphFilter.h"
#include "platform/graph/MediaSample.h"

namespace korvane::graph {
namespace {

// Many readers take RIFF sizes as signed numbers, so a file stays below 2 GiB.
constexpr std::uint64_t kLargestFile = 0x7FFFFFFF;
constexpr REFERENCE_TIME kDefaultFrameTime = 333333;  // 30 frames a second

class AviMux final : public GraphFilter<> {
 public:
  explicit AviMux(std::uint64_t largestFile)
      : GraphFilter(CLSID_AviDest, u"AVI Mux"),
        largestFile_(largestFile),
        input_(*this, u"Input 01"),
        output_(*this, u"AVI Out") {}

  HRESULT CheckInputType(const InputPin&, const AM_MEDIA_TYPE& type) override {
    const auto picture = VideoPictureOf(type);
    if (!picture || picture->Width() < 1 || picture->Width() > kMaxPictureSide ||
        picture->Height() < 1 || picture->Height() > kMaxPictureSide) {
      return VFW_E_TYPE_NOT_ACCEPTED;
    }
    return S_OK;
  }

  std::vector<MediaType> OutputTypes(const OutputPin&) override {
    MediaType type;
    type.majortype = MEDIATYPE_Stream;
    type.subtype = MEDIASUBTYPE_Avi;
    type.formattype = GUID_NULL;
    type.fixedSizeSamples = false;
    return {type};
  }

  HRESULT OnReceive(InputPin&, IMediaSample* sample) override {
    std::lock_guard lock(mutex_);
    if (!recording_) return S_FALSE;
    const auto length = static_cast<std::size_t>(sample->GetActualDataLength());
    const std::size_t padding = length % 2;
    // The chunk, its index entry and the index header must all still fit.
    const std::uint64_t end = position_ + 8 + length + padding + 16 * (index_.size() + 1) + 8;
    if (end > largestFile_) {
      Finish();
      Notify(EC_ERRORABORT, HRESULT_ERROR_FILE_TOO_LARGE, 0);
      return S_FALSE;
    }
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    const DWORD chunkHeader[2] = {chunkId_, static_cast<DWORD>(length)};
    static constexpr BYTE kPad[1] = {0};
    if (!Write(position_, chunkHeader, sizeof chunkHeader) ||
        !WriteView(position_ + 8, sample, data, length) ||
        (padding && !Write(position_ + 8 + length, kPad, 1))) {
      return S_FALSE;
    }
    index_.push_back({chunkId_, avi::kKeyFrame, static_cast<DWORD>(position_ - avi::kMovieCode),
                      static_cast<DWORD>(length)});
    largestChunk_ = std::max(largestChunk_, static_cast<DWORD>(length));
    position_ += 8 + length + padding;
    return S_OK;
  }

  void OnEndOfStream(InputPin&) override {
    {
      std::lock_guard lock(mutex_);
      Finish();
    }
    output_.DeliverEndOfStream();
  }

 protected:
  std::vector<IPin*> Pins() override { return {&input_, &output_}; }

  HRESULT OnPause(FILTER_STATE from) override {
    if (from != State_Stopped) return S_OK;
    const std::optional<MediaType> input = input_.ConnectionType();
    const auto picture = VideoPictureOf(input);
    std::lock_guard lock(mutex_);
    recording_ = false;
    if (!picture || !output_.IsConnected()) return S_OK;
    pool_ = SamplePool::Create(8);
    picture_ = *picture;
    chunkId_ =
        picture->header.biCompression == BI_RGB ? avi::kUncompressedFrame : avi::kCompressedFrame;
    index_.clear();
    largestChunk_ = 0;
    position_ = avi::kMovieData;
    recording_ = true;
    failed_ = false;
    if (!WriteHeaders()) recording_ = false;
    return failed_ ? writeError_ : S_OK;
  }

  HRESULT OnStop() override {
    std::lock_guard lock(mutex_);
    Finish();
    pool_.reset();
    return S_OK;
  }

 private:
  // Writes the index and the final headers once; the file is whole afterwards.
  void Finish() {
    if (!recording_) return;
    recording_ = false;
    const std::size_t indexBytes = 8 + 16 * index_.size();
    const ComPtr<MediaSample> block = pool_ ? pool_->Acquire(indexBytes) : nullptr;
    if (!block) return;
    const DWORD indexHeader[2] = {avi::kIndex, static_cast<DWORD>(16 * index_.size())};
    std::memcpy(block->Data(), indexHeader, sizeof indexHeader);
    std::memcpy(block->Data() + 8, index_.data(), 16 * index_.size());
    if (Deliver(position_, block.Get())) {
      indexEnd_ = position_ + indexBytes;
      WriteHeaders();
    }
  }

  bool WriteHeaders() {
    const DWORD frames = static_cast<DWORD>(index_.size());
    const REFERENCE_TIME frameTime =
        picture_.frameTime > 0 ? picture_.frameTime : kDefaultFrameTime;
    const auto width = static_cast<DWORD>(picture_.Width());
    const auto height = static_cast<DWORD>(picture_.Height());
    const std::uint64_t fileEnd = recording_ ? position_ : indexEnd_;

    avi::Headers headers{};
    headers.riff = avi::kRiff;
    headers.riffSize = static_cast<DWORD>(fileEnd - 8);
    headers.avi = avi::kAvi;
    headers.headerList = avi::kList;
    headers.headerListSize = offsetof(avi::Headers, movieList) - offsetof(avi::Headers, hdrl);
    headers.hdrl = avi::kHeaderList;
    headers.avih = avi::kMainHeader;
    headers.avihSize = sizeof(avi::MainHeader);
    headers.main.microSecPerFrame = static_cast<DWORD>(frameTime / 10);
    headers.main.maxBytesPerSec = static_cast<DWORD>(std::min<std::uint64_t>(
        std::uint64_t{largestChunk_} * 10'000'000 / static_cast<std::uint64_t>(frameTime),
        0xFFFFFFFF));
    headers.main.flags = avi::kHasIndex;
    headers.main.totalFrames = frames;
    headers.main.streams = 1;
    headers.main.suggestedBufferSize = largestChunk_ + 8;
    headers.main.width = width;
    headers.main.height = height;
    headers.streamList = avi::kList;
    headers.streamListSize = offsetof(avi::Headers, movieList) - offsetof(avi::Headers, strl);
    headers.strl = avi::kStreamList;
    headers.strh = avi::kStreamHeader;
    headers.strhSize = sizeof(avi::StreamHeader);
    headers.stream.type = avi::kVideoStream;
    headers.stream.handler = picture_.header.biCompression;
    headers.stream.scale = static_cast<DWORD>(frameTime);
    headers.stream.rate = 10'000'000;
    headers.stream.length = frames;
    headers.stream.suggestedBufferSize = largestChunk_;
    headers.stream.quality = 0xFFFFFFFF;  // the default quality
    headers.stream.frameRight = static_cast<std::int16_t>(std::min<DWORD>(width, 0x7FFF));
    headers.stream.frameBottom = static_cast<std::int16_t>(std::min<DWORD>(height, 0x7FFF));
    headers.strf = avi::kStreamFormat;
    headers.strfSize = sizeof(BITMAPINFOHEADER);
    headers.format = picture_.header;
    headers.format.biSize = sizeof(BITMAPINFOHEADER);
    headers.movieList = avi::kList;
    headers.movieListSize = static_cast<DWORD>(position_ - avi::kMovieCode);
    headers.movi = avi::kMovieList;
    return Write(0, &headers, sizeof headers);
  }

  bool Write(std::uint64_t at, const void* data, std::size_t length) {
    const ComPtr<MediaSample> block = pool_->Acquire(length);
    if (!block) return Fail(E_OUTOFMEMORY);
    std::memcpy(block->Data(), data, length);
    return Deliver(at, block.Get());
  }

  bool WriteView(std::uint64_t at, IMediaSample* source, BYTE* data, std::size_t length) {
    const ComPtr<MediaSample> view = pool_->AcquireView(source, data, length);
    if (!view) return Fail(E_OUTOFMEMORY);
    return Deliver(at, view.Get());
  }

  // The writer takes a sample's time as the file position to write it at.
  bool Deliver(std::uint64_t at, MediaSample* block) {
    auto start = static_cast<REFERENCE_TIME>(at);
    auto end = start + block->GetActualDataLength();
    block->SetTime(&start, &end);
    const HRESULT written = output_.Deliver(block);
    return SUCCEEDED(written) || Fail(written);
  }

  // The writer has reported the failure; the recording stops with what it has.
  bool Fail(HRESULT error) {
    recording_ = false;
    failed_ = true;
    writeError_ = error;
    return false;
  }

  const std::uint64_t largestFile_;
  InputPin input_;
  OutputPin output_;
  std::mutex mutex_;
  std::shared_ptr<SamplePool> pool_;
  VideoPicture picture_;
  DWORD chunkId_ = avi::kCompressedFrame;
  std::vector<avi::IndexEntry> index_;
  DWORD largestChunk_ = 0;
  std::uint64_t position_ = avi::kMovieData;
  std::uint64_t indexEnd_ = 0;
  bool recording_ = false;
  bool failed_ = false;
  HRESULT writeError_ = S_OK;
};

}  // namespace

HRESULT CreateAviMux(REFIID iid, void** object) {
  return CreateAviMuxOfAtMost(kLargestFile, iid, object);
}

HRESULT CreateAviMuxOfAtMost(std::uint64_t largestFile, REFIID iid, void** object) {
  return com::MakeCom<AviMux>(largestFile)->QueryInterface(iid, object);
}

}  // namespace korvane::graph
