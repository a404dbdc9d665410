#include "cli/HelpTexts.h"

namespace korvane::cli {

namespace {

constexpr const char* kOverview = R"(Usage: korvane-cam COMMAND [ARGUMENTS] [--json] [--help]

Lists the web cameras and reads or changes their image and camera controls, with the same
cameras, controls and settings files as the Korvane Cam Settings Tool window.

Commands:
  list                       the cameras, in the order the window lists them
  show [CAMERA]              every property, the power frequency and the formats
  set CAMERA NAME=VALUE...   change properties, in the order given
  save CAMERA FILE           save the camera's settings into a settings file (.kcs)
  load CAMERA FILE           load the camera's settings from a settings file
  defaults CAMERA            set every property to the driver's default value

CAMERA is an index from `korvane-cam list`, an exact camera name, or a device path.
KORVANE_CAMERAS chooses the cameras as for the window (unset: the machine's cameras;
"demo": the built-in demo set; a file: the simulated cameras it describes).

Exit status: 0 success, 1 settings file error, 2 usage error, 3 camera not found or
ambiguous, 4 unsupported property, 5 device error.
`korvane-cam COMMAND --help` describes one command; man korvane-cam describes all.
)";

constexpr const char* kList = R"(Usage: korvane-cam list [--json]

Lists the cameras in the order the window lists them: index, name and device path.
--json prints a JSON array of {"index", "name", "path", "description"}.
)";

constexpr const char* kShow = R"(Usage: korvane-cam show [CAMERA] [--json]

Shows every property of the window's rows and the power frequency (supported or not,
value, range, step, default, Auto and the modes the camera offers) and the camera's
formats. Without CAMERA, every camera.
--json prints a JSON object (an array of them without CAMERA).
)";

constexpr const char* kSet = R"(Usage: korvane-cam set CAMERA NAME=VALUE...

Writes the properties in the order given and prints NAME=VALUE with each value written.
NAME is a property name as the settings files spell it, compared without regard to case:
  BacklightCompensation Brightness ColorEnable Contrast Exposure Focus Gain Gamma Hue
  Iris Pan Roll Saturation Sharpness Tilt WhiteBalance Zoom, and PowerFrequency.
VALUE is a number (12, -3, 2.5), auto or manual; a number is clamped to the property's
range and moved to the driver's step, as the window's track bars do, and keeps the
property's Auto or manual mode. PowerFrequency takes 50 or 60 (or the list index 0 or 1).
Nothing is written when a property or mode is not supported by the camera.
)";

constexpr const char* kSave = R"(Usage: korvane-cam save CAMERA FILE

Saves what the window would show for the camera into FILE, in the section named after
the camera, byte for byte as the window saves it. The rest of the file is kept; a
missing file is created.
)";

constexpr const char* kLoad = R"(Usage: korvane-cam load CAMERA FILE

Loads the camera's section of FILE as the window loads it: the Auto states first, then
the values (under the same value rule), then the power frequency. Prints NAME=VALUE for
each write. A missing file, or a file without a section for the camera, changes nothing.
)";

constexpr const char* kDefaults = R"(Usage: korvane-cam defaults CAMERA

Sets every supported property to the default value its driver reports, as the window's
"Factory default" button does (without asking). Auto states and the power frequency stay.
Prints NAME=VALUE for each write.
)";

}  // namespace

std::string HelpText(TCommand command) {
  switch (command) {
    case TCommand::List:
      return kList;
    case TCommand::Show:
      return kShow;
    case TCommand::Set:
      return kSet;
    case TCommand::Save:
      return kSave;
    case TCommand::Load:
      return kLoad;
    case TCommand::Defaults:
      return kDefaults;
    case TCommand::None:
      break;
  }
  return kOverview;
}

}  // namespace korvane::cli
