#pragma once
// Parses JSON and remembers where in the text each value starts, so that a fault found in a
// value later (a wrong type, a name nobody knows) can be reported with its line and column,
// as a syntax error is.

#include <cstddef>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace korvane::sim {

// A fault at a place in a text: byte offset, and the line and column (both from 1) it is on.
struct TextPlace {
  std::size_t offset = 0;
  std::size_t line = 1;
  std::size_t column = 1;
};
TextPlace PlaceOf(std::string_view text, std::size_t offset);

// A member name as one step of a JSON pointer ("~" and "/" escaped).
std::string EscapePointerToken(std::string_view token);

class JsonSyntaxError : public std::runtime_error {
 public:
  JsonSyntaxError(std::size_t offset, const std::string& message)
      : std::runtime_error(message), offset_(offset) {}
  std::size_t Offset() const { return offset_; }

 private:
  std::size_t offset_;
};

struct PositionedJson {
  nlohmann::ordered_json value;
  // JSON pointer of every value ("/devices/0/width") -> offset of its first character.
  std::map<std::string, std::size_t> offsets;
};

// Throws JsonSyntaxError with the offset of the fault.
PositionedJson ParseJsonWithPositions(std::string_view text);

}  // namespace korvane::sim
