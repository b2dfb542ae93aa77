// The windowless host's standard input and its stop requests (SIGINT and
// SIGTERM on Linux; Ctrl+C, Ctrl+Break and the console closing on Windows).
#pragma once
#include <functional>
#include <string>

enum class InputEnd { kEndOfInput, kStopRequest };

// Installs the stop handlers; call once, before the functions below.
// False when they cannot be installed.
bool watch_stop_requests();

// Calls `on_line` with each line of standard input, without its line end
// (a last line without one included), until input ends or a stop is
// requested.
InputEnd read_input_lines(const std::function<void(const std::string& line)>& on_line);

// Returns once `done` is true (checked every 20 ms) or a stop is requested.
void wait_unless_stopped(const std::function<bool()>& done);
