// The organiser's placings and reasons scores. Every write stamps the row
// with the current local time, which makes the scoring pass rescore it.
//
// A refused change answers kConsistencyError and writes nothing. Raise
// DatabaseNotOpen with no contest open, and std::invalid_argument /
// std::out_of_range for an unreadable number or fewer than four fields.
#pragma once
#include <string>

// none|id, class id, contestant number, placing (may be empty), reasons (may
// be empty; counts only as a fifth field). "none" with a placing inserts;
// "none" without a placing but with reasons sets the reasons of the existing
// placing of that class and contestant (refused when there is none); an id
// with a placing corrects the whole row (reasons NULL when absent, "" for an
// unknown id); anything else answers "" and writes nothing.
std::string save_placing(const std::string& fields);
// id, class id, contestant number, placing, reasons (empty when NULL) per
// placing, most recently written first, same-second writes by newest id.
std::string fetch_placings(const std::string& ignored);
// contestant number, placings, reasons scores per contestant (also 0 and 0),
// fewest placings first, then fewest reasons, then by number.
std::string fetch_placing_counts(const std::string& ignored);
// The id, or "none" (answers "" without touching the database); "" also for
// an unknown id.
std::string delete_placing(const std::string& id);
