#pragma once
// An enumerator over a fixed list of counted references (monikers, pins): the platform's
// Next/Skip/Reset/Clone, each handed-out item a reference of its own. Clones share the list
// and start where the original stands.

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include "platform/com/Unknown.h"

namespace korvane::devices {

template <class EnumInterface, class Item>
class ListEnumerator final : public com::ComObject<EnumInterface> {
 public:
  using Items = std::vector<ComPtr<Item>>;

  ListEnumerator(std::shared_ptr<const Items> items, std::size_t position)
      : items_(std::move(items)), position_(position) {}

  // A batch needs the count back; one item at a time may go without it.
  HRESULT Next(ULONG count, Item** items, ULONG* fetched) override {
    if (!items || (count != 1 && !fetched)) return E_POINTER;
    ULONG delivered = 0;
    while (delivered < count && position_ < items_->size()) {
      ComPtr<Item> copy = (*items_)[position_++];
      items[delivered++] = copy.Detach();
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

template <class EnumInterface, class Item>
ComPtr<EnumInterface> MakeListEnumerator(std::vector<ComPtr<Item>> items) {
  using Enumerator = ListEnumerator<EnumInterface, Item>;
  return com::MakeCom<Enumerator>(
      std::make_shared<const typename Enumerator::Items>(std::move(items)), 0);
}

}  // namespace korvane::devices
