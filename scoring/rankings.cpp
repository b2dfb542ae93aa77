// Placeholder until this subsystem lands.
#include "scoring/rankings.h"
#include <stdexcept>

std::string fetch_indiv_rankings(const std::string&) { throw std::logic_error("not built yet"); }
std::string fetch_team_rankings(const std::string&) { throw std::logic_error("not built yet"); }
