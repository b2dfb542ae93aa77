// The page zoom steps behind Ctrl++, Ctrl+- and Ctrl+0.
#pragma once

// The next step above (`direction` > 0) or below (`direction` < 0) `current`
// among 25% ... 500%; `direction` 0 gives 100%. A level between two steps
// moves to the nearer step in the asked direction; at either end the level
// stays where it is.
double next_zoom_level(double current, int direction);
