#pragma once
// A JSON document read whole, and the place in the text where a value starts, so that a fault
// found in a value later (a wrong type, an unknown name) is reported with its line and column.
// Built on the streamed reader of the camera files: time and memory grow with the text. The
// places are found only for a fault, by reading the text again: kept for every value, they took
// many times the memory of the document itself.

#include <cstddef>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace korvane::v4l2::emulation {

struct PositionedJson {
  nlohmann::ordered_json value;
};

// Throws sim::JsonSyntaxError with the offset of the fault.
PositionedJson ReadPositionedJson(std::string_view text);

// The offset of the first character of the value a JSON pointer ("/cameras/0/node") names in a
// text ReadPositionedJson has read, or of the nearest enclosing value that is there.
std::size_t OffsetOfPointer(std::string_view text, const std::string& pointer);

// A member name as one step of a JSON pointer ("~" and "/" escaped).
std::string EscapePointerToken(std::string_view token);

}  // namespace korvane::v4l2::emulation
