#include "platform/sim/SimPages.h"

#include <algorithm>

#include "camera/FDirectShow9.h"

namespace korvane::sim {

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

}  // namespace korvane::sim
