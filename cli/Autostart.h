#pragma once
// `autostart on|off`: the systemd user unit that runs `korvane-cam restore --watch` at login,
// enabled and started, or stopped and disabled, through systemctl.

#include <ostream>

namespace korvane::cli {

inline constexpr const char* kAutostartUnit = "korvane-cam-restore.service";

// Throws ECliError Unavailable, with systemctl's own words, when there is no systemctl or no
// user manager for this session, or when systemctl fails; a unit enabled but not started is
// disabled again, so nothing is left half done.
void SetAutostart(bool on, std::ostream& out);

}  // namespace korvane::cli
