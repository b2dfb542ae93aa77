#include "store/database.h"

#include <sqlite3.h>

#include <filesystem>
#include <utility>

const char kConsistencyError[] = "ERROR:A data consistency check prevented this action.";
const char kWriteError[] =
    "ERROR:The contest file could not be written. Check that the disk has free space and "
    "that the contest folder can be written to.";

namespace {

const char kBegin[] = "BEGIN TRANSACTION;";
const char kCommit[] = "COMMIT;";
const char kRollback[] = "ROLLBACK;";
const char kIntegrityCheck[] = "PRAGMA integrity_check;";

ContestDatabase g_database;

// Result codes that mean the file system let the engine down, as opposed to
// the engine refusing what it was asked.
bool is_file_failure(int result) {
  switch (result & 0xFF) {
    case SQLITE_FULL:
    case SQLITE_IOERR:
    case SQLITE_READONLY:
    case SQLITE_CANTOPEN:
      return true;
    default:
      return false;
  }
}

DatabaseFailure::Kind kind_of(int result, DatabaseFailure::Kind otherwise) {
  return is_file_failure(result) ? DatabaseFailure::Kind::kNotWritten : otherwise;
}

// Runs one statement without results; the engine's result code.
int execute(sqlite3* db, const char* sql) {
  return sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
}

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
  ++generation_;
  return true;
}

void ContestDatabase::close() {
  if (!db_) return;
  finalize_cached_statements();
  // A Statement still alive keeps the connection until it is finalized;
  // the _v2 close waits for that instead of failing.
  sqlite3_close_v2(db_);
  db_ = nullptr;
}

size_t ContestDatabase::cached_statement_count() const {
  std::lock_guard<std::mutex> lock(cache_mutex_);
  return cache_.size();
}

sqlite3_stmt* ContestDatabase::take_statement(const std::string& sql) {
  std::lock_guard<std::mutex> lock(cache_mutex_);
  auto found = cache_.find(sql);
  if (found == cache_.end()) return nullptr;
  sqlite3_stmt* statement = found->second.statement;
  cache_.erase(found);
  return statement;
}

void ContestDatabase::give_back_statement(const std::string& sql, sqlite3_stmt* statement,
                                          uint64_t generation) {
  sqlite3_stmt* unkept = statement;
  {
    std::lock_guard<std::mutex> lock(cache_mutex_);
    // Not kept when the connection it was made on is gone, or when another
    // Statement of the same SQL already gave its own back.
    if (db_ && generation == generation_ &&
        cache_.try_emplace(sql, CachedStatement{statement, ++uses_}).second) {
      unkept = nullptr;
      if (cache_.size() > kStatementCacheSize) {
        auto oldest = cache_.begin();
        for (auto it = cache_.begin(); it != cache_.end(); ++it)
          if (it->second.last_used < oldest->second.last_used) oldest = it;
        unkept = oldest->second.statement;
        cache_.erase(oldest);
      }
    }
  }
  sqlite3_finalize(unkept);  // a no-op for nullptr
}

void ContestDatabase::finalize_cached_statements() {
  std::lock_guard<std::mutex> lock(cache_mutex_);
  for (auto& entry : cache_) sqlite3_finalize(entry.second.statement);
  cache_.clear();
}

sqlite3* ContestDatabase::handle() const {
  if (!db_) throw DatabaseNotOpen();
  return db_;
}

bool ContestDatabase::execute_script(const char* sql) {
  return execute(handle(), sql) == SQLITE_OK;
}

bool ContestDatabase::is_read_only() const { return sqlite3_db_readonly(handle(), "main") == 1; }

bool ContestDatabase::set_busy_timeout(int milliseconds) {
  return sqlite3_busy_timeout(handle(), milliseconds) == SQLITE_OK;
}

std::string check_integrity(const std::string& path) {
  std::error_code ec;
  ContestDatabase database;
  // Opening would create a missing file, which would then check as sound.
  if (!std::filesystem::is_regular_file(path, ec) || !database.open(path)) return "could not check";
  try {
    Statement check(database, kIntegrityCheck);
    return check.step() ? check.column_text(0) : "could not check";
  } catch (const DatabaseFailure&) {
    return "could not check";
  }
}

