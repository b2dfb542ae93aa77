// The application's icon, rendered from ui/icons/ringtally.svg at build time
// and built into the desktop application (not into the core library).
#pragma once
#include <string_view>
#include <vector>

// PNG images of the icon, smallest first.
const std::vector<std::string_view>& app_icon_pngs();
