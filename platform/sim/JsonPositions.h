#pragma once
// Reads JSON as a stream of values, each with the place in the text where it starts, so that a
// fault found in a value (a wrong type, a name nobody knows) is reported with its line and
// column, as a syntax error is. Nothing is kept but what the receivers build from the values:
// reading takes time and memory in proportion to the text, whatever its shape.

#include <cstddef>
#include <memory>
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

class JsonSyntaxError : public std::runtime_error {
 public:
  JsonSyntaxError(std::size_t offset, const std::string& message)
      : std::runtime_error(message), offset_(offset) {}
  std::size_t Offset() const { return offset_; }

 private:
  std::size_t offset_;
};

enum class JsonContainer { Array, Object };

// Receives the members of one array or object (or the one value of the whole text) in the
// order they come. `at` is the offset of a value's first character.
class JsonSink {
 public:
  virtual ~JsonSink() = default;
  // The name of the member whose value comes next (objects only).
  virtual void Key(std::string key) = 0;
  // A null, boolean, number or string.
  virtual void Scalar(const nlohmann::ordered_json& value, std::size_t at) = 0;
  // An array or object begins; the returned sink receives its members.
  virtual std::unique_ptr<JsonSink> Open(JsonContainer kind, std::size_t at) = 0;
  // The container this sink was opened for has ended.
  virtual void Close() {}
};

// Containers may nest this deep; a text that nests deeper is refused where it goes too deep.
inline constexpr std::size_t kMaxJsonDepth = 64;

// Hands the values of the text to `top` as they are read. Throws JsonSyntaxError with the
// offset of the fault for a text that is not JSON or nests too deep; whatever a sink throws
// passes through and ends the reading.
void ReadJson(std::string_view text, JsonSink& top);

}  // namespace korvane::sim
