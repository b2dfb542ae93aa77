#include "store/divisions.h"

#include <optional>
#include <vector>

#include "store/database.h"
#include "store/entries.h"

namespace {

const char kInsertDivision[] = "INSERT INTO divisions (name, team_size) VALUES (?, ?);";
const char kUpdateDivision[] = "UPDATE divisions SET name = ?, team_size = ? WHERE number = ?;";
const char kListDivisions[] = "SELECT id, name, team_size, number FROM divisions ORDER BY id;";
const char kDeleteDivision[] = "DELETE FROM divisions WHERE number = ?;";

const char kInsertTeam[] = "INSERT INTO teams (division_no, name, type, coach) VALUES (?, ?, ?, ?);";
const char kUpdateTeam[] = "UPDATE teams SET name = ?, type = ?, coach = ? WHERE number = ?;";
const char kListTeams[] =
    "SELECT teams.id, divisions.name AS division_name, teams.name, teams.type, teams.coach, "
    "teams.number FROM teams JOIN divisions ON teams.division_no = divisions.number "
    "ORDER BY teams.id DESC;";
const char kDeleteTeam[] = "DELETE FROM teams WHERE number = ?;";

std::string insert_division(const std::string& name, std::optional<int> team_size) {
  Statement insert(kInsertDivision);
  insert.bind_text(1, name);
  bind_optional_int(insert, 2, team_size);
  return run_change(insert);
}

std::string update_division(int number, const std::string& name, std::optional<int> team_size) {
  Statement update(kUpdateDivision);
  update.bind_text(1, name);
  bind_optional_int(update, 2, team_size);
  update.bind_int(3, number);
  return run_change(update);
}

struct TeamEntry {
  const std::string& name;
  const std::string& type;
  std::optional<std::string> coach;
};

std::string insert_team(int division, const TeamEntry& entry) {
  Statement insert(kInsertTeam);
  insert.bind_int(1, division);
  insert.bind_text(2, entry.name);
  insert.bind_text(3, entry.type);
  bind_optional_text(insert, 4, entry.coach);
  return run_change(insert);
}

std::string update_team(int number, const TeamEntry& entry) {
  Statement update(kUpdateTeam);
  update.bind_text(1, entry.name);
  update.bind_text(2, entry.type);
  bind_optional_text(update, 3, entry.coach);
  update.bind_int(4, number);
  return run_change(update);
}

}  // namespace

std::string save_division(const std::string& argument) {
  std::vector<std::string> fields = split_fields(argument);
  const std::string& key = field_at(fields, 0);
  const std::string& name = field_at(fields, 1);
  std::optional<int> team_size = optional_int_field(fields, 3);
  if (is_none(key)) return insert_division(name, team_size);
  return update_division(read_int(key), name, team_size);
}

std::string fetch_divisions(const std::string&) {
  Statement listing(kListDivisions);
  return run_listing(listing);
}

std::string delete_division(const std::string& number) { return delete_entry(kDeleteDivision, number); }

std::string save_team(const std::string& argument) {
  std::vector<std::string> fields = split_fields(argument);
  const std::string& key = field_at(fields, 0);
  TeamEntry entry{field_at(fields, 2), field_at(fields, 3), optional_text_field(fields, 5)};
  if (is_none(key)) return insert_team(read_int(field_at(fields, 1)), entry);
  // A team never moves to another division, so field 1 is not read here.
  return update_team(read_int(key), entry);
}

std::string fetch_teams(const std::string&) {
  Statement listing(kListTeams);
  return run_listing(listing);
}

std::string delete_team(const std::string& number) { return delete_entry(kDeleteTeam, number); }
