#pragma once
// A JSON document read whole, with the place in the text where each value starts, so that a
// fault found in a value later (a wrong type, an unknown name) is reported with its line and
// column. Built on the streamed reader of the camera files: time and memory grow with the text.

#include <cstddef>
#include <map>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace korvane::v4l2::emulation {

struct PositionedJson {
  nlohmann::ordered_json value;
  // JSON pointer of every value ("/cameras/0/node") -> offset of its first character.
  std::map<std::string, std::size_t> offsets;
};

// Throws sim::JsonSyntaxError with the offset of the fault.
PositionedJson ReadPositionedJson(std::string_view text);

// A member name as one step of a JSON pointer ("~" and "/" escaped).
std::string EscapePointerToken(std::string_view token);

}  // namespace korvane::v4l2::emulation
