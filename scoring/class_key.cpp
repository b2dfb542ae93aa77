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

// The listing's two fields, kept even when empty (a NULL reads as "").
std::vector<std::string> official_fields(int id) {
  Statement statement(kOfficialResultSql);
  statement.bind_int(1, id);
  const std::string listing = run_listing(statement, 2);
  const size_t cut = listing.find('\x1f');
  if (cut == std::string::npos) return {};
  return {listing.substr(0, cut), listing.substr(cut + 1)};
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
  const std::vector<std::string> official = official_fields(read_int(class_id));
  if (official.empty()) return kNoSuchClass;
  if (official[0].empty() || official[1].empty()) return kNoOfficialResult;
  std::string result;
  for (const ClassKeyRow& row : class_key(read_int(official[0]), read_int(official[1]))) {
    if (!result.empty()) result += '\x1f';
    result += std::to_string(row.placing) + '\x1f' + std::to_string(row.score);
  }
  return result;
}
