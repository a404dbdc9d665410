#pragma once
// The pieces a JSON file format is built from. A codec reads and writes one kind of value; a
// record is described once, as a table of fields (name, member, codec), and reading and
// writing both walk that table, so the two cannot drift apart. Reading is streamed: the codec
// of a container opens a sink that receives its members as the text is read, so nothing is
// kept but the values being built.
//
// Every codec has Encode(value) and Decode(json, at) for a single value; a codec of a
// container also has Open(target, kind, at), and its Decode refuses a single value.

#include <cstddef>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/sim/JsonPositions.h"

namespace korvane::sim::codec {

using Json = nlohmann::ordered_json;

// A value that is not what its field needs, at the offset where the value starts.
struct DecodeError {
  std::size_t at;
  std::string message;
};

[[noreturn]] inline void Fail(std::size_t at, std::string message) {
  throw DecodeError{at, std::move(message)};
}

// Reads a container with a codec into target. A codec of single values refuses it with its
// own message ("expected a whole number ...").
template <class Codec, class T>
std::unique_ptr<JsonSink> OpenWith(const Codec& codec, T& target, JsonContainer kind,
                                   std::size_t at) {
  if constexpr (requires { codec.Open(target, kind, at); }) {
    return codec.Open(target, kind, at);
  } else {
    static_cast<void>(
        codec.Decode(kind == JsonContainer::Object ? Json::object() : Json::array(), at));
    Fail(at, "expected a single value");
  }
}

// Adds a member whose name is known to be new. The object's own insert compares the name with
// every member first, which makes writing a large object take the square of its size.
inline void AppendMember(Json& object, std::string name, Json value) {
  using Members = Json::object_t::Container;
  static_cast<Members&>(object.get_ref<Json::object_t&>())
      .emplace_back(std::move(name), std::move(value));
}

// --- single values ----------------------------------------------------------------------------

template <class T>
struct Number {
  long long min = static_cast<long long>(std::numeric_limits<T>::min());
  unsigned long long max = static_cast<unsigned long long>(std::numeric_limits<T>::max());

  Json Encode(T value) const { return value; }
  T Decode(const Json& json, std::size_t at) const {
    if (json.is_number_unsigned()) {
      const auto value = json.get<unsigned long long>();
      if (value <= max && (min <= 0 || value >= static_cast<unsigned long long>(min))) {
        return static_cast<T>(value);
      }
    } else if (json.is_number_integer()) {
      const auto value = json.get<long long>();
      if (value >= min && (value < 0 || static_cast<unsigned long long>(value) <= max)) {
        return static_cast<T>(value);
      }
    }
    Fail(at, "expected a whole number from " + std::to_string(min) + " to " + std::to_string(max));
  }
};

struct Flag {
  Json Encode(bool value) const { return value; }
  bool Decode(const Json& json, std::size_t at) const {
    if (!json.is_boolean()) Fail(at, "expected true or false");
    return json.get<bool>();
  }
};

struct Text {
  Json Encode(const std::string& value) const { return value; }
  std::string Decode(const Json& json, std::size_t at) const {
    if (!json.is_string()) Fail(at, "expected a string");
    return json.get<std::string>();
  }
};

template <class Inner>
struct Optional {
  Inner inner;
  template <class T>
  Json Encode(const std::optional<T>& value) const {
    return value ? inner.Encode(*value) : Json(nullptr);
  }
  auto Decode(const Json& json, std::size_t at) const
      -> std::optional<decltype(inner.Decode(json, at))> {
    if (json.is_null()) return std::nullopt;
    return inner.Decode(json, at);
  }
  template <class T>
  std::unique_ptr<JsonSink> Open(std::optional<T>& target, JsonContainer kind,
                                 std::size_t at) const {
    return OpenWith(inner, target.emplace(), kind, at);
  }
};

// --- records ----------------------------------------------------------------------------------

template <class Owner, class T, class Codec>
struct Field {
  const char* name;
  T Owner::*member;
  Codec codec;
  bool always = false;  // written even when it holds its default
};

template <class Owner, class T, class Codec>
constexpr Field<Owner, T, Codec> F(const char* name, T Owner::*member, Codec codec,
                                   bool always = false) {
  return {name, member, codec, always};
}

// Specialised for each record type: static auto Fields() gives the tuple of its fields.
template <class T>
struct Record;

template <class T>
auto FieldsOf() {
  return Record<T>::Fields();
}

// Receives the members of a record's object; each goes to the field of its name.
template <class T>
class RecordSink final : public JsonSink {
 public:
  explicit RecordSink(T& target) : target_(target) {}

