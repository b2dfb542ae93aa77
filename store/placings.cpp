// Placeholder until this subsystem lands.
#include "store/placings.h"
#include <stdexcept>

std::string save_placing(const std::string&) { throw std::logic_error("not built yet"); }
std::string fetch_placings(const std::string&) { throw std::logic_error("not built yet"); }
std::string fetch_placing_counts(const std::string&) { throw std::logic_error("not built yet"); }
std::string delete_placing(const std::string&) { throw std::logic_error("not built yet"); }