Statement::Statement(const char* sql) { prepare(g_database, sql); }

Statement::Statement(ContestDatabase& database, const char* sql) { prepare(database, sql); }

void Statement::prepare(ContestDatabase& database, const char* sql) {
  sqlite3* db = database.handle();
  database_ = &database;
  generation_ = database.generation_;
  sql_ = sql;
  stmt_ = database.take_statement(sql_);
  if (stmt_) return;
  int rc = sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr);
  if (rc != SQLITE_OK) {
    sqlite3_finalize(stmt_);
    stmt_ = nullptr;
    throw DatabaseFailure(std::string("Failed to prepare statement: ") + sqlite3_errmsg(db),
                          kind_of(rc, DatabaseFailure::Kind::kFailed));
  }
}

void Statement::release() {
  if (!stmt_) return;
  // Reset ends any read the statement still holds open, so a kept
  // statement never pins a snapshot of the file.
  reset();
  database_->give_back_statement(sql_, std::exchange(stmt_, nullptr), generation_);
}

Statement::~Statement() { release(); }

Statement::Statement(Statement&& other) noexcept
    : database_(other.database_),
      sql_(std::move(other.sql_)),
      generation_(other.generation_),
      stmt_(std::exchange(other.stmt_, nullptr)),
      changes_(other.changes_) {}

Statement& Statement::operator=(Statement&& other) noexcept {
  if (this != &other) {
    release();
    database_ = other.database_;
    sql_ = std::move(other.sql_);
    generation_ = other.generation_;
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

bool Statement::step() {
  int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  sqlite3* db = sqlite3_db_handle(stmt_);
  if (rc == SQLITE_DONE) {
    changes_ = sqlite3_changes(db);
    return false;
  }
  // The extended code names the cause (SQLITE_IOERR_WRITE, ...); the plain
  // one that step returns may not.
  int cause = sqlite3_extended_errcode(db);
  std::string message = std::string("Step failed: ") + sqlite3_errmsg(db);
  sqlite3_reset(stmt_);
  throw DatabaseFailure(message, kind_of(cause, DatabaseFailure::Kind::kRefused));
}

int Statement::column_count() const { return sqlite3_column_count(stmt_); }

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

namespace {

// ROLLBACK through the statement cache; never raises, as it runs from a
// destructor and after a failed COMMIT.
void roll_back() noexcept {
  try {
    Statement rollback(kRollback);
    rollback.step();
  } catch (const std::exception&) {
    // The engine had already rolled back (after a failed step); nothing is open.
  }
}

}  // namespace

Transaction::Transaction() {
  Statement begin(kBegin);  // raises DatabaseNotOpen with no contest open
  try {
    begin.step();
  } catch (const DatabaseFailure&) {
    throw DatabaseFailure("Failed to begin transaction");
  }
}

Transaction::~Transaction() {
  if (!finished_ && g_database.is_open()) roll_back();
}

void Transaction::commit() {
  finished_ = true;
  std::string message;
  try {
    Statement commit(kCommit);
    commit.step();
    return;
  } catch (const DatabaseFailure& failure) {
    message = std::string("Failed to commit transaction: ") + failure.what();
  }
  // A failed COMMIT can leave the transaction open, and every later change
  // would then join it and never reach the file.
  roll_back();
  throw DatabaseFailure(message, DatabaseFailure::Kind::kNotWritten);
}

bool Transaction::is_active() const {
  return !finished_ && sqlite3_get_autocommit(g_database.handle()) == 0;
}

const char* change_error(DatabaseFailure::Kind kind) {
  // Telling a full disk from a refused entry tells the organiser what to fix.
  return kind == DatabaseFailure::Kind::kNotWritten ? kWriteError : kConsistencyError;
}

std::string run_change(Statement& statement) {
  try {
    statement.step();
    return std::string();
  } catch (const DatabaseFailure& failure) {
    return change_error(failure.kind());
  }
}

std::string run_listing(Statement& statement) {
  std::string result;
  bool first = true;
  const int columns = statement.column_count();
  while (statement.step()) {
    for (int column = 0; column < columns; ++column) {
      if (!first) result += kFieldSeparator;
      first = false;
      result += statement.column_text(column);
    }
  }
  return result;
}
