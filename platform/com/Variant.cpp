#include "platform/com/Variant.h"

#include <charconv>

#include "platform/com/WideString.h"

void VariantInit(VARIANT* variant) {
  variant->vt = VT_EMPTY;
  variant->lVal = 0;
}

HRESULT VariantClear(VARIANT* variant) {
  if (!variant) return E_POINTER;
  if (variant->vt == VT_BSTR) SysFreeString(variant->bstrVal);
  VariantInit(variant);
  return S_OK;
}

namespace korvane::com {

std::string Variant::AsString() const {
  if (value_.vt != VT_BSTR || !value_.bstrVal) return {};
  return Utf16ToUtf8(std::u16string_view(value_.bstrVal, SysStringLen(value_.bstrVal)));
}

LONG Variant::AsInteger() const {
  if (value_.vt == VT_I4) return value_.lVal;
  const std::string text = AsString();
  LONG result = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), result);
  return error == std::errc{} && end == text.data() + text.size() ? result : 0;
}

}  // namespace korvane::com
