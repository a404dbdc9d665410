#pragma once
// The simulated-camera file: a JSON text that describes the devices and holds their state.
// docs/simulated-cameras.md describes it for users.

#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/sim/SimDescription.h"

namespace korvane::sim {

// What is wrong with a file and where: "line 4, column 17: ...".
class SimFileError : public std::runtime_error {
 public:
  SimFileError(std::size_t line, std::size_t column, const std::string& message);
  std::size_t Line() const { return line_; }
  std::size_t Column() const { return column_; }
  // The fault without its place.
  const std::string& Fault() const { return fault_; }

 private:
  std::size_t line_, column_;
  std::string fault_;
};

// Reads a description; throws SimFileError for a text that is not one.
SimDescription ParseSimDescription(std::string_view text);
// The text of a description; ParseSimDescription gives the same description back.
std::string ToJson(const SimDescription& description);

}  // namespace korvane::sim
