#include "app/zoom_levels.h"

#include <iterator>

namespace {
const double kSteps[] = {0.25, 0.33, 0.5,  0.67, 0.75, 0.8, 0.9, 1.0, 1.1,
                         1.25, 1.5,  1.75, 2.0,  2.5,  3.0, 4.0, 5.0};
// Zoom levels read back from the browser are not exact.
constexpr double kTolerance = 0.001;
}  // namespace

double next_zoom_level(double current, int direction) {
  if (direction == 0) return 1.0;
  if (direction > 0) {
    for (double step : kSteps)
      if (step > current + kTolerance) return step;
    return current < kSteps[std::size(kSteps) - 1] ? kSteps[std::size(kSteps) - 1] : current;
  }
  for (auto step = std::rbegin(kSteps); step != std::rend(kSteps); ++step)
    if (*step < current - kTolerance) return *step;
  return current > kSteps[0] ? kSteps[0] : current;
}
