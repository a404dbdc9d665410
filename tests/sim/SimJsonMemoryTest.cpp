// Reading a camera file needs memory in proportion to the file, whatever its shape: a deep
// nest of brackets, a long flat list or a large valid file. (Time is measured in sim_bench.)

#include <gtest/gtest.h>

#include <string>

#include "camera/FDirectShow9.h"
#include "platform/sim/SimJson.h"
#include "tests/sim/AllocationMeter.h"

namespace korvane::sim {
namespace {

// The peak memory of reading the text, and whether it was refused.
struct Reading {
  std::size_t peak = 0;
  bool refused = false;
};

Reading Read(const std::string& text) {
  Reading reading;
  const testing::PeakMeter meter;
  try {
    const SimDescription description = ParseSimDescription(text);
  } catch (const SimFileError&) {
    reading.refused = true;
  }
  reading.peak = meter.Peak();
  return reading;
}

std::string Repeated(const std::string& piece, std::size_t times) {
  std::string text;
  text.reserve(piece.size() * times);
  for (std::size_t i = 0; i < times; ++i) text += piece;
  return text;
}

// A valid file of one camera with many formats, as the program writes it.
std::string ManyFormats(std::size_t count) {
  SimDevice device;
  device.friendlyName = "Many formats";
  for (std::size_t i = 0; i < count; ++i) {
    SimFormat format;
    format.width = static_cast<LONG>(160 + i % 1000);
    device.formats.push_back(format);
  }
  return ToJson(SimDescription{{device}});
}

TEST(SimJsonMemory, StaysInProportionToTheFile) {
  const struct {
    const char* name;
    std::string text;
    bool refused;
  } cases[] = {
      {"20000 levels of brackets",
       "{\"devices\":" + Repeated("[", 20'000) + Repeated("]", 20'000) + "}", true},
      {"a flat list of a million numbers", "{\"devices\":[" + Repeated("0,", 1'000'000) + "0]}",
       true},
      {"a valid file of 10000 formats", ManyFormats(10'000), false},
  };
  for (const auto& c : cases) {
    const Reading reading = Read(c.text);
    EXPECT_EQ(reading.refused, c.refused) << c.name;
    // What the description itself takes is part of the peak; a file as written holds more
    // text per value than the description holds memory.
    EXPECT_LT(reading.peak, 2 * c.text.size() + 64 * 1024)
        << c.name << ": " << c.text.size() << " bytes of text";
  }
}

}  // namespace
}  // namespace korvane::sim
