// The key of a class: every placing a contestant could hand in, with the
// placing score it earns against the class's official placing and cuts.
#pragma once
#include <string>
#include <vector>

struct ClassKeyRow {
  int placing;  // four digits, the items 1 to 4 each once
  int score;    // score_placing(placing, official, cuts)
};

// The 24 orders of the items 1 to 4, each scored with score_placing against
// `official` and `cuts` exactly as the scoring pass scores them; highest
// score first, equal scores by the lower placing first. Pure; any integers
// are accepted (see score_placing for what unusual values mean).
std::vector<ClassKeyRow> class_key(int official, int cuts);

// Command: the argument is a class id (decimal digits). Answers a FieldList
// of 24 rows "placing, placing score" in class_key's order, or:
//   "ERROR:This is not a valid class number." for anything but 1 to 9 digits,
//   "ERROR:There is no class with this number." for an unknown id,
//   "ERROR:This class has no official placing and cuts." when either is unset.
// Reads only; raises DatabaseNotOpen with no contest open.
std::string fetch_class_key(const std::string& class_id);
