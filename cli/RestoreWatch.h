#pragma once
// `restore --watch`: stays running and gives each remembered camera its settings when it comes.

#include <ostream>

namespace korvane::cli {

// Restores the remembered cameras attached now, then every one that is plugged in, until
// SIGINT or SIGTERM. Idle, it sleeps in poll(2) with no time-out. One line on err when it
// starts, for each camera restored or given up, and when it stops. Throws ECliError Unavailable
// when the cameras cannot be watched, DeviceError when the watch fails.
void WatchAndRestore(std::ostream& err);

}  // namespace korvane::cli
