#pragma once

#include <string>

namespace korvane::os {

// The user's documents folder: XDG_DOCUMENTS_DIR from $XDG_CONFIG_HOME/user-dirs.dirs
// (default ~/.config), else $HOME/Documents. Empty when neither can be determined.
std::string DocumentsFolder();

}  // namespace korvane::os
