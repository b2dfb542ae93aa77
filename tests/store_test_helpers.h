// Helpers for the store command tests: a snapshot of the whole contest, to
// show that a refused command left the database exactly as it was, and a
// check that a command rejects its argument as a malformed number or field.
#pragma once
#include <stdexcept>
#include <string>
#include <vector>

#include "store/database.h"

// Every row of every table of the open contest as one text.
inline std::string contest_snapshot() {
  static const char* const kTables[] = {"contest",     "divisions", "teams",    "contestants",
                                        "class_types", "classes",   "placings"};
  std::string out;
  for (const char* table : kTables) {
    // Every column, whatever the schema holds: the snapshot must notice a
    // change to any of them.
    std::string sql = std::string("SELECT * FROM ") + table + " ORDER BY id;";
    Statement rows(sql.c_str());
    out += std::string("[") + table + "]\n";
    while (rows.step()) {
      for (int c = 0; c < rows.column_count(); ++c) {
        out += rows.column_is_null(c) ? "<NULL>" : rows.column_text(c);
        out += '|';
      }
      out += '\n';
    }
  }
  return out;
}

// True when `command` raises what the worker answers as "A number in this
// request is not valid.": a field that is no number, out of range, or missing.
template <typename Command>
bool rejects_argument(Command command, const std::string& argument) {
  try {
    command(argument);
  } catch (const std::invalid_argument&) {
    return true;
  } catch (const std::out_of_range&) {
    return true;
  }
  return false;
}

// A 300-digit number: far outside any 32-bit field.
inline std::string huge_number() { return std::string(300, '9'); }
