#include "platform/devices/PropertyBag.h"

#include <algorithm>
#include <string_view>
#include <utility>

namespace korvane::devices {
namespace {

// Field names compare without regard to case, as the names of registry values do.
bool SameName(std::u16string_view a, std::u16string_view b) {
  auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c - u'A' + u'a') : c; };
  return std::ranges::equal(a, b, [&](char16_t x, char16_t y) { return lower(x) == lower(y); });
}

HRESULT ReadString(const std::optional<std::string>& field, VARIANT* target) {
  if (!field) return E_INVALIDARG;
  const std::u16string wide = com::Utf8ToUtf16(*field);
  BSTR text = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  if (!text) return E_OUTOFMEMORY;
  target->vt = VT_BSTR;
  target->bstrVal = text;
  return S_OK;
}

class PropertyBag final : public com::ComObject<IPropertyBag> {
 public:
  explicit PropertyBag(DeviceProperties properties) : properties_(std::move(properties)) {}

  HRESULT Read(LPCOLESTR name, VARIANT* target, IErrorLog*) override {
    if (!name || !target) return E_POINTER;
    // The caller's variant may hold an earlier value; it is replaced, not leaked.
    VariantClear(target);
    const std::u16string_view wanted(name, com::WideLength(name));
    if (SameName(wanted, u"FriendlyName")) return ReadString(properties_.friendlyName, target);
    if (SameName(wanted, u"DevicePath")) return ReadString(properties_.devicePath, target);
    if (SameName(wanted, u"Description")) return ReadString(properties_.description, target);
    if (SameName(wanted, u"WaveInID")) {
      if (!properties_.waveInId) return E_INVALIDARG;
      target->vt = VT_I4;
      target->lVal = *properties_.waveInId;
      return S_OK;
    }
    return E_INVALIDARG;
  }

  // A device's bag describes the hardware; nobody writes to it.
  HRESULT Write(LPCOLESTR, VARIANT*) override { return E_ACCESSDENIED; }

 private:
  const DeviceProperties properties_;
};

}  // namespace

ComPtr<IPropertyBag> MakePropertyBag(DeviceProperties properties) {
  return com::MakeCom<PropertyBag>(std::move(properties));
}

}  // namespace korvane::devices
