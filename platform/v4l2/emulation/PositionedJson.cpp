#include "platform/v4l2/emulation/PositionedJson.h"

#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/sim/JsonPositions.h"

namespace korvane::v4l2::emulation {
namespace {

using Json = nlohmann::ordered_json;

// The value a pointer names and where the deepest of its enclosing values found so far starts.
struct Locating {
  std::string wanted;
  std::size_t deepest = 0;
  std::size_t offset = 0;
};

// Fills one array or object (or, for the top, the one value of the text). A container's
// members all arrive before its parent's next one, so the slot a child fills stays put while
// the child reads. While locating, it also follows the pointer of each value.
class BuildingSink final : public sim::JsonSink {
 public:
  BuildingSink(Json* target, std::string pointer, Locating* locating, bool top)
      : target_(target), pointer_(std::move(pointer)), locating_(locating), top_(top) {}

  void Key(std::string key) override { key_ = std::move(key); }

  void Scalar(const Json& value, std::size_t at) override { Slot(at) = value; }

  std::unique_ptr<JsonSink> Open(sim::JsonContainer kind, std::size_t at) override {
    Json& slot = Slot(at);
    slot = kind == sim::JsonContainer::Array ? Json::array() : Json::object();
    return std::make_unique<BuildingSink>(&slot, childPointer_, locating_, false);
  }

 private:
  Json& Slot(std::size_t at) {
    Json* slot = nullptr;
    if (top_) {
      slot = target_;
    } else if (target_->is_array()) {
      if (locating_) childPointer_ = pointer_ + "/" + std::to_string(target_->size());
      target_->push_back(nullptr);
      slot = &target_->back();
    } else {
      if (locating_) childPointer_ = pointer_ + "/" + EscapePointerToken(key_);
      // Appended without the search an insert makes, which would grow with the square of a
      // large object's size. A name given twice keeps its last value, as JSON readers do.
      auto& members = target_->get_ref<Json::object_t&>();
      const auto [known, added] = keys_.emplace(key_, members.size());
      if (added) {
        members.emplace_back(key_, nullptr);
        slot = &members.back().second;
      } else {
        slot = &(members.begin() + static_cast<std::ptrdiff_t>(known->second))->second;
      }
    }
    if (locating_) Note(at);
    return *slot;
  }

  void Note(std::size_t at) {
    const std::string& wanted = locating_->wanted;
    const bool encloses =
        wanted.starts_with(childPointer_) &&
        (wanted.size() == childPointer_.size() || wanted[childPointer_.size()] == '/');
    if (encloses && (childPointer_.size() >= locating_->deepest)) {
      locating_->deepest = childPointer_.size();
      locating_->offset = at;
    }
  }

  Json* target_;
  std::string pointer_;
  Locating* locating_;  // null when only building
  bool top_;
  std::string key_;
  std::string childPointer_;
  std::unordered_map<std::string, std::size_t> keys_;  // name -> place among the members
};

}  // namespace

std::string EscapePointerToken(std::string_view token) {
  std::string escaped;
  for (const char c : token) {
    if (c == '~') {
      escaped += "~0";
    } else if (c == '/') {
      escaped += "~1";
    } else {
      escaped += c;
    }
  }
  return escaped;
}

PositionedJson ReadPositionedJson(std::string_view text) {
  PositionedJson parsed;
  BuildingSink top(&parsed.value, "", nullptr, true);
  sim::ReadJson(text, top);
  return parsed;
}

std::size_t OffsetOfPointer(std::string_view text, const std::string& pointer) {
  Locating locating{pointer};
  Json value;
  BuildingSink top(&value, "", &locating, true);
  try {
    sim::ReadJson(text, top);
  } catch (const sim::JsonSyntaxError&) {
    // Read whole once already; a text changed since gives what was found.
  }
  return locating.offset;
}

}  // namespace korvane::v4l2::emulation
