#include "store/contestants.h"

#include <vector>

#include "store/database.h"
#include "store/entries.h"

namespace {

const char kCountContestants[] = "SELECT COUNT(*) FROM contestants;";
const char kInsertContestant[] = "INSERT INTO contestants (team_no, name) VALUES (?, ?);";
const char kUpdateContestant[] = "UPDATE contestants SET name = ? WHERE number = ?;";
const char kListContestants[] =
    "SELECT divisions.name AS division_name, teams.name AS team_name, contestants.name, "
    "contestants.number FROM contestants JOIN teams ON contestants.team_no = teams.number "
    "JOIN divisions ON teams.division_no = divisions.number ORDER BY contestants.id DESC;";
const char kListContestantCounts[] =
    "SELECT divisions.name AS division, teams.name AS team, COUNT(contestants.id) AS count "
    "FROM teams LEFT JOIN contestants ON teams.number = contestants.team_no "
    "JOIN divisions ON teams.division_no = divisions.number GROUP BY teams.number "
    "ORDER BY MAX(contestants.id) DESC;";
const char kDeleteContestant[] = "DELETE FROM contestants WHERE number = ?;";

const char kLimitReached[] = "ERROR:The contestant limit has been reached.";
const int kContestantLimit = 12;

}  // namespace

int count_contestants() {
  Statement count(kCountContestants);
  return count.step() ? count.column_int(0) : 0;
}

std::string save_contestant(const std::string& argument) {
  std::vector<std::string> fields = split_fields(argument);
  const std::string& key = field_at(fields, 0);
  const std::string& name = field_at(fields, 2);
  if (is_none(key)) {
    int team = read_int(field_at(fields, 1));
    Statement insert(kInsertContestant);
    insert.bind_int(1, team);
    insert.bind_text(2, name);
    return run_change(insert);
  }
  // A contestant never changes team, so field 1 is not read here.
  int number = read_int(key);
  Statement update(kUpdateContestant);
  update.bind_text(1, name);
  update.bind_int(2, number);
  return run_change(update);
}

std::string call_save_contestant(const std::string& argument) {
  if (count_contestants() >= kContestantLimit) return kLimitReached;
  return save_contestant(argument);
}

std::string fetch_contestants(const std::string&) {
  Statement listing(kListContestants);
  return run_listing(listing);
}

std::string fetch_contestant_counts(const std::string&) {
  Statement listing(kListContestantCounts);
  return run_listing(listing);
}

std::string delete_contestant(const std::string& number) {
  return delete_entry(kDeleteContestant, number);
}
