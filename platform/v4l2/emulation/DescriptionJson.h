#pragma once
// The camera file: reading it into a description (every name resolved, every fault reported
// with its line and column) and writing the device state back into the parsed document, so
// that everything else the user wrote stays as it was.

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "platform/v4l2/emulation/Description.h"

namespace korvane::v4l2::emulation {

// A camera file is a person's input: a larger or deeper one is refused, not read.
constexpr std::size_t kMaxFileBytes = 4 * 1024 * 1024;
constexpr std::size_t kMaxNesting = 64;

class DescriptionError : public std::runtime_error {
 public:
  DescriptionError(std::size_t line, std::size_t column, const std::string& message);
  std::size_t Line() const { return line_; }
  std::size_t Column() const { return column_; }

 private:
  std::size_t line_, column_;
};

struct ParsedDescription {
  nlohmann::ordered_json document;
  EmulationDescription description;
};

// Throws DescriptionError ("line 3, column 26: ...").
ParsedDescription ParseDescription(std::string_view text);

// The device state written into the document of the file (camera and control by their
// positions in the file).
void StoreValue(nlohmann::ordered_json& document, std::size_t camera, std::size_t control,
                std::int32_t value);
void StoreCurrent(nlohmann::ordered_json& document, std::size_t camera,
                  const CurrentFormat& current);
void StorePresent(nlohmann::ordered_json& document, std::size_t camera, bool present);
std::string RenderDocument(const nlohmann::ordered_json& document);

}  // namespace korvane::v4l2::emulation
