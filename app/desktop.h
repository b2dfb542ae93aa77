// Where contests are created by default.
#pragma once
#include <string>

// The user's desktop folder (XDG; falls back to $HOME/Desktop), or "" when
// none can be found, so that contests land in the current folder.
std::string user_desktop_folder();
