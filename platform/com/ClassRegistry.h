#pragma once
// CoCreateInstance over a registry of class ids: providers register the classes they
// implement (the device enumerator, graph objects), callers create them by id.

#include <functional>
#include <optional>

#include "platform/com/Unknown.h"

using ClassFactory = std::function<HRESULT(REFIID iid, void** object)>;

// Creates an object of a registered class. No outer object is supported
// (CLASS_E_NOAGGREGATION); an unknown class gives REGDB_E_CLASSNOTREG.
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, void** object);

namespace korvane::com {

// Registers (or replaces) the factory of a class id.
void RegisterClass(const CLSID& clsid, ClassFactory factory);
void UnregisterClass(const CLSID& clsid);
// Registers the factory only when the class has no registration at all, so the platform's
// default classes never replace a stand-in, nor a class a test has left out on purpose.
void RegisterClassUnlessSet(const CLSID& clsid, ClassFactory factory);

// Registers a class for the lifetime of this object and restores what was there before;
// tests use it to stand in a class for one case. An empty factory leaves the class out
// (REGDB_E_CLASSNOTREG) for that time, whatever registers defaults meanwhile.
class ScopedClassRegistration {
 public:
  ScopedClassRegistration(const CLSID& clsid, ClassFactory factory);
  ~ScopedClassRegistration();
  ScopedClassRegistration(const ScopedClassRegistration&) = delete;
  ScopedClassRegistration& operator=(const ScopedClassRegistration&) = delete;

 private:
  CLSID clsid_;
  std::optional<ClassFactory> previous_;  // nullopt: the class had no registration
};

// A factory that creates a fresh T (a ComObject) for every call and queries it for iid.
template <class T, class... Args>
ClassFactory FactoryOf(Args... args) {
  return [=](REFIID iid, void** object) -> HRESULT {
    ComPtr<T> instance = MakeCom<T>(args...);
    return instance->QueryInterface(iid, object);
  };
}

}  // namespace korvane::com
