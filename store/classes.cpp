#include "store/classes.h"

#include <optional>
#include <vector>

#include "store/database.h"
#include "store/entries.h"

namespace {

const char kInsertClassType[] = "INSERT INTO class_types (name) VALUES (?);";
const char kUpdateClassType[] = "UPDATE class_types SET name = ? WHERE id = ?;";
const char kListClassTypes[] = "SELECT id, name FROM class_types ORDER BY id;";
const char kDeleteClassType[] = "DELETE FROM class_types WHERE id = ?;";

const char kInsertClass[] =
    "INSERT INTO classes (type_id, name, placing, cuts, timestamp) "
    "VALUES (?, ?, ?, ?, datetime('now', 'localtime'));";
const char kUpdateClass[] =
    "UPDATE classes SET type_id = ?, name = ?, placing = ?, cuts = ?, "
    "timestamp = datetime('now', 'localtime') WHERE id = ?;";
const char kListClasses[] =
    "SELECT classes.id, class_types.name AS type_name, classes.name, classes.placing, "
    "classes.cuts FROM classes JOIN class_types ON classes.type_id = class_types.id "
    "ORDER BY classes.id;";
const char kDeleteClass[] = "DELETE FROM classes WHERE id = ?;";

const char kCutsWithoutPlacing[] = "ERROR:Enter the official placing together with the cuts.";
const char kPlacingWithoutCuts[] = "ERROR:Enter the cuts together with the official placing.";
// Placing and cuts count only as fields 3 and 4 of exactly five: an empty
// cuts field is dropped by split_fields and shortens the list to four.
const size_t kFieldsWithResult = 5;
const size_t kFieldsWithPlacingOnly = 4;

struct ClassEntry {
  int type_id;
  const std::string& name;
  std::optional<int> placing;
  std::optional<int> cuts;
};

void bind_class(Statement& statement, const ClassEntry& entry) {
  statement.bind_int(1, entry.type_id);
  statement.bind_text(2, entry.name);
  bind_optional_int(statement, 3, entry.placing);
  bind_optional_int(statement, 4, entry.cuts);
}

}  // namespace

std::string save_class_type(const std::string& argument) {
  std::vector<std::string> fields = split_fields(argument);
  const std::string& key = field_at(fields, 0);
  const std::string& name = field_at(fields, 1);
  if (is_none(key)) {
    Statement insert(kInsertClassType);
    insert.bind_text(1, name);
    return run_change(insert);
  }
  int id = read_int(key);
  Statement update(kUpdateClassType);
  update.bind_text(1, name);
  update.bind_int(2, id);
  return run_change(update);
}

std::string fetch_class_types(const std::string&) {
  Statement listing(kListClassTypes);
  return run_listing(listing);
}

std::string delete_class_type(const std::string& id) { return delete_entry(kDeleteClassType, id); }

std::string save_class(const std::string& argument) {
  std::vector<std::string> fields = split_fields(argument);
  const std::string& key = field_at(fields, 0);
  bool has_result = fields.size() == kFieldsWithResult;
  // Either half alone cannot be scored, and storing the class without it
  // would silently drop what the organiser typed.
  if (has_result && fields[3].empty()) return kCutsWithoutPlacing;
  if (fields.size() == kFieldsWithPlacingOnly && !fields[3].empty()) return kPlacingWithoutCuts;
  ClassEntry entry{read_int(field_at(fields, 1)), field_at(fields, 2),
                   has_result ? std::optional<int>(read_int(fields[3])) : std::nullopt,
                   optional_int_field(fields, kFieldsWithResult)};
  if (is_none(key)) {
    Statement insert(kInsertClass);
    bind_class(insert, entry);
    return run_change(insert);
  }
  int id = read_int(key);
  Statement update(kUpdateClass);
  bind_class(update, entry);
  update.bind_int(5, id);
  return run_change(update);
}

std::string fetch_classes(const std::string&) {
  Statement listing(kListClasses);
  return run_listing(listing);
}

std::string delete_class(const std::string& id) { return delete_entry(kDeleteClass, id); }
