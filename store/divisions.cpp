// Placeholder until this subsystem lands.
#include "store/divisions.h"
#include <stdexcept>

std::string save_division(const std::string&) { throw std::logic_error("not built yet"); }
std::string fetch_divisions(const std::string&) { throw std::logic_error("not built yet"); }
std::string delete_division(const std::string&) { throw std::logic_error("not built yet"); }
std::string save_team(const std::string&) { throw std::logic_error("not built yet"); }
std::string fetch_teams(const std::string&) { throw std::logic_error("not built yet"); }
std::string delete_team(const std::string&) { throw std::logic_error("not built yet"); }
