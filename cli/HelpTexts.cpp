#include "cli/HelpTexts.h"

namespace korvane::cli {

namespace {

constexpr const char* kOverview = R"(Usage: korvane-cam COMMAND [ARGUMENTS] [--json] [--help]

Lists the web cameras and reads or changes their image and camera controls, with the same
cameras, controls and settings files as the Korvane Cam Settings Tool window.

Commands:
  list                          the cameras, in the order the window lists them
  show [CAMERA]                 every property, the power frequency and the formats
  set CAMERA NAME=VALUE...      change properties, in the order given
  save CAMERA FILE              save the camera's settings into a settings file (.kcs)
  load CAMERA FILE              load the camera's settings from a settings file
  defaults CAMERA               set every property to the driver's default value
  remember CAMERA [--no-guard]  keep the camera's current settings for it
  forget CAMERA                 drop the settings kept for the camera
  remembered [--json]           the cameras with settings kept for them
  restore [CAMERA]              put the kept settings back on the attached cameras
  restore --watch               stay running: put them back whenever a camera is plugged in,
                                and when another program changes a guarded camera
  autostart on|off              run `restore --watch` at every login (systemd user unit)
  emulate FILE -- PROGRAM...    run any Video4Linux2 program on the emulated cameras of FILE

CAMERA is an index from `korvane-cam list`, an exact camera name, a device path, or
the node it links to (/dev/video0).
KORVANE_CAMERAS chooses the cameras as for the window (unset: the machine's cameras;
"demo": the built-in demo set; a file: the simulated cameras it describes).

Exit status: 0 success, 1 settings file error, 2 usage error, 3 camera not found or
ambiguous, 4 unsupported property, 5 device error, 6 not available on this system,
7 the output could not be written; emulate ends with its program's status (126 or 127
when the program cannot be run).
`korvane-cam COMMAND --help` describes one command; man korvane-cam describes all.
)";

constexpr const char* kList = R"(Usage: korvane-cam list [--json]

Lists the cameras in the order the window lists them: index, name and device path.
--json prints a JSON array of {"index", "name", "path", "description"}.
)";

constexpr const char* kShow = R"(Usage: korvane-cam show [CAMERA] [--json]

Shows every property of the window's rows and the power frequency (supported or not,
value, range, step, default, Auto and the modes the camera offers) and the camera's
formats. Without CAMERA, every camera. A property the camera fails to read is marked
with its error and the others are still shown; the tool then exits with status 5.
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
Nothing is written when a property or mode is not supported by the camera, or when a value
goes to a property that is automatic: switch it first in the same command, as in
  korvane-cam set 0 Exposure=manual Exposure=250
)";

constexpr const char* kSave = R"(Usage: korvane-cam save CAMERA FILE

Saves what the window would show for the camera into FILE, in the section named after
the camera, byte for byte as the window saves it. The rest of the file is kept; a
missing file is created. A property the camera fails to read is left out and told.
)";

constexpr const char* kLoad = R"(Usage: korvane-cam load CAMERA FILE

Loads the camera's section of FILE as the window loads it: the Auto states first, then
the values (under the same value rule), then the power frequency. Prints NAME=VALUE for
each write. A missing file, or a file without a section for the camera, changes nothing.
)";

constexpr const char* kDefaults = R"(Usage: korvane-cam defaults CAMERA

Sets every supported property to the default value its driver reports, as the window's
"Factory default" button does (without asking). Auto states and the power frequency stay.
Prints NAME=VALUE for each write, and a line for each property left as it is because it
is automatic or its default lies outside its range.
)";

constexpr const char* kRemember = R"(Usage: korvane-cam remember CAMERA [--no-guard]

Keeps the camera's current settings for it, as `save` would write them, in a settings file
of its own under $XDG_CONFIG_HOME/korvane-cam/cameras (~/.config/korvane-cam/cameras).
The settings belong to the camera's device path, which stays the same for a USB port and
serial number, so two cameras of one model keep settings of their own. Remembering again
replaces what was kept. `restore` and `restore --watch` put them back.

The camera is guarded: while another program (a browser in a video call) uses it,
`restore --watch` puts back what that program changes. --no-guard keeps the settings
for plug-in and login only.
)";

constexpr const char* kForget = R"(Usage: korvane-cam forget CAMERA

Drops the settings kept for the camera. CAMERA may also be the device path of a camera
that is not attached, as `korvane-cam remembered` lists it.
)";

constexpr const char* kRemembered = R"(Usage: korvane-cam remembered [--json]

Lists the cameras with settings kept for them: device path, name, the index of the
camera when it is attached, and whether `restore --watch` guards it while other programs
use it (see `remember --no-guard`).
--json prints a JSON array of {"path", "name", "file", "attached", "guarded"} (attached:
the index, or null).
)";

constexpr const char* kRestore = R"(Usage: korvane-cam restore [CAMERA]
       korvane-cam restore --watch

Puts the kept settings back on every attached camera that has some, or on CAMERA, as
`load` applies a file: the Auto states first, then the values, then the power
frequency. Prints one line per camera with what was written. A write the camera refuses
is reported and the others still go out.

--watch stays running until SIGINT or SIGTERM: it restores the attached cameras, then
each camera with kept settings whenever it is plugged in (again), waiting while a new
camera does not answer yet. While another program has a guarded camera open, it keeps a
descriptor of its own on it and puts back each kept setting that program changes, in the
order above, a moment after the last change; a program that changes one setting back
again and again has it after a few rounds. Changes made with this tool or the window are
the user's and are left alone until the other program closes the camera. It logs one line
per camera and event to standard error and uses no CPU while nothing happens.
`autostart on` runs it at every login.
)";

constexpr const char* kAutostart = R"(Usage: korvane-cam autostart on|off

on: enables and starts the systemd user unit korvane-cam-restore.service, which runs
`korvane-cam restore --watch` at every login. off: stops and disables it. Needs
systemd's user manager; where there is none (a container, a login over SSH) it says so
and changes nothing.
)";

constexpr const char* kEmulate = R"(Usage: korvane-cam emulate FILE -- PROGRAM [ARGUMENTS...]

Runs PROGRAM with the emulated UVC cameras of the camera file FILE in place of the
machine's cameras: /dev/video*, /dev/v4l/by-id, /dev/v4l/by-path and
/sys/class/video4linux show them, and their controls, formats and streams answer as
the kernel's UVC driver does. Works for dynamically linked programs (v4l2-ctl,
v4l2-compliance, ffmpeg, ls, ...), through the preload library
libkorvane-v4l2-emulation.so; the program's other files are untouched. The cameras'
state lives in FILE, shared with this tool and the window run with
KORVANE_V4L2_EMULATION=FILE. The file format is in docs/emulated-uvc-cameras.md.
Ends with the program's exit status, 126 when it cannot be run, 127 when it is not
found.
  korvane-cam emulate cams.json -- v4l2-ctl --list-devices
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
    case TCommand::Remember:
      return kRemember;
    case TCommand::Forget:
      return kForget;
    case TCommand::Remembered:
      return kRemembered;
    case TCommand::Restore:
      return kRestore;
    case TCommand::Autostart:
      return kAutostart;
    case TCommand::Emulate:
      return kEmulate;
    case TCommand::None:
      break;
  }
  return kOverview;
}

}  // namespace korvane::cli
