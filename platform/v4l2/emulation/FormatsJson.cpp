#include "platform/v4l2/emulation/FormatsJson.h"

#include <linux/videodev2.h>

#include <algorithm>
#include <charconv>
#include <numeric>

#include "platform/v4l2/emulation/UvcFormats.h"

namespace korvane::v4l2::emulation {
namespace {

constexpr std::size_t kMaxSizes = 256;
constexpr std::size_t kMaxIntervals = 64;

// "1/30", or "2" for whole seconds.
Fraction ParseFraction(const Json& json, const std::string& at) {
  const std::string text = Text(json, at);
  const auto slash = text.find('/');
  const std::string_view numerator = std::string_view(text).substr(0, slash);
  const std::string_view denominator =
      slash == std::string::npos ? std::string_view("1") : std::string_view(text).substr(slash + 1);
  const auto number = [&](std::string_view digits, std::uint32_t* value) {
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), *value);
    return error == std::errc() && end == digits.data() + digits.size() && *value > 0;
  };
  Fraction fraction;
  if (!number(numerator, &fraction.numerator) || !number(denominator, &fraction.denominator)) {
    Fail(at, "expected a time per frame such as \"1/30\"");
  }
  const std::uint32_t divisor = std::gcd(fraction.numerator, fraction.denominator);
  return {fraction.numerator / divisor, fraction.denominator / divisor};
}

std::uint32_t ParseFourcc(const Json& json, const std::string& at) {
  const std::string text = Text(json, at);
  std::uint32_t fourcc = 0;
  if (text.size() == 4) fourcc = v4l2_fourcc(text[0], text[1], text[2], text[3]);
  if (!FindPixelFormat(fourcc)) {
    Fail(at, "expected a pixel format: YUYV, UYVY, NV12, YU12, GREY, RGB3, BGR3, MJPG or H264");
  }
  return fourcc;
}

IntervalSet ParseIntervals(const Json& object, const std::string& at) {
  IntervalSet set;
  const Json* list = Member(object, "intervals");
  const Json* range = Member(object, "intervalRange");
  if ((list != nullptr) == (range != nullptr)) {
    Fail(at, "expected either \"intervals\" or \"intervalRange\"");
  }
  if (list) {
    const std::string listAt = Child(at, "intervals");
    ExpectArray(*list, listAt, 1, kMaxIntervals);
    for (std::size_t i = 0; i < list->size(); ++i) {
      const Fraction interval = ParseFraction((*list)[i], Child(listAt, i));
      if (std::find(set.discrete.begin(), set.discrete.end(), interval) != set.discrete.end()) {
        Fail(Child(listAt, i), "this interval is listed twice");
      }
      set.discrete.push_back(interval);
    }
    return set;
  }
  const std::string rangeAt = Child(at, "intervalRange");
  ExpectObject(*range, rangeAt, {"min", "max", "step"});
  set.range = true;
  set.minimum = ParseFraction(Required(*range, rangeAt, "min"), Child(rangeAt, "min"));
  set.maximum = ParseFraction(Required(*range, rangeAt, "max"), Child(rangeAt, "max"));
  if (IntervalSeconds(set.minimum) > IntervalSeconds(set.maximum)) {
    Fail(rangeAt, "\"min\" is longer than \"max\"");
  }
  if (const Json* step = Member(*range, "step")) {
    set.step = ParseFraction(*step, Child(rangeAt, "step"));
  } else {
    set.continuous = true;
  }
  return set;
}

}  // namespace

