// The four commands behind the phone cards. Arguments: contestant number,
// class id[, placing or reasons score].
#pragma once
#include <string>

std::string fetch_card_names(const std::string& fields);  // contestant name, class name
std::string fetch_card_names_and_placing(const std::string& fields);  // + stored placing
std::string save_card_placing(const std::string& fields);  // "true" or "false"
std::string save_card_reasons(const std::string& fields);  // "true" or "false"