  void Key(std::string key) override { key_ = std::move(key); }
  void Scalar(const Json& value, std::size_t at) override {
    WithField(at,
              [&](const auto& field) { target_.*field.member = field.codec.Decode(value, at); });
  }
  std::unique_ptr<JsonSink> Open(JsonContainer kind, std::size_t at) override {
    std::unique_ptr<JsonSink> sink;
    WithField(at, [&](const auto& field) {
      sink = OpenWith(field.codec, target_.*field.member, kind, at);
    });
    return sink;
  }

 private:
  template <class Action>
  void WithField(std::size_t at, const Action& action) {
    const bool known = std::apply(
        [&](const auto&... field) {
          return ((key_ == field.name && (action(field), true)) || ...);
        },
        FieldsOf<T>());
    if (!known) Fail(at, "unknown field \"" + key_ + "\" (known: " + FieldNames() + ")");
  }

  static std::string FieldNames() {
    std::string names;
    std::apply(
        [&](const auto&... field) {
          ((names += (names.empty() ? "" : ", ") + std::string(field.name)), ...);
        },
        FieldsOf<T>());
    return names;
  }

  T& target_;
  std::string key_;
};

template <class T>
struct Object {
  Json Encode(const T& value) const {
    static const T defaults{};
    Json json = Json::object();
    std::apply(
        [&](const auto&... field) {
          ((field.always || !(value.*field.member == defaults.*field.member)
                ? AppendMember(json, field.name, field.codec.Encode(value.*field.member))
                : void()),
           ...);
        },
        FieldsOf<T>());
    return json;
  }
  T Decode(const Json&, std::size_t at) const { Fail(at, "expected an object"); }
  std::unique_ptr<JsonSink> Open(T& target, JsonContainer kind, std::size_t at) const {
    if (kind != JsonContainer::Object) Fail(at, "expected an object");
    target = T{};  // a record given twice: the last one counts, whole
    return std::make_unique<RecordSink<T>>(target);
  }
};

// --- lists ------------------------------------------------------------------------------------

template <class Inner, class T>
class ElementSink final : public JsonSink {
 public:
  ElementSink(Inner inner, std::vector<T>& target) : inner_(std::move(inner)), target_(target) {}

  void Key(std::string) override {}
  void Scalar(const Json& value, std::size_t at) override {
    target_.push_back(inner_.Decode(value, at));
  }
  std::unique_ptr<JsonSink> Open(JsonContainer kind, std::size_t at) override {
    // The element is complete before the next one is added, so the reference stays good.
    return OpenWith(inner_, target_.emplace_back(), kind, at);
  }

 private:
  Inner inner_;
  std::vector<T>& target_;
};

template <class Inner>
struct List {
  Inner inner;
  template <class T>
  Json Encode(const std::vector<T>& values) const {
    Json json = Json::array();
    for (const T& value : values) json.push_back(inner.Encode(value));
    return json;
  }
  auto Decode(const Json& json, std::size_t at) const
      -> std::vector<decltype(inner.Decode(json, at))> {
    Fail(at, "expected a list");
  }
  template <class T>
  std::unique_ptr<JsonSink> Open(std::vector<T>& target, JsonContainer kind, std::size_t at) const {
    if (kind != JsonContainer::Array) Fail(at, "expected a list");
    target.clear();
    return std::make_unique<ElementSink<Inner, T>>(inner, target);
  }
};

// --- maps -------------------------------------------------------------------------------------

// Receives an object whose members are entries of a map: slot(key, at) checks the member's
// name and gives the entry its value is read into.
template <class Codec, class Slot>
class EntrySink final : public JsonSink {
 public:
  EntrySink(Codec codec, Slot slot) : codec_(std::move(codec)), slot_(std::move(slot)) {}

  void Key(std::string key) override { key_ = std::move(key); }
  void Scalar(const Json& value, std::size_t at) override {
    auto& entry = slot_(key_, at);
    entry = codec_.Decode(value, at);
  }
  std::unique_ptr<JsonSink> Open(JsonContainer kind, std::size_t at) override {
    return OpenWith(codec_, slot_(key_, at), kind, at);
  }

 private:
  Codec codec_;
  Slot slot_;
  std::string key_;
};

template <class Codec, class Slot>
std::unique_ptr<JsonSink> MakeEntrySink(Codec codec, Slot slot) {
  return std::make_unique<EntrySink<Codec, Slot>>(std::move(codec), std::move(slot));
}

// --- the whole text ---------------------------------------------------------------------------

// Receives the one value of a text with the codec of the whole file.
template <class Codec, class T>
class TopSink final : public JsonSink {
 public:
  TopSink(Codec codec, T& target) : codec_(std::move(codec)), target_(target) {}

  void Key(std::string) override {}
  void Scalar(const Json& value, std::size_t at) override { target_ = codec_.Decode(value, at); }
  std::unique_ptr<JsonSink> Open(JsonContainer kind, std::size_t at) override {
    return OpenWith(codec_, target_, kind, at);
  }

 private:
  Codec codec_;
  T& target_;
};

}  // namespace korvane::sim::codec
