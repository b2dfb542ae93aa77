// Keeps placings.placing_score and total_score current, lazily: scores are
// computed only when a reader needs them and only where something changed.
#pragma once
#include <string>

// True when the latest timestamp among all placings and classes is at or
// after `scored_at` (both "YYYY-MM-DD HH:MM:SS", compared as text). At-or-
// after, not strictly after: a write in the very second the last pass ended
// must still count. False when there are no placings and no classes.
// Raises DatabaseNotOpen / DatabaseFailure.
bool has_unscored_changes(const std::string& scored_at);

// When anything changed since contest.scored_at, rescores in one transaction
// every placing of a class with official placing and cuts that was written
// at or after scored_at, or before its class's last change; total_score is
// placing_score plus reasons_score (NULL counting 0). Then moves scored_at
// to now. Classes without official placing or cuts keep their old scores.
// Raises DatabaseNotOpen / DatabaseFailure; an error inside the transaction
// rolls every score back and leaves scored_at as it was.
void run_scoring_pass();

// Command, argument ignored. Runs the pass, then lists every placing, 8
// fields each: contestant name, contestant number, class name, class id,
// placing, placing score, reasons score, total score (NULL as ""), ordered
// by contestant name then class id; "" when there are no placings.
std::string fetch_indiv_scores(const std::string& ignored);
