#pragma once
// The one walk over a device category that every device list and lookup of the component
// uses. Nothing here raises: an unavailable enumerator or an unreadable device only makes
// the walk shorter.

#include <functional>
#include <optional>
#include <string>

#include "camera/FDirectShow9.h"

namespace korvane::camera {

// Calls Visit for every device of Category whose property bag opens, in enumeration order,
// until Visit returns true.
void ForEachDevice(const GUID& Category,
                   const std::function<bool(IMoniker& Moniker, IPropertyBag& Bag)>& Visit);

// A property of the bag as text; nullopt when it cannot be read.
std::optional<std::string> ReadBagString(IPropertyBag& Bag, LPCOLESTR Name);
// A property converted to a 32-bit integer; 0 when it cannot be read.
LONG ReadBagInteger(IPropertyBag& Bag, LPCOLESTR Name);

// The first device of Category for which one of the Properties (tried in the given order)
// reads exactly Name and whose moniker binds to a filter.
ComPtr<IBaseFilter> BindFirstMatching(const GUID& Category, const std::string& Name,
                                      std::initializer_list<LPCOLESTR> Properties);

}  // namespace korvane::camera
