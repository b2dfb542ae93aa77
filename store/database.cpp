#include "store/database.h"

#include <sqlite3.h>

#include <utility>

const char kConsistencyError[] = "ERROR:A data consistency check prevented this action.";
const char kWriteError[] =
    "ERROR:The contest file could not be written. Check that the disk has free space and "
    "that the contest folder can be written to.";

bool is_write_failure(int step_result) {
  switch (step_result & 0xFF) {
    case SQLITE_FULL:
    case SQLITE_IOERR:
    case SQLITE_READONLY:
    case SQLITE_CANTOPEN:
      return true;
    default:
      return false;
  }
}

namespace {
const char kSeparator = '\x1f';
ContestDatabase g_database;
}  // namespace

ContestDatabase& contest_database() { return g_database; }
bool open_database(const std::string& path) { return g_database.open(path); }
void close_database() { g_database.close(); }

bool ContestDatabase::open(const std::string& path) {
  if (db_) return false;
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  if (rc != SQLITE_OK) {
    sqlite3_close(db);
    return false;
  }
  db_ = db;
  return true;
}

void ContestDatabase::close() {
  if (!db_) return;
  sqlite3_close_v2(db_);
  db_ = nullptr;
}

sqlite3* ContestDatabase::handle() const {
  if (!db_) throw DatabaseNotOpen();
  return db_;
}

bool ContestDatabase::execute_script(const char* sql) {
  return sqlite3_exec(handle(), sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

Statement::Statement(const char* sql) {
  sqlite3* db = g_database.handle();
  if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK) {
    sqlite3_finalize(stmt_);
    stmt_ = nullptr;
    throw DatabaseFailure(std::string("Failed to prepare statement: ") + sqlite3_errmsg(db));
  }
}

Statement::~Statement() { sqlite3_finalize(stmt_); }

Statement::Statement(Statement&& other) noexcept
    : stmt_(std::exchange(other.stmt_, nullptr)), changes_(other.changes_) {}

Statement& Statement::operator=(Statement&& other) noexcept {
  if (this != &other) {
    sqlite3_finalize(stmt_);
    stmt_ = std::exchange(other.stmt_, nullptr);
    changes_ = other.changes_;
  }
  return *this;
}

void Statement::bind_int(int index, int value) { sqlite3_bind_int(stmt_, index, value); }

void Statement::bind_text(int index, const std::string& value) {
  sqlite3_bind_text(stmt_, index, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
}

void Statement::bind_null(int index) { sqlite3_bind_null(stmt_, index); }

int Statement::step() {
  int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_DONE) changes_ = sqlite3_changes(sqlite3_db_handle(stmt_));
  return rc;
}

std::string Statement::column_text(int column) const {
  const unsigned char* text = sqlite3_column_text(stmt_, column);
  if (!text) return std::string();
  return std::string(reinterpret_cast<const char*>(text), sqlite3_column_bytes(stmt_, column));
}

int Statement::column_int(int column) const { return sqlite3_column_int(stmt_, column); }

bool Statement::column_is_null(int column) const {
  return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

void Statement::reset() {
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
}

Transaction::Transaction() {
  if (sqlite3_exec(g_database.handle(), "BEGIN TRANSACTION", nullptr, nullptr, nullptr) != SQLITE_OK)
    throw DatabaseFailure("Failed to begin transaction");
}

Transaction::~Transaction() {
  if (!committed_ && g_database.is_open())
    sqlite3_exec(g_database.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void Transaction::commit() {
  committed_ = true;
  sqlite3_exec(g_database.handle(), "COMMIT", nullptr, nullptr, nullptr);
}

bool is_none(const std::string& field) { return field == "none"; }

std::vector<std::string> split_fields(const std::string& text) {
  std::vector<std::string> fields;
  std::string piece;
  bool started = false;
  for (char c : text) {
    if (c == kSeparator) {
      fields.push_back(std::move(piece));
      piece.clear();
      started = false;
    } else {
      piece += c;
      started = true;
    }
  }
  if (started) fields.push_back(std::move(piece));
  return fields;
}

int read_int(const std::string& text) { return std::stoi(text); }

const std::string& field_at(const std::vector<std::string>& fields, size_t index) {
  if (index >= fields.size()) throw std::out_of_range("missing field");
  return fields[index];
}

std::string run_change(Statement& statement) {
  int rc = statement.step();
  if (rc == SQLITE_DONE) return std::string();
  // Telling a full disk from a refused entry tells the organiser what to fix.
  return is_write_failure(rc) ? kWriteError : kConsistencyError;
}

std::string run_listing(Statement& statement, int columns) {
  std::vector<int> all(static_cast<size_t>(columns));
  for (int c = 0; c < columns; ++c) all[static_cast<size_t>(c)] = c;
  return run_listing(statement, all);
}

std::string run_listing(Statement& statement, const std::vector<int>& columns) {
  std::string result;
  bool first = true;
  while (statement.step() == SQLITE_ROW) {
    for (int column : columns) {
      if (!first) result += kSeparator;
      first = false;
      result += statement.column_text(column);
    }
  }
  return result;
}
