#include "platform/com/ClassRegistry.h"

#include <map>
#include <mutex>

namespace korvane::com {
namespace {

struct Registry {
  std::mutex mutex;
  std::map<CLSID, ClassFactory> factories;
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

ClassFactory Lookup(const CLSID& clsid) {
  Registry& registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  const auto found = registry.factories.find(clsid);
  return found == registry.factories.end() ? ClassFactory{} : found->second;
}

}  // namespace

void RegisterClass(const CLSID& clsid, ClassFactory factory) {
  Registry& registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  if (factory)
    registry.factories[clsid] = std::move(factory);
  else
    registry.factories.erase(clsid);
}

void UnregisterClass(const CLSID& clsid) { RegisterClass(clsid, {}); }

ScopedClassRegistration::ScopedClassRegistration(const CLSID& clsid, ClassFactory factory)
    : clsid_(clsid), previous_(Lookup(clsid)) {
  RegisterClass(clsid, std::move(factory));
}

ScopedClassRegistration::~ScopedClassRegistration() { RegisterClass(clsid_, std::move(previous_)); }

}  // namespace korvane::com

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD /*context*/, REFIID iid,
                         void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  // The factory is called outside the lock: creating an object may create others.
  const ClassFactory factory = korvane::com::Lookup(clsid);
  if (!factory) return REGDB_E_CLASSNOTREG;
  return factory(iid, object);
}
