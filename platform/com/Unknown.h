#pragma once
// Counted references: IUnknown, the interface-id trait, the ComPtr smart pointer and the
// ComObject base that implements reference counting and QueryInterface for our objects.

#include <atomic>
#include <tuple>
#include <cstddef>
#include <type_traits>
#include <utility>

#include "platform/com/ComTypes.h"
#include "platform/com/Guid.h"

// Every interface names its id through this trait; KORVANE_INTERFACE fills it in.
template <class Interface>
struct ComIid;

// Declares IID_<name> and binds it to the interface type for QueryInterface and ComPtr::As.
#define KORVANE_INTERFACE_ID(Interface, text)          \
  struct Interface;                                    \
  inline constexpr IID IID_##Interface = MakeGuid(text); \
  template <>                                          \
  struct ComIid<Interface> {                           \
    static constexpr const IID& value = IID_##Interface; \
  }

KORVANE_INTERFACE_ID(IUnknown, "00000000-0000-0000-C000-000000000046");

struct IUnknown {
  using ComBase = void;
  virtual HRESULT QueryInterface(REFIID riid, void** ppvObject) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  ~IUnknown() = default;  // objects end through Release, never through delete on an interface
};

template <class Interface>
inline constexpr const IID& IidOf = ComIid<Interface>::value;

namespace korvane::com {

// Objects built on ComObject that are still alive; tests use it to prove every reference
// was given back.
std::size_t LiveObjectCount();

namespace detail {
void CountObjectCreated();
void CountObjectDestroyed();
}  // namespace detail

}  // namespace korvane::com

// A counted reference with the ownership rules of the platform: it holds one reference,
// copies add one, destruction releases it.
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  explicit ComPtr(T* pointer) : pointer_(pointer) { InternalAddRef(); }  // adds a reference
  ComPtr(const ComPtr& other) : pointer_(other.pointer_) { InternalAddRef(); }
  ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  ComPtr(const ComPtr<U>& other) : pointer_(other.Get()) {
    InternalAddRef();
  }
  ~ComPtr() { InternalRelease(); }

  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(pointer_, other.pointer_);
    return *this;
  }
  ComPtr& operator=(std::nullptr_t) {
    Reset();
    return *this;
  }

  // Takes over a reference the caller already owns (as an out parameter delivered it).
  static ComPtr Attach(T* pointer) {
    ComPtr result;
    result.pointer_ = pointer;
    return result;
  }
  // Gives up the reference without releasing it.
  T* Detach() { return std::exchange(pointer_, nullptr); }

  void Reset() { InternalRelease(); }
  T* Get() const { return pointer_; }
  T* operator->() const { return pointer_; }
  T& operator*() const { return *pointer_; }
  explicit operator bool() const { return pointer_ != nullptr; }

  // For out parameters: releases what is held and hands out the slot.
  T** ReleaseAndGetAddressOf() {
    InternalRelease();
    return &pointer_;
  }
  void** ReleaseAndGetVoidAddressOf() { return reinterpret_cast<void**>(ReleaseAndGetAddressOf()); }

  // QueryInterface into another counted reference.
  template <class U>
  HRESULT As(ComPtr<U>* target) const {
    if (!pointer_) return E_POINTER;
    return pointer_->QueryInterface(IidOf<U>, target->ReleaseAndGetVoidAddressOf());
  }
  template <class U>
  ComPtr<U> As() const {
    ComPtr<U> target;
    As(&target);
    return target;
  }

  friend bool operator==(const ComPtr& a, const ComPtr& b) { return a.pointer_ == b.pointer_; }
  friend bool operator==(const ComPtr& a, std::nullptr_t) { return a.pointer_ == nullptr; }

 private:
  void InternalAddRef() {
    if (pointer_) pointer_->AddRef();
  }
  void InternalRelease() {
    if (T* old = std::exchange(pointer_, nullptr)) old->Release();
  }

  T* pointer_ = nullptr;
};

namespace korvane::com {

namespace detail {
template <class Interface>
bool InterfaceMatches(REFIID iid) {
  if (iid == IidOf<Interface>) return true;
  using Base = typename Interface::ComBase;
  if constexpr (!std::is_void_v<Base>) return InterfaceMatches<Base>(iid);
  return false;
}
}  // namespace detail

// Implements IUnknown for an object that exposes the given interfaces (and, through their
// ComBase chain, the interfaces they derive from). Created with MakeCom.
template <class... Interfaces>
class ComObject : public Interfaces... {
 public:
  ComObject() { detail::CountObjectCreated(); }
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (iid == IID_IUnknown) {
      *object = static_cast<IUnknown*>(static_cast<FirstInterface*>(this));
    } else {
      (TryInterface<Interfaces>(iid, object) || ...);
    }
    if (!*object) return QueryExtraInterface(iid, object);
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++references_; }
  ULONG Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

 protected:
  virtual ~ComObject() { detail::CountObjectDestroyed(); }
  // Lets an object refuse or add interfaces beyond its static list; the default has none.
  // An override sets *object and adds the reference itself.
  virtual HRESULT QueryExtraInterface(REFIID, void**) { return E_NOINTERFACE; }

 private:
  using FirstInterface = std::tuple_element_t<0, std::tuple<Interfaces...>>;
  template <class Interface>
  bool TryInterface(REFIID iid, void** object) {
    if (!detail::InterfaceMatches<Interface>(iid)) return false;
    *object = static_cast<Interface*>(this);
    return true;
  }

  std::atomic<ULONG> references_{1};
};

// Creates an object whose single initial reference the returned pointer owns.
template <class T, class... Args>
ComPtr<T> MakeCom(Args&&... args) {
  return ComPtr<T>::Attach(new T(std::forward<Args>(args)...));
}

}  // namespace korvane::com
