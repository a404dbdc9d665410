#pragma once

#include <string>

namespace korvane::os {

// The user's documents folder: XDG_DOCUMENTS_DIR from $XDG_CONFIG_HOME/user-dirs.dirs
// (default ~/.config), else $HOME/Documents. Empty when neither can be determined.
std::string DocumentsFolder();

// The user's configuration folder: $XDG_CONFIG_HOME when it is an absolute path, else
// $HOME/.config. Empty when neither can be determined.
std::string ConfigFolder();

}  // namespace korvane::os
