// OleCreatePropertyFrame over the frame that ui/ installs.

#include "platform/os/PropertyFrame.h"

#include <mutex>
#include <new>

#include "platform/DirectShow9.h"

namespace korvane::os {
namespace {

std::mutex& HookMutex() {
  static std::mutex mutex;
  return mutex;
}

PropertyFrameHook& InstalledHook() {
  static PropertyFrameHook hook;
  return hook;
}

PropertyFrameHook CurrentHook() {
  std::lock_guard lock(HookMutex());
  return InstalledHook();
}

}  // namespace

PropertyFrameHook SetPropertyFrameHook(PropertyFrameHook hook) {
  std::lock_guard lock(HookMutex());
  std::swap(InstalledHook(), hook);
  return hook;
}

}  // namespace korvane::os

HRESULT OleCreatePropertyFrame(HWND /*hwndOwner*/, UINT /*x*/, UINT /*y*/, LPCOLESTR lpszCaption,
                               ULONG cObjects, IUnknown** ppUnk, ULONG cPages,
                               const CLSID* pPageClsID, LCID /*lcid*/, DWORD /*dwReserved*/,
                               LPVOID /*pvReserved*/) {
  using namespace korvane;
  if ((cObjects > 0 && !ppUnk) || (cPages > 0 && !pPageClsID)) return E_POINTER;
  // The frame places itself over the program's active window; owner and position, which
  // name a native window and its coordinates, have nothing to say here.
  const os::PropertyFrameHook frame = os::CurrentHook();
  if (!frame) return E_NOTIMPL;
  try {
    os::PropertyFrameRequest request;
    if (lpszCaption) request.caption = com::Utf16ToUtf8(lpszCaption);
    for (ULONG i = 0; i < cObjects; ++i) request.objects.emplace_back(ppUnk[i]);
    for (ULONG i = 0; i < cPages; ++i) {
      ComPtr<IPropertyPageDescription> page;
      HRESULT result =
          CoCreateInstance(pPageClsID[i], nullptr, CLSCTX_INPROC_SERVER,
                           IID_IPropertyPageDescription, page.ReleaseAndGetVoidAddressOf());
      if (SUCCEEDED(result) && !page) result = E_NOINTERFACE;
      if (FAILED(result)) return result;
      result = page->SetObjects(cObjects, ppUnk);
      if (FAILED(result)) return result;
      request.pages.push_back(std::move(page));
    }
    return frame(request);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    // Nothing may leave this C-style entry point as an exception.
    return E_UNEXPECTED;
  }
}
