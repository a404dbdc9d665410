#pragma once
// Typed reading of the fields of a parsed JSON file: each reader refuses a value that is not
// what its place needs, naming the place by its JSON pointer, so that the fault can be told
// with its line and column.

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace korvane::v4l2::emulation {

using Json = nlohmann::ordered_json;

// A value that is not what its place needs, named by its JSON pointer.
struct DecodeError {
  std::string pointer;
  std::string message;
};

[[noreturn]] void Fail(const std::string& at, std::string message);
std::string Child(const std::string& at, std::string_view key);
std::string Child(const std::string& at, std::size_t index);

// Refuses members the place does not know, so a misspelt name does not go unnoticed.
void ExpectObject(const Json& json, const std::string& at,
                  std::initializer_list<std::string_view> known);
const Json& ExpectArray(const Json& json, const std::string& at, std::size_t minimum,
                        std::size_t maximum);
// nullptr when missing or null.
const Json* Member(const Json& object, std::string_view key);
const Json& Required(const Json& object, const std::string& at, std::string_view key);

std::int64_t Integer(const Json& json, const std::string& at, std::int64_t minimum,
                     std::int64_t maximum);
std::int32_t Int32(const Json& json, const std::string& at);
// A picture dimension, 1 to 65535.
std::uint32_t Dimension(const Json& object, const std::string& at, std::string_view key);
bool Boolean(const Json& object, const std::string& at, std::string_view key, bool otherwise);
std::string Text(const Json& json, const std::string& at);
std::optional<std::string> OptionalText(const Json& object, const std::string& at,
                                        std::string_view key);

}  // namespace korvane::v4l2::emulation
