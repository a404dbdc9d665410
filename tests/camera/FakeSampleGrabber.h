#pragma once
// A sample grabber that hands out what a test sets: a connected media type, a buffered
// sample, and failures of its calls.
// For the snapshot cases a real grabber on a simulated camera cannot produce.

#include <cstring>
#include <vector>

#include "camera/FDirectShow9.h"

namespace korvane::camera::testing {

// A video-info media type with the given bitmap header and format block size.
inline std::vector<BYTE> VideoInfoBlock(const BITMAPINFOHEADER& Header,
                                        std::size_t Size = sizeof(VIDEOINFOHEADER)) {
  std::vector<BYTE> Block(Size, 0);
  VIDEOINFOHEADER Info{};
  Info.bmiHeader = Header;
  std::memcpy(Block.data(), &Info, std::min(Size, sizeof Info));
  return Block;
}

inline BITMAPINFOHEADER BitmapHeader(LONG Width, LONG Height, WORD BitCount, DWORD Compression) {
  BITMAPINFOHEADER Header{};
  Header.biSize = sizeof Header;
  Header.biWidth = Width;
  Header.biHeight = Height;
  Header.biPlanes = 1;
  Header.biBitCount = BitCount;
  Header.biCompression = Compression;
  Header.biXPelsPerMeter = 2835;
  return Header;
}

class FakeSampleGrabber final : public korvane::com::ComObject<ISampleGrabber> {
 public:
  GUID FormatType = FORMAT_VideoInfo;
  std::vector<BYTE> Format;
  std::vector<BYTE> Sample;  // empty: nothing buffered yet
  HRESULT ConnectedResult = S_OK;
  HRESULT CopyResult = S_OK;  // of the call that copies, when a failure

  HRESULT GetConnectedMediaType(AM_MEDIA_TYPE* Type) override {
    if (FAILED(ConnectedResult)) return ConnectedResult;
    AM_MEDIA_TYPE Source{};
    Source.majortype = MEDIATYPE_Video;
    Source.formattype = FormatType;
    Source.cbFormat = static_cast<ULONG>(Format.size());
    Source.pbFormat = Format.empty() ? nullptr : Format.data();
    return korvane::com::CopyMediaType(Type, Source);
  }

  HRESULT GetCurrentBuffer(LONG* Size, LONG* Buffer) override {
    if (Sample.empty()) return VFW_E_WRONG_STATE;
    if (!Buffer) {
      *Size = static_cast<LONG>(Sample.size());
      return S_OK;
    }
    if (FAILED(CopyResult)) return CopyResult;
    if (*Size < static_cast<LONG>(Sample.size())) return E_OUTOFMEMORY;
    std::memcpy(Buffer, Sample.data(), Sample.size());
    *Size = static_cast<LONG>(Sample.size());
    return S_OK;
  }

  HRESULT SetOneShot(BOOL) override { return E_NOTIMPL; }
  HRESULT SetMediaType(const AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
  HRESULT SetBufferSamples(BOOL) override { return S_OK; }
  HRESULT GetCurrentSample(IMediaSample**) override { return E_NOTIMPL; }
  HRESULT SetCallback(ISampleGrabberCB*, LONG) override { return S_OK; }
};

}  // namespace korvane::camera::testing
