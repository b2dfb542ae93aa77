// Divisions and teams. Divisions are addressed by number (1000..9000), teams
// by number (division + 10, + 20, ...). Saves take "none" or a number in
// field 0; a refused change answers kConsistencyError.
#pragma once
#include <string>

std::string save_division(const std::string& fields);  // none|number, name[, team size]
std::string fetch_divisions(const std::string& ignored);  // id, name, team_size, number
std::string delete_division(const std::string& number);
std::string save_team(const std::string& fields);  // none|number, division, name, type[, coach]
std::string fetch_teams(const std::string& ignored);  // id, division name, name, type, coach, number
std::string delete_team(const std::string& number);
