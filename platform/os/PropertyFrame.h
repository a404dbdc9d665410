#pragma once
// The platform's property frame: OleCreatePropertyFrame resolves the page class ids to page
// objects and hands them, with the caption and the objects, to the frame installed at
// start-up. The frame needs a window, so ui/ provides it and app/ installs it; tests can
// stand in their own.

#include <functional>
#include <string>
#include <vector>

#include "platform/os/PropertyPage.h"

namespace korvane::os {

struct PropertyFrameRequest {
  std::string caption;  // UTF-8
  std::vector<ComPtr<IUnknown>> objects;
  // In the order of the page ids; every page has already been given the objects.
  std::vector<ComPtr<IPropertyPageDescription>> pages;
};

// Shows the pages modally and returns when the user closed the frame: S_OK, or the failure
// that kept the frame from showing.
using PropertyFrameHook = std::function<HRESULT(const PropertyFrameRequest& request)>;

// Installs the frame and returns the one installed before (empty: none, and
// OleCreatePropertyFrame answers E_NOTIMPL).
PropertyFrameHook SetPropertyFrameHook(PropertyFrameHook hook);

// Installs a frame for the object's lifetime and puts the previous one back.
class ScopedPropertyFrameHook {
 public:
  explicit ScopedPropertyFrameHook(PropertyFrameHook hook)
      : previous_(SetPropertyFrameHook(std::move(hook))) {}
  ~ScopedPropertyFrameHook() { SetPropertyFrameHook(std::move(previous_)); }
  ScopedPropertyFrameHook(const ScopedPropertyFrameHook&) = delete;
  ScopedPropertyFrameHook& operator=(const ScopedPropertyFrameHook&) = delete;

 private:
  PropertyFrameHook previous_;
};

}  // namespace korvane::os
