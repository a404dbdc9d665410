#pragma once
// Enumerators over a fixed list: the platform's Next/Skip/Reset/Clone over counted references
// (monikers, pins, filters), each handed-out item a reference of its own, or over formats, each
// handed out as a new media type in task memory. Clones share the list and start where the
// original stands.

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include "platform/com/MediaTypes.h"
#include "platform/com/Unknown.h"

struct IEnumMediaTypes;

namespace korvane::devices {

// HandOut makes the caller's copy of one stored item; false when it cannot (memory ran out).
template <class EnumInterface, class Stored, class Out, bool (*HandOut)(const Stored&, Out**)>
class ListEnumerator final : public com::ComObject<EnumInterface> {
 public:
  using Items = std::vector<Stored>;

  ListEnumerator(std::shared_ptr<const Items> items, std::size_t position)
      : items_(std::move(items)), position_(position) {}

  // A batch needs the count back; one item at a time may go without it.
  HRESULT Next(ULONG count, Out** items, ULONG* fetched) override {
    if (fetched) *fetched = 0;
    if (!items || (count != 1 && !fetched)) return E_POINTER;
    ULONG delivered = 0;
    while (delivered < count && position_ < items_->size()) {
      if (!HandOut((*items_)[position_], &items[delivered])) {
        if (fetched) *fetched = delivered;
        return E_OUTOFMEMORY;
      }
      ++delivered;
      ++position_;
    }
    if (fetched) *fetched = delivered;
    return delivered == count ? S_OK : S_FALSE;
  }

  HRESULT Skip(ULONG count) override {
    const std::size_t left = items_->size() - position_;
    position_ += std::min<std::size_t>(count, left);
    return count <= left ? S_OK : S_FALSE;
  }

  HRESULT Reset() override {
    position_ = 0;
    return S_OK;
  }

  HRESULT Clone(EnumInterface** clone) override {
    if (!clone) return E_POINTER;
    *clone = com::MakeCom<ListEnumerator>(items_, position_).Detach();
    return S_OK;
  }

 private:
  const std::shared_ptr<const Items> items_;
  std::size_t position_;
};

namespace detail {
template <class Item>
bool HandOutReference(const ComPtr<Item>& item, Item** out) {
  *out = ComPtr<Item>(item).Detach();
  return true;
}
template <class Format, AM_MEDIA_TYPE* (*Create)(const Format&)>
bool HandOutMediaType(const Format& format, AM_MEDIA_TYPE** out) {
  *out = Create(format);
  return *out != nullptr;
}
}  // namespace detail

template <class EnumInterface, class Item>
ComPtr<EnumInterface> MakeListEnumerator(std::vector<ComPtr<Item>> items) {
  using Enumerator =
      ListEnumerator<EnumInterface, ComPtr<Item>, Item, &detail::HandOutReference<Item>>;
  return com::MakeCom<Enumerator>(
      std::make_shared<const typename Enumerator::Items>(std::move(items)), 0);
}

// Media types made by Create from each format, as a pin offers them.
template <auto Create, class Format>
ComPtr<IEnumMediaTypes> MakeMediaTypeEnumerator(std::vector<Format> formats) {
  using Enumerator = ListEnumerator<IEnumMediaTypes, Format, AM_MEDIA_TYPE,
                                    &detail::HandOutMediaType<Format, Create>>;
  return com::MakeCom<Enumerator>(
      std::make_shared<const typename Enumerator::Items>(std::move(formats)), 0);
}

}  // namespace korvane::devices
