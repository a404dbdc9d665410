#pragma once

#include "platform/com/Unknown.h"

namespace korvane::com {

// An interface implemented inside another object: it shares that object's identity and
// lifetime, as every interface of one COM object must.
template <class Interface>
class DelegatingPart : public Interface {
 public:
  explicit DelegatingPart(IUnknown& owner) : owner_(owner) {}
  HRESULT QueryInterface(REFIID iid, void** object) override {
    return owner_.QueryInterface(iid, object);
  }
  ULONG AddRef() override { return owner_.AddRef(); }
  ULONG Release() override { return owner_.Release(); }

 protected:
  ~DelegatingPart() = default;

 private:
  IUnknown& owner_;
};

}  // namespace korvane::com