FormatDescription ParseFormat(const Json& json, const std::string& at) {
  ExpectObject(json, at, {"fourcc", "sizes", "sizeRange"});
  FormatDescription format;
  format.fourcc = ParseFourcc(Required(json, at, "fourcc"), Child(at, "fourcc"));
  const Json* sizes = Member(json, "sizes");
  const Json* range = Member(json, "sizeRange");
  if ((sizes != nullptr) == (range != nullptr)) {
    Fail(at, "expected either \"sizes\" or \"sizeRange\"");
  }
  if (sizes) {
    const std::string sizesAt = Child(at, "sizes");
    ExpectArray(*sizes, sizesAt, 1, kMaxSizes);
    for (std::size_t i = 0; i < sizes->size(); ++i) {
      const std::string sizeAt = Child(sizesAt, i);
      const Json& entry = (*sizes)[i];
      ExpectObject(entry, sizeAt, {"width", "height", "intervals", "intervalRange"});
      FrameSize size{Dimension(entry, sizeAt, "width"), Dimension(entry, sizeAt, "height"),
                     ParseIntervals(entry, sizeAt)};
      for (const FrameSize& earlier : format.sizes) {
        if (earlier.width == size.width && earlier.height == size.height) {
          Fail(sizeAt, "this size is listed twice");
        }
      }
      format.sizes.push_back(std::move(size));
    }
    return format;
  }
  const std::string rangeAt = Child(at, "sizeRange");
  ExpectObject(*range, rangeAt,
               {"minWidth", "maxWidth", "stepWidth", "minHeight", "maxHeight", "stepHeight",
                "intervals", "intervalRange"});
  SizeRange sizeRange;
  sizeRange.minWidth = Dimension(*range, rangeAt, "minWidth");
  sizeRange.maxWidth = Dimension(*range, rangeAt, "maxWidth");
  sizeRange.stepWidth = Dimension(*range, rangeAt, "stepWidth");
  sizeRange.minHeight = Dimension(*range, rangeAt, "minHeight");
  sizeRange.maxHeight = Dimension(*range, rangeAt, "maxHeight");
  sizeRange.stepHeight = Dimension(*range, rangeAt, "stepHeight");
  if (sizeRange.minWidth > sizeRange.maxWidth || sizeRange.minHeight > sizeRange.maxHeight) {
    Fail(rangeAt, "a minimum is larger than its maximum");
  }
  sizeRange.intervals = ParseIntervals(*range, rangeAt);
  format.range = std::move(sizeRange);
  return format;
}

CurrentFormat ParseCurrent(const Json* json, const std::string& at,
                           const std::vector<FormatDescription>& formats) {
  CurrentFormat current;
  if (!json) {
    const FormatDescription& first = formats.front();
    current.fourcc = first.fourcc;
    if (first.range) {
      current.width = first.range->minWidth;
      current.height = first.range->minHeight;
      const IntervalSet& set = first.range->intervals;
      current.interval = set.range ? set.minimum : set.discrete.front();
    } else {
      current.width = first.sizes.front().width;
      current.height = first.sizes.front().height;
      const IntervalSet& set = first.sizes.front().intervals;
      current.interval = set.range ? set.minimum : set.discrete.front();
    }
    return current;
  }
  ExpectObject(*json, at, {"fourcc", "width", "height", "interval"});
  current.fourcc = ParseFourcc(Required(*json, at, "fourcc"), Child(at, "fourcc"));
  current.width = Dimension(*json, at, "width");
  current.height = Dimension(*json, at, "height");
  current.interval = ParseFraction(Required(*json, at, "interval"), Child(at, "interval"));
  const IntervalSet* intervals =
      IntervalsFor(formats, current.fourcc, current.width, current.height);
  if (!intervals || !IntervalOffered(*intervals, current.interval)) {
    Fail(at, "the camera does not offer this format");
  }
  return current;
}

std::string FourccText(std::uint32_t fourcc) {
  std::string text;
  for (int shift = 0; shift < 32; shift += 8) text += static_cast<char>((fourcc >> shift) & 0xFF);
  return text;
}

std::string FractionText(const Fraction& fraction) {
  return std::to_string(fraction.numerator) + "/" + std::to_string(fraction.denominator);
}

}  // namespace korvane::v4l2::emulation
