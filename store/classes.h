// Class types and classes, addressed by id. A class carries the official
// placing and cuts, stored together or not at all.
#pragma once
#include <string>

std::string save_class_type(const std::string& fields);  // none|id, name
std::string fetch_class_types(const std::string& ignored);  // id, name
std::string delete_class_type(const std::string& id);
std::string save_class(const std::string& fields);  // none|id, type id, name[, placing, cuts]
std::string fetch_classes(const std::string& ignored);  // id, type name, name, placing, cuts
std::string delete_class(const std::string& id);
