#include "platform/os/PropertyPage.h"

namespace korvane::os {

HRESULT DescribedPropertyPage::SetObjects(ULONG count, IUnknown** objects) {
  if (count > 0 && !objects) return E_POINTER;
  controls_.clear();
  bindings_.clear();
  // The page serves the first object that fits; the frame opens one object at a time.
  HRESULT result = E_NOINTERFACE;
  for (ULONG i = 0; i < count; ++i) {
    if (!objects[i]) continue;
    result = Build(*objects[i]);
    if (SUCCEEDED(result)) return result;
    controls_.clear();
    bindings_.clear();
  }
  return result;
}

HRESULT DescribedPropertyPage::GetTitle(std::string* title) {
  if (!title) return E_POINTER;
  *title = title_;
  return S_OK;
}

HRESULT DescribedPropertyPage::GetControls(std::vector<PropertyPageControl>* controls) {
  if (!controls) return E_POINTER;
  *controls = controls_;
  return S_OK;
}

HRESULT DescribedPropertyPage::GetValue(ULONG control, LONG* value) {
  if (!value) return E_POINTER;
  if (control >= bindings_.size() || !bindings_[control].get) return E_INVALIDARG;
  return bindings_[control].get(value);
}

HRESULT DescribedPropertyPage::SetValue(ULONG control, LONG value) {
  if (control >= bindings_.size() || !bindings_[control].set) return E_INVALIDARG;
  return bindings_[control].set(value);
}

ULONG DescribedPropertyPage::Add(PropertyPageControl control, Binding binding) {
  controls_.push_back(std::move(control));
  bindings_.push_back(std::move(binding));
  return static_cast<ULONG>(controls_.size() - 1);
}

}  // namespace korvane::os
