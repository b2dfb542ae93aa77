// Individual and team rankings per division: one per class type (only when
// the contest has more than one class type, and never for one named "None"),
// one on reasons ("Reasons") and one overall ("Overall").
//
// Ranks are competition ranks: rows equal on both keys share a rank and the
// next rank is skipped (1, 1, 3). Rows come ordered by division number, then
// class types by id, then Reasons, then Overall, then rank; the order among
// equal ranks is not fixed. Both commands run the scoring pass first, so they
// never rank stale scores. No placings: "". When the pass could not store
// the scores: kWriteError, and no ranking. Other errors as run_scoring_pass.
#pragma once
#include <string>

// Command, argument ignored. 6 fields a row: division name, class type (its
// name, "Reasons" or "Overall"), rank, score, contestant name, team name.
// Class type rows rank by the type's total then reasons sum; Reasons by the
// reasons total, ties to the lower placing-score sum over the classes with
// reasons; Overall by the total, then the reasons total. A contestant with
// no reasons score has an empty Reasons score and ranks last.
std::string fetch_indiv_rankings(const std::string& ignored);

// Command, argument ignored. 6 fields a row: division name, class type,
// rank, score, team name, coach. Only teams of type "Team", scored on the
// sum of their best `team_size` members, chosen separately for each ranking
// kind; a team with fewer than `team_size` members with placings (in that
// class type, for class type rows) is left out of that ranking.
std::string fetch_team_rankings(const std::string& ignored);
