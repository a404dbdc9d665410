#include "platform/com/MediaTypes.h"

#include <cstring>

#include "platform/com/TaskMemory.h"

namespace korvane::com {

HRESULT CopyMediaType(AM_MEDIA_TYPE* target, const AM_MEDIA_TYPE& source) {
  if (!target) return E_POINTER;
  *target = source;
  target->pbFormat = nullptr;
  if (source.cbFormat != 0 && source.pbFormat) {
    target->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(source.cbFormat));
    if (!target->pbFormat) {
      target->cbFormat = 0;
      target->pUnk = nullptr;
      return E_OUTOFMEMORY;
    }
    std::memcpy(target->pbFormat, source.pbFormat, source.cbFormat);
  }
  if (target->pUnk) target->pUnk->AddRef();
  return S_OK;
}

AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE& source) {
  auto* record = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
  if (!record) return nullptr;
  if (FAILED(CopyMediaType(record, source))) {
    CoTaskMemFree(record);
    return nullptr;
  }
  return record;
}

}  // namespace korvane::com
