#include "store/contest.h"

#include <filesystem>
#include <system_error>

#include "store/card_log.h"
#include "store/database.h"
#include "store/schema.h"

namespace fs = std::filesystem;

namespace {

ContestPlatform g_platform;

const char kInsertContest[] =
    "INSERT INTO contest (name, scored_at) VALUES (?, '2020-01-01 00:00:00');";
const char kForeignKeysOn[] = "PRAGMA foreign_keys = ON;";
const char kSynchronousNormal[] = "PRAGMA synchronous = NORMAL;";
const char kContestName[] = "SELECT name FROM contest;";
const int kBusyTimeoutMs = 5000;

// Names that would leave the desktop folder, or that no organiser types.
bool is_valid_contest_name(const std::string& name) {
  for (unsigned char c : name)
    if (c < 0x20 || c == 0x7F) return false;
  fs::path path = fs::u8path(name);
  if (path.is_absolute() || path.has_root_path()) return false;
  for (const fs::path& part : path)
    if (part == "." || part == "..") return false;
  return true;
}

bool something_exists(const fs::path& path) {
  std::error_code ec;
  fs::file_status status = fs::symlink_status(path, ec);
  if (ec && status.type() != fs::file_type::not_found)
    throw fs::filesystem_error("cannot check contest folder", path, ec);
  return fs::exists(status);
}

// Steps one pragma statement; false when it does not complete.
bool set_pragma(const char* sql) {
  Statement pragma(sql);
  try {
    return !pragma.step();
  } catch (const DatabaseFailure&) {
    return false;
  }
}

// The contest's name; false when the file holds no contest row or the row
// cannot be read.
bool read_contest_name(std::string* name) {
  Statement statement(kContestName);
  try {
    if (!statement.step()) return false;
  } catch (const DatabaseFailure&) {
    return false;
  }
  *name = statement.column_text(0);
  return true;
}

// The card log beside the schema; false when it cannot be made.
bool add_card_log() {
  try {
    ensure_card_log();
    return true;
  } catch (const DatabaseFailure&) {
    return false;
  }
}

const char kCannotWrite[] =
    "ERROR:The contest file cannot be written. Check that the contest folder and its file "
    "can be written to.";

std::string finish_open() {
  // A file the organiser cannot write would open, then refuse every save.
  if (contest_database().is_read_only()) return kCannotWrite;
  if (!set_pragma(kForeignKeysOn) || !set_pragma(kSynchronousNormal))
    return "ERROR:Pragma could not be set.";
  if (!contest_database().set_busy_timeout(kBusyTimeoutMs))
    return "ERROR:Pragma busy timeout could not be set.";
  std::string name;
  if (!read_contest_name(&name)) return "ERROR:Contest name could not be retrieved.";
  // A contest file made before the card log existed gets it now; card
  // writes cannot be stored without it.
  if (!add_card_log()) return kCannotWrite;
  return name;
}

}  // namespace

void set_contest_platform(ContestPlatform platform) { g_platform = std::move(platform); }

std::string create_contest(const std::string& name) {
  if (!is_valid_contest_name(name)) return "ERROR:This is not a valid contest name.";
  std::string desktop = g_platform.desktop_folder ? g_platform.desktop_folder() : std::string();
  // Names and folders are UTF-8 on every platform (u8path, u8string).
  fs::path folder = fs::u8path(desktop) / fs::u8path(name);
  if (something_exists(folder)) return "ERROR:This contest already exists on your desktop.";
  fs::create_directories(folder);
  if (!open_database((folder / "contest.db").u8string()))
    return "ERROR:Critical failure, the database could not be opened.";
  if (!contest_database().execute_script(kSchemaScript) || !add_card_log()) {
    close_database();
    return "ERROR:Critical failure, the database could not be initialized.";
  }
  Statement insert(kInsertContest);
  insert.bind_text(1, name);
  if (!run_change(insert).empty()) {
    close_database();
    return "ERROR:The contest could not be initialized.";
  }
  return std::string();
}

std::string open_contest(const std::string&) {
  std::string desktop = g_platform.desktop_folder ? g_platform.desktop_folder() : std::string();
  std::string path = g_platform.choose_contest_file ? g_platform.choose_contest_file(desktop) : "";
  if (path.empty()) return "None";
  // Opening creates missing files; a contest is never created from here.
  std::error_code ec;
  if (!fs::is_regular_file(fs::u8path(path), ec) || !open_database(path)) return "ERROR:Critical failure, the database could not be opened.";
  std::string result;
  try {
    result = finish_open();
  } catch (const DatabaseFailure& failure) {
    result = failure.kind() == DatabaseFailure::Kind::kNotWritten
                 ? kCannotWrite
                 : "ERROR:This file is not a contest database.";
  }
  // A file that is not a usable contest must not stay open: the organiser
  // would otherwise have to restart before opening the right one.
  if (result.rfind("ERROR:", 0) == 0) close_database();
  return result;
}
