// Contestants, addressed by number (team + 1 .. + 9); at most 12 a contest,
// on top of the schema's nine a team.
//
// A refused change answers kConsistencyError and writes nothing. Raise
// DatabaseNotOpen with no contest open, and std::invalid_argument /
// std::out_of_range for an unreadable number or a missing field.
#pragma once
#include <string>

// The number of contestants in the open contest (0 when the count gives no row).
int count_contestants();
// The handler: none|number, team number, one name (stored as received). An
// update never reads field 1: a contestant keeps its team and number.
std::string save_contestant(const std::string& fields);
// The command: refuses with "ERROR:The contestant limit has been reached."
// when 12 or more contestants exist (inserts and renames alike), before the
// argument is looked at; otherwise runs save_contestant.
std::string call_save_contestant(const std::string& fields);
// division name, team name, name, number per contestant, newest first.
std::string fetch_contestants(const std::string& ignored);
// division name, team name, count per team (also 0), teams with the newest
// contestant first, teams without contestants last.
std::string fetch_contestant_counts(const std::string& ignored);
// The number, or "none" (answers "" without touching the database).
std::string delete_contestant(const std::string& number);
