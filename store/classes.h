// Class types and classes, addressed by id. A class carries the official
// placing and cuts, stored together or not at all; every save of a class
// moves its timestamp, which makes the scoring pass rescore its placings.
//
// A refused change answers kConsistencyError and writes nothing; an update
// or delete of an id no row has answers "". Raise DatabaseNotOpen with no
// contest open, and std::invalid_argument / std::out_of_range for an
// unreadable number or a missing field.
#pragma once
#include <string>

std::string save_class_type(const std::string& fields);  // none|id, name
// id, name per class type, by id.
std::string fetch_class_types(const std::string& ignored);
// The id, or "none" (answers "" without touching the database).
std::string delete_class_type(const std::string& id);
// none|id, type id, name[, placing, cuts]: placing and cuts count only as
// fields 3 and 4 of exactly five, else both are stored NULL (an update then
// clears them). Five fields with an empty placing store nothing and answer
// "ERROR:Enter the official placing together with the cuts."; four fields
// with a placing (the cuts left empty) store nothing and answer
// "ERROR:Enter the cuts together with the official placing.".
std::string save_class(const std::string& fields);
// id, type name, name, placing, cuts (empty when NULL) per class, by id.
std::string fetch_classes(const std::string& ignored);
std::string delete_class(const std::string& id);  // as delete_class_type
