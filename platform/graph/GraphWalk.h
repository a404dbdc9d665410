#pragma once
// Questions about filters and pins that the graph and the capture graph builder ask through the
// platform's interfaces alone, so they work with any filter, ours or a device's.

#include <optional>
#include <vector>

#include "platform/DirectShow9.h"

namespace korvane::graph {

std::vector<ComPtr<IPin>> PinsOf(IBaseFilter* filter);
std::optional<PIN_DIRECTION> DirectionOf(IPin* pin);
ComPtr<IBaseFilter> FilterOf(IPin* pin);
ComPtr<IPin> PeerOf(IPin* pin);
// The first pin of the direction that is not connected; nullptr when there is none.
ComPtr<IPin> FirstFreePin(IBaseFilter* filter, PIN_DIRECTION direction);
bool IsInGraph(IBaseFilter* filter, IFilterGraph* graph);
std::optional<CLSID> ClassOf(IBaseFilter* filter);
// The pin's category (PIN_CATEGORY_CAPTURE, ...) as its property set reports it.
std::optional<GUID> CategoryOf(IPin* pin);
// Whether the pin offers a type of the major type; any pin does for a null major type, and so
// does a pin that cannot list its types.
bool OffersMajorType(IPin* pin, const GUID* majorType);

}  // namespace korvane::graph
