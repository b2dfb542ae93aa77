// Contest files: create_contest makes <desktop>/<name>/contest.db with the
// schema, open_contest opens a contest.db the organiser picks.
#pragma once
#include <functional>
#include <string>

// Platform services the two commands need; installed once at start-up,
// before the worker runs, by the window or the windowless host.
struct ContestPlatform {
  // The folder contests are created in.
  std::function<std::string()> desktop_folder;
  // Asks the organiser for a contest file, starting in `desktop`; "" when
  // cancelled or when the dialog fails.
  std::function<std::string(const std::string& desktop)> choose_contest_file;
};
void set_contest_platform(ContestPlatform platform);

// Command: the argument is the contest name, used as received ("a/b" nests
// folders). A name that is absolute, has a "." or ".." part or a control
// character answers "ERROR:This is not a valid contest name." and creates
// nothing. Otherwise answers "" (the contest is then open) or an "ERROR:"
// text; a contest that could not be given its schema or its contest row is
// closed again. Raises std::filesystem::filesystem_error when the folder
// cannot be checked or made.
std::string create_contest(const std::string& name);
// Command: argument ignored. Answers the stored name, "None" when the dialog
// was cancelled, or an "ERROR:" text. A file that was opened but is not a
// usable contest is closed again.
std::string open_contest(const std::string& ignored);
