#include "platform/v4l2/emulation/JsonFields.h"

#include <algorithm>
#include <limits>

#include "platform/v4l2/emulation/PositionedJson.h"

namespace korvane::v4l2::emulation {

[[noreturn]] void Fail(const std::string& at, std::string message) {
  throw DecodeError{at, std::move(message)};
}

std::string Child(const std::string& at, std::string_view key) {
  return at + "/" + EscapePointerToken(key);
}

std::string Child(const std::string& at, std::size_t index) {
  return at + "/" + std::to_string(index);
}

void ExpectObject(const Json& json, const std::string& at,
                  std::initializer_list<std::string_view> known) {
  if (!json.is_object()) Fail(at, "expected an object");
  for (const auto& [key, value] : json.items()) {
    if (std::find(known.begin(), known.end(), key) == known.end()) {
      Fail(Child(at, key), "unknown field \"" + key + "\"");
    }
  }
}

const Json& ExpectArray(const Json& json, const std::string& at, std::size_t minimum,
                        std::size_t maximum) {
  if (!json.is_array()) Fail(at, "expected a list");
  if (json.size() < minimum || json.size() > maximum) {
    Fail(at, "expected a list of " + std::to_string(minimum) + " to " + std::to_string(maximum) +
                 " entries");
  }
  return json;
}

const Json* Member(const Json& object, std::string_view key) {
  const auto found = object.find(std::string(key));
  return found == object.end() || found->is_null() ? nullptr : &*found;
}

const Json& Required(const Json& object, const std::string& at, std::string_view key) {
  const Json* value = Member(object, key);
  if (!value) Fail(at, "\"" + std::string(key) + "\" is missing");
  return *value;
}

std::int64_t Integer(const Json& json, const std::string& at, std::int64_t minimum,
                     std::int64_t maximum) {
  if (json.is_number_unsigned() && json.get<std::uint64_t>() <= std::uint64_t(maximum)) {
    const auto value = static_cast<std::int64_t>(json.get<std::uint64_t>());
    if (value >= minimum) return value;
  } else if (json.is_number_integer() && !json.is_number_unsigned()) {
    const auto value = json.get<std::int64_t>();
    if (value >= minimum && value <= maximum) return value;
  }
  Fail(at, "expected a whole number from " + std::to_string(minimum) + " to " +
               std::to_string(maximum));
}

std::int32_t Int32(const Json& json, const std::string& at) {
  return static_cast<std::int32_t>(Integer(json, at, std::numeric_limits<std::int32_t>::min(),
                                           std::numeric_limits<std::int32_t>::max()));
}

std::uint32_t Dimension(const Json& object, const std::string& at, std::string_view key) {
  return static_cast<std::uint32_t>(Integer(Required(object, at, key), Child(at, key), 1, 65535));
}

bool Boolean(const Json& object, const std::string& at, std::string_view key, bool otherwise) {
  const Json* value = Member(object, key);
  if (!value) return otherwise;
  if (!value->is_boolean()) Fail(Child(at, key), "expected true or false");
  return value->get<bool>();
}

std::string Text(const Json& json, const std::string& at) {
  if (!json.is_string()) Fail(at, "expected a string");
  return json.get<std::string>();
}

std::optional<std::string> OptionalText(const Json& object, const std::string& at,
                                        std::string_view key) {
  const Json* value = Member(object, key);
  if (!value) return std::nullopt;
  return Text(*value, Child(at, key));
}

}  // namespace korvane::v4l2::emulation
