#include "store/placings.h"

#include <optional>
#include <vector>

#include "store/database.h"
#include "store/entries.h"

namespace {

const char kInsertPlacing[] =
    "INSERT INTO placings (class_id, contestant_no, placing, reasons_score, timestamp) "
    "VALUES (?, ?, ?, ?, datetime('now', 'localtime'));";
const char kUpdateReasons[] =
    "UPDATE placings SET reasons_score = ?, timestamp = datetime('now', 'localtime') "
    "WHERE class_id = ? AND contestant_no = ?;";
const char kCorrectPlacing[] =
    "UPDATE placings SET class_id = ?, contestant_no = ?, placing = ?, reasons_score = ?, "
    "timestamp = datetime('now', 'localtime') WHERE id = ?;";
// Placings written within the same second come newest id first, so the
// listing does not reshuffle between two fetches.
const char kListPlacings[] =
    "SELECT id, class_id, contestant_no, placing, reasons_score FROM placings "
    "ORDER BY timestamp DESC, id DESC;";
const char kListPlacingCounts[] =
    "SELECT c.number AS contestant_no, COUNT(p.placing) AS p_count, "
    "COUNT(p.reasons_score) AS r_count FROM contestants AS c LEFT JOIN placings AS p "
    "ON c.number = p.contestant_no GROUP BY c.number ORDER BY p_count, r_count, contestant_no;";
const char kDeletePlacing[] = "DELETE FROM placings WHERE id = ?;";

const size_t kFieldsWithReasons = 5;

struct PlacingEntry {
  int class_id;
  int contestant_no;
  int placing;
  std::optional<int> reasons;
};

PlacingEntry read_entry(const std::vector<std::string>& fields) {
  return {read_int(field_at(fields, 1)), read_int(field_at(fields, 2)),
          read_int(field_at(fields, 3)), optional_int_field(fields, kFieldsWithReasons)};
}

void bind_entry(Statement& statement, const PlacingEntry& entry) {
  statement.bind_int(1, entry.class_id);
  statement.bind_int(2, entry.contestant_no);
  statement.bind_int(3, entry.placing);
  bind_optional_int(statement, 4, entry.reasons);
}

std::string insert_placing(const std::vector<std::string>& fields) {
  PlacingEntry entry = read_entry(fields);
  Statement insert(kInsertPlacing);
  bind_entry(insert, entry);
  return run_change(insert);
}

std::string correct_placing(int id, const std::vector<std::string>& fields) {
  PlacingEntry entry = read_entry(fields);
  Statement correct(kCorrectPlacing);
  bind_entry(correct, entry);
  correct.bind_int(5, id);
  return run_change(correct);
}

// Only an existing placing takes a reasons score, so matching no row is a
// refusal here, unlike the other updates.
std::string update_reasons(const std::vector<std::string>& fields) {
  int reasons = read_int(field_at(fields, 4));
  int class_id = read_int(field_at(fields, 1));
  int contestant_no = read_int(field_at(fields, 2));
  Statement update(kUpdateReasons);
  update.bind_int(1, reasons);
  update.bind_int(2, class_id);
  update.bind_int(3, contestant_no);
  std::string result = run_change(update);
  if (result.empty() && update.changes() == 0) return kConsistencyError;
  return result;
}

}  // namespace

std::string save_placing(const std::string& argument) {
  std::vector<std::string> fields = split_fields(argument);
  const std::string& key = field_at(fields, 0);
  bool has_placing = !field_at(fields, 3).empty();
  if (is_none(key)) {
    if (has_placing) return insert_placing(fields);
    if (fields.size() == kFieldsWithReasons) return update_reasons(fields);
    return std::string();
  }
  if (has_placing) return correct_placing(read_int(key), fields);
  return std::string();
}

std::string fetch_placings(const std::string&) {
  Statement listing(kListPlacings);
  return run_listing(listing);
}

std::string fetch_placing_counts(const std::string&) {
  Statement listing(kListPlacingCounts);
  return run_listing(listing);
}

std::string delete_placing(const std::string& id) { return delete_entry(kDeletePlacing, id); }
