// Individual and team rankings per division: one per class type (when there
// are several and the name is not "None"), "Reasons" and "Overall".
#pragma once
#include <string>

// division, class type, rank, score, contestant, team
std::string fetch_indiv_rankings(const std::string& ignored);
// division, class type, rank, score, team, coach
std::string fetch_team_rankings(const std::string& ignored);
