#include "platform/sim/JsonPositions.h"

#include <algorithm>
#include <iterator>
#include <vector>

namespace korvane::sim {
namespace {

using Json = nlohmann::ordered_json;

// Walks the text like a plain character pointer and publishes how far the parser has read,
// which is how the handler learns where each value ends.
class TrackingIterator {
 public:
  using iterator_category = std::forward_iterator_tag;
  using value_type = char;
  using difference_type = std::ptrdiff_t;
  using pointer = const char*;
  using reference = const char&;

  TrackingIterator() = default;
  TrackingIterator(const char* at, const char** progress) : at_(at), progress_(progress) {}

  reference operator*() const { return *at_; }
  TrackingIterator& operator++() {
    ++at_;
    if (progress_) *progress_ = at_;
    return *this;
  }
  TrackingIterator operator++(int) {
    TrackingIterator before = *this;
    ++*this;
    return before;
  }
  friend bool operator==(const TrackingIterator& a, const TrackingIterator& b) {
    return a.at_ == b.at_;
  }

 private:
  const char* at_ = nullptr;
  const char** progress_ = nullptr;
};

class PositionRecorder {
 public:
  PositionRecorder(std::string_view text, const char* const* progress, PositionedJson& result)
      : text_(text), progress_(progress), result_(result) {}

  bool null() { return Add(Json(nullptr)); }
  bool boolean(bool value) { return Add(Json(value)); }
  bool number_integer(Json::number_integer_t value) { return Add(Json(value)); }
  bool number_unsigned(Json::number_unsigned_t value) { return Add(Json(value)); }
  bool number_float(Json::number_float_t value, const std::string&) { return Add(Json(value)); }
  bool string(std::string& value) { return Add(Json(std::move(value))); }
  bool binary(Json::binary_t& value) { return Add(Json(std::move(value))); }

  bool start_object(std::size_t) { return Open(Json::object()); }
  bool start_array(std::size_t) { return Open(Json::array()); }
  bool end_object() { return Close(); }
  bool end_array() { return Close(); }

  bool key(std::string& key) {
    TokenStart();  // moves past the key, so the value is looked for after it
    stack_.back().key = key;
    return true;
  }

  bool parse_error(std::size_t position, const std::string&,
                   const nlohmann::detail::exception& ex) {
    // The library counts the offending character as read; its offset is one less.
    const std::size_t offset = position == 0 ? 0 : std::min(position - 1, text_.size());
    std::string message = ex.what();
    // Drop the library's own prefix and place: the caller reports the place its own way.
    if (const auto colon = message.find(": "); colon != std::string::npos) {
      message.erase(0, colon + 2);
    }
    throw JsonSyntaxError(offset, message);
  }

 private:
  struct Frame {
    Json* container;
    std::string pointer;
    std::string key;
  };

  // The first character of the token just read: after the end of the previous one, past
  // blanks and separators.
  std::size_t TokenStart() {
    std::size_t start = lastEnd_;
    while (start < text_.size() &&
           std::string_view(" \t\r\n,:").find(text_[start]) != std::string_view::npos) {
      ++start;
    }
    lastEnd_ = static_cast<std::size_t>(*progress_ - text_.data());
    return start;
  }

  // Where a new value goes and the pointer it gets.
  std::pair<Json*, std::string> Place(Json value) {
    if (stack_.empty()) {
      result_.value = std::move(value);
      return {&result_.value, ""};
    }
    Frame& parent = stack_.back();
    if (parent.container->is_array()) {
      const std::string pointer = parent.pointer + "/" + std::to_string(parent.container->size());
      parent.container->push_back(std::move(value));
      return {&parent.container->back(), pointer};
    }
    Json& slot = (*parent.container)[parent.key];
    slot = std::move(value);
    return {&slot, parent.pointer + "/" + EscapePointerToken(parent.key)};
  }

  bool Add(Json value) {
    const std::size_t start = TokenStart();
    result_.offsets[Place(std::move(value)).second] = start;
    return true;
  }

  bool Open(Json container) {
    const std::size_t start = TokenStart();
    auto [slot, pointer] = Place(std::move(container));
    result_.offsets[pointer] = start;
    stack_.push_back(Frame{slot, std::move(pointer), {}});
    return true;
  }

  bool Close() {
    TokenStart();
    stack_.pop_back();
    return true;
  }

  std::string_view text_;
  const char* const* progress_;
  PositionedJson& result_;
  std::vector<Frame> stack_;
  std::size_t lastEnd_ = 0;
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

TextPlace PlaceOf(std::string_view text, std::size_t offset) {
  TextPlace place;
  place.offset = std::min(offset, text.size());
  const std::string_view before = text.substr(0, place.offset);
  place.line = 1 + static_cast<std::size_t>(std::count(before.begin(), before.end(), '\n'));
  const std::size_t lineStart = before.rfind('\n');
  place.column = lineStart == std::string_view::npos ? place.offset + 1 : place.offset - lineStart;
  return place;
}

PositionedJson ParseJsonWithPositions(std::string_view text) {
  PositionedJson result;
  const char* progress = text.data();
  PositionRecorder recorder(text, &progress, result);
  Json::sax_parse(TrackingIterator(text.data(), &progress),
                  TrackingIterator(text.data() + text.size(), &progress), &recorder);
  return result;
}

}  // namespace korvane::sim
