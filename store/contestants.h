// Contestants, addressed by number (team + 1 .. + 9); at most 12 a contest.
#pragma once
#include <string>

// The number of contestants in the open contest.
int count_contestants();
// The handler: none|number, team number, one name.
std::string save_contestant(const std::string& fields);
// The command: refuses with "ERROR:The contestant limit has been reached."
// when 12 or more contestants exist (inserts and renames alike), before the
// argument is looked at; otherwise runs save_contestant.
std::string call_save_contestant(const std::string& fields);
std::string fetch_contestants(const std::string& ignored);  // division, team, name, number
std::string fetch_contestant_counts(const std::string& ignored);  // division, team, count
std::string delete_contestant(const std::string& number);
