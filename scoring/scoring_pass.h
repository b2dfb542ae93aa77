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

// When anything changed since contest.scored_at, rescores every placing of
// a class with official placing and cuts that was written at or after
// scored_at, or before its class's last change; total_score is
// placing_score plus reasons_score (NULL counting 0). Classes without
// official placing or cuts keep their old scores. The scores and the move
// of scored_at to now are committed together, or neither is: any error,
// a failed COMMIT included, rolls everything back and raises.
// Raises DatabaseNotOpen / DatabaseFailure (kNotWritten when the file could
// not be written, a full disk for one).
void run_scoring_pass();

// Runs the pass for a command about to show scores: "" when the stored
// scores are current, kWriteError when the pass could not store them.
// Raises as run_scoring_pass for any other error.
std::string bring_scores_up_to_date();

// Command, argument ignored. Runs the pass, then lists every placing, 8
// fields each: contestant name, contestant number, class name, class id,
// placing, placing score, reasons score, total score (NULL as ""), ordered
// by contestant name then class id; "" when there are no placings.
// kWriteError, and no listing, when the pass could not store the scores.
std::string fetch_indiv_scores(const std::string& ignored);
