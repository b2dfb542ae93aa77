// Placeholder until this subsystem lands.
#include "cards/wifi.h"
#include <stdexcept>

std::string fetch_wifi_addresses(const std::string&) { throw std::logic_error("not built yet"); }
