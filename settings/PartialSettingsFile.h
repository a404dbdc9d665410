#pragma once
// A camera's section written with only the properties that could be read from the camera.

#include <array>
#include <filesystem>
#include <string>

#include "settings/CameraSettingsFile.h"

// Which properties were not read, in the order of kSettingsPropertyKeys.
using TUnreadProperties = std::array<bool, kSettingsPropertyCount>;

namespace CameraSettingsFile {

// Write, without the two keys of each unread property: the file keeps what it held for them
// rather than a value the camera never gave.
void WriteReadProperties(const std::filesystem::path& file, const std::string& section,
                         const TCameraSettings& settings, const TUnreadProperties& unread);

}  // namespace CameraSettingsFile
