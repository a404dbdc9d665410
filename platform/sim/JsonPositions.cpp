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

// The parser's event handler: passes each value to the sink of the container it is in. Only
// the chain of open containers is held, never a value that has been passed on.
class Dispatcher {
 public:
  Dispatcher(std::string_view text, const char* const* progress, JsonSink& top)
      : text_(text), progress_(progress), top_(top) {}

  bool null() { return Add(Json(nullptr)); }
  bool boolean(bool value) { return Add(Json(value)); }
  bool number_integer(Json::number_integer_t value) { return Add(Json(value)); }
  bool number_unsigned(Json::number_unsigned_t value) { return Add(Json(value)); }
  bool number_float(Json::number_float_t value, const std::string&) { return Add(Json(value)); }
  bool string(std::string& value) { return Add(Json(std::move(value))); }
  bool binary(Json::binary_t& value) { return Add(Json(std::move(value))); }

  bool start_object(std::size_t) { return Open(JsonContainer::Object); }
  bool start_array(std::size_t) { return Open(JsonContainer::Array); }
  bool end_object() { return Close(); }
  bool end_array() { return Close(); }

  bool key(std::string& key) {
    TokenStart();  // moves past the key, so the value is looked for after it
    Current().Key(std::move(key));
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

  JsonSink& Current() { return open_.empty() ? top_ : *open_.back(); }

  bool Add(const Json& value) {
    const std::size_t at = TokenStart();
    Current().Scalar(value, at);
    return true;
  }

  bool Open(JsonContainer kind) {
    const std::size_t at = TokenStart();
    if (open_.size() == kMaxJsonDepth) {
      throw JsonSyntaxError(
          at, "containers nested deeper than " + std::to_string(kMaxJsonDepth) + " levels");
    }
    std::unique_ptr<JsonSink> sink = Current().Open(kind, at);
    open_.push_back(std::move(sink));
    return true;
  }

  bool Close() {
    TokenStart();
    open_.back()->Close();
    open_.pop_back();
    return true;
  }

  std::string_view text_;
  const char* const* progress_;
  JsonSink& top_;
  std::vector<std::unique_ptr<JsonSink>> open_;
  std::size_t lastEnd_ = 0;
};

}  // namespace

TextPlace PlaceOf(std::string_view text, std::size_t offset) {
  TextPlace place;
  place.offset = std::min(offset, text.size());
  const std::string_view before = text.substr(0, place.offset);
  place.line = 1 + static_cast<std::size_t>(std::count(before.begin(), before.end(), '\n'));
  const std::size_t lineStart = before.rfind('\n');
  place.column = lineStart == std::string_view::npos ? place.offset + 1 : place.offset - lineStart;
  return place;
}

void ReadJson(std::string_view text, JsonSink& top) {
  const char* progress = text.data();
  Dispatcher dispatcher(text, &progress, top);
  Json::sax_parse(TrackingIterator(text.data(), &progress),
                  TrackingIterator(text.data() + text.size(), &progress), &dispatcher);
}

}  // namespace korvane::sim
