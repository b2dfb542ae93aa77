// The organiser's placings and reasons scores.
#pragma once
#include <string>

// none|id, class id, contestant number, placing (may be empty), reasons (may be empty).
std::string save_placing(const std::string& fields);
std::string fetch_placings(const std::string& ignored);  // id, class, contestant, placing, reasons
std::string fetch_placing_counts(const std::string& ignored);  // contestant, placings, reasons
std::string delete_placing(const std::string& id);
