// Helpers for the store command tests: a snapshot of the whole contest, to
// show that a refused command left the database exactly as it was, and a
// check that a command rejects its argument as a malformed number or field.
#pragma once
#include <sqlite3.h>

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
    std::string sql = std::string("SELECT * FROM ") + table + " ORDER BY id;";
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(contest_database().handle(), sql.c_str(), -1, &stmt, nullptr);
    out += std::string("[") + table + "]\n";
    while (stmt && sqlite3_step(stmt) == SQLITE_ROW) {
      for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
        const unsigned char* text = sqlite3_column_text(stmt, c);
        out += text ? reinterpret_cast<const char*>(text) : "<NULL>";
        out += '|';
      }
      out += '\n';
    }
    sqlite3_finalize(stmt);
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
