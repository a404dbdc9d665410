#pragma once
// The C library's own function behind one that this library puts in front of it, found once
// per call site. The program's own calls that are not about emulated cameras, and every call
// the emulated kernel makes itself, go there.

#include <dlfcn.h>

namespace korvane::v4l2::preload {

template <class Function>
Function Next(Function /*ours*/, const char* name) {
  return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

}  // namespace korvane::v4l2::preload

// The next definition of a C library function, typed as our own: KORVANE_NEXT(open)(...).
#define KORVANE_NEXT(function)                                                       \
  ([]() {                                                                            \
    static const auto next = ::korvane::v4l2::preload::Next(&::function, #function); \
    return next;                                                                     \
  }())
