// The main window's first size: 1040 by 640 at 96 dots per inch, grown with
// the display's text resolution the way the system scales other windows.
#pragma once

struct WindowSize {
  int width;
  int height;
};

// 1040 x 640 scaled by `dpi` / 96, each an integer division that drops the
// remainder (120 -> 1300 x 800, 144 -> 1560 x 960). A `dpi` below 1, which
// means "unknown", counts as 96; above 960 counts as 960 so that a broken
// setting cannot ask for an absurd window.
WindowSize scaled_window_size(int dpi);
