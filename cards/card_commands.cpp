// Placeholder until this subsystem lands.
#include "cards/card_commands.h"
#include <stdexcept>

std::string fetch_card_names(const std::string&) { throw std::logic_error("not built yet"); }
std::string fetch_card_names_and_placing(const std::string&) { throw std::logic_error("not built yet"); }
std::string save_card_placing(const std::string&) { throw std::logic_error("not built yet"); }
std::string save_card_reasons(const std::string&) { throw std::logic_error("not built yet"); }
