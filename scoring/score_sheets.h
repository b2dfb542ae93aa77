// The rows behind the printed score sheets: one per placing, carrying the
// contestant's division, team, name and number and the class's official
// placing and cuts beside the contestant's own placing and scores.
#pragma once
#include <string>

// Command, argument ignored. Runs the scoring pass, then lists every placing
// as one row of 13 fields (NULL as ""): division name, team name, contestant
// name, contestant number, class id, class name, class type name, official
// placing, cuts, placing, placing score, reasons score, total score;
// ordered by division number, contestant number, class type id and class
// id, so each contestant's rows are together and grouped by class type.
// "" when there are no placings. Errors as run_scoring_pass.
std::string fetch_score_sheets(const std::string& ignored);
