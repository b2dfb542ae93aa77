// Placeholder until this subsystem lands.
#include "store/contestants.h"
#include <stdexcept>

std::string save_contestant(const std::string&) { throw std::logic_error("not built yet"); }
std::string call_save_contestant(const std::string&) { throw std::logic_error("not built yet"); }
std::string fetch_contestants(const std::string&) { throw std::logic_error("not built yet"); }
std::string fetch_contestant_counts(const std::string&) { throw std::logic_error("not built yet"); }
std::string delete_contestant(const std::string&) { throw std::logic_error("not built yet"); }
int count_contestants() { return 0; }
