// Keeps placings.placing_score and total_score current, lazily.
#pragma once
#include <string>

// True when a placing or class was written at or after `scored_at`.
bool has_unscored_changes(const std::string& scored_at);
// Rescores, in one transaction, every placing written since the last pass or
// older than its class's last change; a no-op when nothing changed.
void run_scoring_pass();
// Command: 8 fields a placing (contestant name, number, class name, class id,
// placing, placing score, reasons score, total score).
std::string fetch_indiv_scores(const std::string& ignored);
