#include "platform/com/ClassRegistry.h"

#include <map>
#include <mutex>

namespace korvane::com {
namespace {

// A class with an entry whose factory is empty is registered as absent: a test has left it out.
struct Registry {
  std::mutex mutex;
  std::map<CLSID, ClassFactory> factories;
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

std::optional<ClassFactory> Entry(const CLSID& clsid) {
  Registry& registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  const auto found = registry.factories.find(clsid);
  if (found == registry.factories.end()) return std::nullopt;
  return found->second;
}

void SetEntry(const CLSID& clsid, std::optional<ClassFactory> factory) {
  Registry& registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  if (factory)
    registry.factories[clsid] = std::move(*factory);
  else
    registry.factories.erase(clsid);
}

ClassFactory Lookup(const CLSID& clsid) {
  return Entry(clsid).value_or(ClassFactory{});
}

}  // namespace

void RegisterClass(const CLSID& clsid, ClassFactory factory) {
  SetEntry(clsid, factory ? std::optional<ClassFactory>(std::move(factory)) : std::nullopt);
}

void UnregisterClass(const CLSID& clsid) {
  SetEntry(clsid, std::nullopt);
}

void RegisterClassUnlessSet(const CLSID& clsid, ClassFactory factory) {
  Registry& registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  registry.factories.try_emplace(clsid, std::move(factory));
}

ScopedClassRegistration::ScopedClassRegistration(const CLSID& clsid, ClassFactory factory)
    : clsid_(clsid), previous_(Entry(clsid)) {
  SetEntry(clsid, std::move(factory));
}

ScopedClassRegistration::~ScopedClassRegistration() {
  SetEntry(clsid_, std::move(previous_));
}

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
