#include "platform/v4l2/emulation/PositionedJson.h"

#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/sim/JsonPositions.h"

namespace korvane::v4l2::emulation {
namespace {

using Json = nlohmann::ordered_json;
using Offsets = std::map<std::string, std::size_t>;

// Fills one array or object (or, for the top, the one value of the text). A container's
// members all arrive before its parent's next one, so the slot a child fills stays put while
// the child reads.
class BuildingSink final : public sim::JsonSink {
 public:
  BuildingSink(Json* target, std::string pointer, Offsets* offsets, bool top)
      : target_(target), pointer_(std::move(pointer)), offsets_(offsets), top_(top) {}

  void Key(std::string key) override { key_ = std::move(key); }

  void Scalar(const Json& value, std::size_t at) override { Slot(at) = value; }

  std::unique_ptr<JsonSink> Open(sim::JsonContainer kind, std::size_t at) override {
    Json& slot = Slot(at);
    slot = kind == sim::JsonContainer::Array ? Json::array() : Json::object();
    return std::make_unique<BuildingSink>(&slot, childPointer_, offsets_, false);
  }

 private:
  Json& Slot(std::size_t at) {
    Json* slot = nullptr;
    if (top_) {
      childPointer_.clear();
      slot = target_;
    } else if (target_->is_array()) {
      childPointer_ = pointer_ + "/" + std::to_string(target_->size());
      target_->push_back(nullptr);
      slot = &target_->back();
    } else {
      childPointer_ = pointer_ + "/" + EscapePointerToken(key_);
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
    (*offsets_)[childPointer_] = at;
    return *slot;
  }

  Json* target_;
  std::string pointer_;
  Offsets* offsets_;
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
  BuildingSink top(&parsed.value, "", &parsed.offsets, true);
  sim::ReadJson(text, top);
  return parsed;
}

}  // namespace korvane::v4l2::emulation
