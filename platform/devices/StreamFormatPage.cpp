// The stream format page and the page lists of ISpecifyPropertyPages.

#include "platform/devices/StreamFormatPage.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <string>

#include "platform/DirectShow9.h"
#include "platform/com/ClassRegistry.h"
#include "platform/os/PropertyPage.h"

namespace korvane::devices {
namespace {

using os::DescribedPropertyPage;
using os::PropertyPageControl;

struct MediaTypeDelete {
  void operator()(AM_MEDIA_TYPE* type) const {
    if (!type) return;
    CoTaskMemFree(type->pbFormat);
    if (type->pUnk) type->pUnk->Release();
    CoTaskMemFree(type);
  }
};
using MediaTypePtr = std::unique_ptr<AM_MEDIA_TYPE, MediaTypeDelete>;

// What a format is called in the list: size, compression, frame rate and bit depth.
std::string FormatText(const AM_MEDIA_TYPE& type, int index) {
  if (type.formattype != FORMAT_VideoInfo || type.cbFormat < sizeof(VIDEOINFOHEADER) ||
      !type.pbFormat) {
    return "Format " + std::to_string(index + 1);
  }
  const auto& info = *reinterpret_cast<const VIDEOINFOHEADER*>(type.pbFormat);
  const DWORD fourcc = info.bmiHeader.biCompression;
  std::string compression = "RGB";
  if (fourcc != BI_RGB) {
    compression.clear();
    for (int shift = 0; shift < 32; shift += 8) {
      const char letter = static_cast<char>((fourcc >> shift) & 0xFF);
      compression += (letter >= 0x20 && letter < 0x7F) ? letter : '?';
    }
  }
  std::array<char, 96> text{};
  const double rate =
      info.AvgTimePerFrame > 0 ? 10'000'000.0 / static_cast<double>(info.AvgTimePerFrame) : 0.0;
  std::snprintf(text.data(), text.size(), "%d x %d, %s, %.2f fps, %u bit", info.bmiHeader.biWidth,
                info.bmiHeader.biHeight < 0 ? -info.bmiHeader.biHeight : info.bmiHeader.biHeight,
                compression.c_str(), rate, static_cast<unsigned>(info.bmiHeader.biBitCount));
  return text.data();
}

bool SameFormat(const AM_MEDIA_TYPE& a, const AM_MEDIA_TYPE& b) {
  if (a.majortype != b.majortype || a.subtype != b.subtype || a.formattype != b.formattype) {
    return false;
  }
  const bool aInfo = a.cbFormat >= sizeof(VIDEOINFOHEADER) && a.pbFormat;
  const bool bInfo = b.cbFormat >= sizeof(VIDEOINFOHEADER) && b.pbFormat;
  if (a.formattype != FORMAT_VideoInfo || !aInfo || !bInfo) return aInfo == bInfo;
  const auto& x = *reinterpret_cast<const VIDEOINFOHEADER*>(a.pbFormat);
  const auto& y = *reinterpret_cast<const VIDEOINFOHEADER*>(b.pbFormat);
  return x.AvgTimePerFrame == y.AvgTimePerFrame && x.bmiHeader.biWidth == y.bmiHeader.biWidth &&
         x.bmiHeader.biHeight == y.bmiHeader.biHeight &&
         x.bmiHeader.biBitCount == y.bmiHeader.biBitCount &&
         x.bmiHeader.biCompression == y.bmiHeader.biCompression;
}

// The capability at index, or the failure; the caps record goes into a buffer of the size
// the stream configuration asks for.
HRESULT StreamCaps(IAMStreamConfig& config, int index, MediaTypePtr* type) {
  int count = 0, size = 0;
  HRESULT result = config.GetNumberOfCapabilities(&count, &size);
  if (FAILED(result)) return result;
  if (index < 0 || index >= count) return E_INVALIDARG;
  std::vector<BYTE> caps(static_cast<std::size_t>(std::max(size, 0)) + 128);
  AM_MEDIA_TYPE* raw = nullptr;
  result = config.GetStreamCaps(index, &raw, caps.data());
  type->reset(raw);
  if (SUCCEEDED(result) && !raw) result = E_POINTER;
  return result;
}

class StreamFormatPage final : public DescribedPropertyPage {
 public:
  StreamFormatPage() : DescribedPropertyPage("Stream Format") {}

 protected:
  HRESULT Build(IUnknown& object) override {
    ComPtr<IAMStreamConfig> config;
    HRESULT result =
        object.QueryInterface(IID_IAMStreamConfig, config.ReleaseAndGetVoidAddressOf());
    if (FAILED(result) || !config) return FAILED(result) ? result : E_NOINTERFACE;
    int count = 0, size = 0;
    result = config->GetNumberOfCapabilities(&count, &size);
    if (FAILED(result)) return result;
    PropertyPageControl formats = PropertyPageControl::Choice("Format", {});
    for (int i = 0; i < count; ++i) {
      MediaTypePtr type;
      if (SUCCEEDED(StreamCaps(*config, i, &type)))
        formats.entries.emplace_back(i, FormatText(*type, i));
    }
    Add(std::move(formats), FormatBinding(config));
    return S_OK;
  }

 private:
  // The value is the index of the capability; formats the pin cannot say are left out, and
  // a current format none of them describes reads as -1.
  static Binding FormatBinding(const ComPtr<IAMStreamConfig>& config) {
    return {[config](LONG* value) {
              *value = -1;
              AM_MEDIA_TYPE* raw = nullptr;
              const HRESULT result = config->GetFormat(&raw);
              const MediaTypePtr current(raw);
              if (FAILED(result) || !current) return FAILED(result) ? result : E_POINTER;
              int count = 0, size = 0;
              if (FAILED(config->GetNumberOfCapabilities(&count, &size))) return S_OK;
              for (int i = 0; i < count; ++i) {
                MediaTypePtr type;
                if (SUCCEEDED(StreamCaps(*config, i, &type)) && SameFormat(*type, *current)) {
                  *value = i;
                  break;
                }
              }
              return S_OK;
            },
            [config](LONG index) {
              MediaTypePtr type;
              const HRESULT result = StreamCaps(*config, static_cast<int>(index), &type);
              return FAILED(result) ? result : config->SetFormat(type.get());
            }};
  }
};

}  // namespace

void RegisterStreamFormatPage() {
  com::RegisterClass(CLSID_StreamFormatPage, com::FactoryOf<StreamFormatPage>());
}

HRESULT FillPageList(CAUUID* pages, const std::vector<CLSID>& ids) {
  if (!pages) return E_POINTER;
  pages->cElems = 0;
  pages->pElems = nullptr;
  if (ids.empty()) return S_OK;
  auto* block = static_cast<GUID*>(CoTaskMemAlloc(ids.size() * sizeof(GUID)));
  if (!block) return E_OUTOFMEMORY;
  std::copy(ids.begin(), ids.end(), block);
  pages->cElems = static_cast<ULONG>(ids.size());
  pages->pElems = block;
  return S_OK;
}

}  // namespace korvane::devices
