#include "platform/sim/SimMediaTypeEnumerator.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "platform/sim/SimMediaTypes.h"

namespace korvane::sim {
namespace {

class MediaTypeEnumerator final : public com::ComObject<IEnumMediaTypes> {
 public:
  MediaTypeEnumerator(const SimDriver& driver, std::size_t position)
      : driver_(driver), position_(position) {}

  HRESULT Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) override {
    const SimCall call = driver_.Begin("IEnumMediaTypes::Next");
    if (fetched) *fetched = 0;
    if (call.Failed()) return call.result;
    if (!types || (count != 1 && !fetched)) return E_POINTER;
    const SimDevice& device = *call.device;
    ULONG delivered = 0;
    while (delivered < count) {
      if (device.mediaTypeEnumFailAfter && position_ >= *device.mediaTypeEnumFailAfter) {
        // The types delivered before the failure stay the caller's.
        if (fetched) *fetched = delivered;
        return device.mediaTypeEnumFailCode;
      }
      if (position_ >= device.formats.size()) break;
      AM_MEDIA_TYPE* type = CreateSimMediaType(device.formats[position_]);
      if (!type) {
        if (fetched) *fetched = delivered;
        return E_OUTOFMEMORY;
      }
      types[delivered++] = type;
      ++position_;
    }
    if (fetched) *fetched = delivered;
    return delivered == count ? S_OK : S_FALSE;
  }

  HRESULT Skip(ULONG count) override {
    const SimCall call = driver_.Begin("IEnumMediaTypes::Skip");
    if (call.Failed()) return call.result;
    const std::size_t size = call.device->formats.size();
    const std::size_t left = size > position_ ? size - position_ : 0;
    position_ += std::min<std::size_t>(count, left);
    return count <= left ? S_OK : S_FALSE;
  }

  HRESULT Reset() override {
    position_ = 0;
    return S_OK;
  }

  HRESULT Clone(IEnumMediaTypes** clone) override {
    if (!clone) return E_POINTER;
    *clone = com::MakeCom<MediaTypeEnumerator>(driver_, position_).Detach();
    return S_OK;
  }

 private:
  // A copy: the enumerator may outlive the pin that created it.
  const SimDriver driver_;
  std::size_t position_;
};

}  // namespace

ComPtr<IEnumMediaTypes> MakeMediaTypeEnumerator(const SimDriver& driver) {
  return com::MakeCom<MediaTypeEnumerator>(driver, 0);
}

}  // namespace korvane::sim
