// Feeds arbitrary bytes to the simulated-camera file reader, as a start or a refresh tick
// reads a file someone wrote. A file it accepts must be written back to the same
// description, and every format of it must give a media type that describes it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/sim/SimJson.h"
#include "platform/sim/SimMediaTypes.h"

namespace {

using namespace korvane::sim;

void CheckMediaTypes(const SimDescription& description) {
  for (const SimDevice& device : description.devices) {
    for (const SimFormat& format : device.formats) {
      const SimMediaTypePtr type(CreateSimMediaType(format));
      if (type && !DescribesFormat(*type, format)) std::abort();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  SimDescription description;
  try {
    description = ParseSimDescription(text);
  } catch (const SimFileError&) {
    return 0;  // refused with its line and column: what a broken file should get
  }
  if (ParseSimDescription(ToJson(description)) != description) std::abort();
  CheckMediaTypes(description);
  return 0;
}
