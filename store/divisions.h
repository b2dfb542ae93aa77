// Divisions and teams. Divisions are addressed by number (1000..9000), teams
// by number (division + 10, + 20, ... up to + 990); the schema's triggers
// give the numbers and guard the limits.
//
// Saves take "none" (insert) or an entry's number in field 0; deletes take
// the number, or "none" (answers "" without touching the database). Every
// refused change answers kConsistencyError and writes nothing; an update or
// delete of a number no row has answers "". Raise DatabaseNotOpen with no
// contest open, and std::invalid_argument / std::out_of_range for a number
// field that read_int cannot read or a field that did not arrive.
#pragma once
#include <string>

// none|number, name[, team size]: the size counts only as a third field; an
// update without it clears the size.
std::string save_division(const std::string& fields);
// id, name, team_size (empty when NULL), number per division, by id.
std::string fetch_divisions(const std::string& ignored);
std::string delete_division(const std::string& number);
// none|number, division number, name, type[, coach]: the coach counts only as
// a fifth field (else NULL). An update never reads field 1: a team keeps its
// division and number.
std::string save_team(const std::string& fields);
// id, division name, name, type, coach (empty when NULL), number per team,
// newest first.
std::string fetch_teams(const std::string& ignored);
std::string delete_team(const std::string& number);
