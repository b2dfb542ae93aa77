// Test-only: writes contest rows the way the store commands write them, so
// scoring tests can build a contest without going through those commands.
// A timestamp of "" means the database's local "now", as every save uses.
#pragma once
#include <optional>
#include <string>

#include "store/database.h"
#include "store/entries.h"

namespace test_contest {

inline int number_of(const char* table, long long id) {
  Statement s((std::string("SELECT number FROM ") + table + " WHERE id = ?;").c_str());
  s.bind_int(1, static_cast<int>(id));
  return s.step() ? s.column_int(0) : -1;
}

inline int last_id() {
  Statement s("SELECT last_insert_rowid();");
  s.step();
  return s.column_int(0);
}

// A refused row raises DatabaseFailure from the step itself.
inline void must_complete(Statement& s) {
  if (s.step()) throw DatabaseFailure("test row gave a row");
}

// Returns the division number (1000, 2000, ...).
inline int add_division(const std::string& name, std::optional<int> team_size) {
  Statement s("INSERT INTO divisions (name, team_size) VALUES (?, ?);");
  s.bind_text(1, name);
  bind_optional_int(s, 2, team_size);
  must_complete(s);
  return number_of("divisions", last_id());
}

// Returns the team number; an empty coach is stored as NULL.
inline int add_team(int division_no, const std::string& name, const std::string& type,
                    const std::string& coach = "") {
  Statement s("INSERT INTO teams (division_no, name, type, coach) VALUES (?, ?, ?, ?);");
  s.bind_int(1, division_no);
  s.bind_text(2, name);
  s.bind_text(3, type);
  if (coach.empty()) s.bind_null(4);
  else s.bind_text(4, coach);
  must_complete(s);
  return number_of("teams", last_id());
}

// Returns the contestant number.
inline int add_contestant(int team_no, const std::string& name) {
  Statement s("INSERT INTO contestants (team_no, name) VALUES (?, ?);");
  s.bind_int(1, team_no);
  s.bind_text(2, name);
  must_complete(s);
  return number_of("contestants", last_id());
}

// Returns the class type id.
inline int add_class_type(const std::string& name) {
  Statement s("INSERT INTO class_types (name) VALUES (?);");
  s.bind_text(1, name);
  must_complete(s);
  return last_id();
}

// Returns the class id.
inline int add_class(int type_id, const std::string& name, std::optional<int> placing,
                     std::optional<int> cuts, const std::string& timestamp = "") {
  Statement s(timestamp.empty()
                  ? "INSERT INTO classes (type_id, name, placing, cuts, timestamp) "
                    "VALUES (?, ?, ?, ?, datetime('now', 'localtime'));"
                  : "INSERT INTO classes (type_id, name, placing, cuts, timestamp) "
                    "VALUES (?, ?, ?, ?, ?);");
  s.bind_int(1, type_id);
  s.bind_text(2, name);
  bind_optional_int(s, 3, placing);
  bind_optional_int(s, 4, cuts);
  if (!timestamp.empty()) s.bind_text(5, timestamp);
  must_complete(s);
  return last_id();
}

// An update of a class's official placing and cuts, as a class save does.
inline void update_class(int id, std::optional<int> placing, std::optional<int> cuts,
                         const std::string& timestamp = "") {
  Statement s(timestamp.empty()
                  ? "UPDATE classes SET placing = ?, cuts = ?, "
                    "timestamp = datetime('now', 'localtime') WHERE id = ?;"
                  : "UPDATE classes SET placing = ?, cuts = ?, timestamp = ? WHERE id = ?;");
  bind_optional_int(s, 1, placing);
  bind_optional_int(s, 2, cuts);
  if (timestamp.empty()) {
    s.bind_int(3, id);
  } else {
    s.bind_text(3, timestamp);
    s.bind_int(4, id);
  }
  must_complete(s);
}

// Returns the placing id.
inline int add_placing(int class_id, int contestant_no, int placing,
                       std::optional<int> reasons = std::nullopt,
                       const std::string& timestamp = "") {
  Statement s(timestamp.empty()
                  ? "INSERT INTO placings (class_id, contestant_no, placing, reasons_score, "
                    "timestamp) VALUES (?, ?, ?, ?, datetime('now', 'localtime'));"
                  : "INSERT INTO placings (class_id, contestant_no, placing, reasons_score, "
                    "timestamp) VALUES (?, ?, ?, ?, ?);");
  s.bind_int(1, class_id);
  s.bind_int(2, contestant_no);
  s.bind_int(3, placing);
  bind_optional_int(s, 4, reasons);
  if (!timestamp.empty()) s.bind_text(5, timestamp);
  must_complete(s);
  return last_id();
}

// A reasons score entered later, as a placing save does it (timestamp now).
inline void set_reasons(int class_id, int contestant_no, int reasons) {
  Statement s("UPDATE placings SET reasons_score = ?, timestamp = datetime('now', 'localtime') "
              "WHERE class_id = ? AND contestant_no = ?;");
  s.bind_int(1, reasons);
  s.bind_int(2, class_id);
  s.bind_int(3, contestant_no);
  must_complete(s);
}

}  // namespace test_contest
