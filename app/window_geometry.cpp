#include "app/window_geometry.h"

namespace {
constexpr int kBaseDpi = 96;
constexpr int kMaxDpi = 960;
constexpr int kBaseWidth = 1040;
constexpr int kBaseHeight = 640;
}  // namespace

WindowSize scaled_window_size(int dpi) {
  if (dpi < 1) dpi = kBaseDpi;
  if (dpi > kMaxDpi) dpi = kMaxDpi;
  return {dpi * kBaseWidth / kBaseDpi, dpi * kBaseHeight / kBaseDpi};
}
