#include "scoring/class_key.h"

#include <algorithm>
#include <array>

#include "scoring/placing_score.h"
#include "store/database.h"

namespace {

const char kOfficialResultSql[] = "SELECT placing, cuts FROM classes WHERE id = ?;";

const char kNotAClassNumber[] = "ERROR:This is not a valid class number.";
const char kNoSuchClass[] = "ERROR:There is no class with this number.";
const char kNoOfficialResult[] = "ERROR:This class has no official placing and cuts.";

// Enough digits for every id the store hands out, few enough to stay an int.
const size_t kMaxIdDigits = 9;

bool is_class_number(const std::string& text) {
  return !text.empty() && text.size() <= kMaxIdDigits &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

struct OfficialResult {
  bool found = false;
  bool complete = false;  // both the placing and the cuts are set
  int placing = 0;
  int cuts = 0;
};

OfficialResult official_result(int id) {
  Statement statement(kOfficialResultSql);
  statement.bind_int(1, id);
  OfficialResult result;
  if (!statement.step()) return result;
  result.found = true;
  result.complete = !statement.column_is_null(0) && !statement.column_is_null(1);
  result.placing = statement.column_int(0);
  result.cuts = statement.column_int(1);
  return result;
}

}  // namespace

std::vector<ClassKeyRow> class_key(int official, int cuts) {
  std::array<int, 4> items = {1, 2, 3, 4};
  std::vector<ClassKeyRow> key;
  do {
    const int placing = items[0] * 1000 + items[1] * 100 + items[2] * 10 + items[3];
    key.push_back({placing, score_placing(placing, official, cuts)});
  } while (std::next_permutation(items.begin(), items.end()));
  std::stable_sort(key.begin(), key.end(), [](const ClassKeyRow& a, const ClassKeyRow& b) {
    return a.score != b.score ? a.score > b.score : a.placing < b.placing;
  });
  return key;
}

std::string fetch_class_key(const std::string& class_id) {
  if (!is_class_number(class_id)) return kNotAClassNumber;
  const OfficialResult official = official_result(read_int(class_id));
  if (!official.found) return kNoSuchClass;
  if (!official.complete) return kNoOfficialResult;
  std::string result;
  for (const ClassKeyRow& row : class_key(official.placing, official.cuts)) {
    if (!result.empty()) result += kFieldSeparator;
    result += std::to_string(row.placing) + kFieldSeparator + std::to_string(row.score);
  }
  return result;
}
