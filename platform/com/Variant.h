#pragma once
// The VARIANT a property bag reads into: empty, a 32-bit integer or a BSTR.

#include <string>

#include "platform/com/ComTypes.h"

using VARTYPE = WORD;
inline constexpr VARTYPE VT_EMPTY = 0;
inline constexpr VARTYPE VT_I4 = 3;
inline constexpr VARTYPE VT_BSTR = 8;

struct VARIANT {
  VARTYPE vt;
  union {
    LONG lVal;
    BSTR bstrVal;
  };
};

void VariantInit(VARIANT* variant);
HRESULT VariantClear(VARIANT* variant);

namespace korvane::com {

// Owns a VARIANT and clears it on every path.
class Variant {
 public:
  Variant() { VariantInit(&value_); }
  ~Variant() { VariantClear(&value_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;

  VARIANT* operator&() { return &value_; }
  const VARIANT& get() const { return value_; }

  // The string a bag returned as UTF-8; empty for any other type.
  std::string AsString() const;
  // The value converted to a 32-bit integer: VT_I4 as is, a decimal BSTR parsed, else 0.
  LONG AsInteger() const;

 private:
  VARIANT value_;
};

}  // namespace korvane::com
