// The one connection to the open contest file, and the thin layer every
// command uses: statements, a transaction guard, argument fields and the two
// shapes of a command (a change and a listing).
//
// Callers never see the engine's result codes: a statement says "row" or
// "done", and every failure is raised as a DatabaseFailure whose kind tells
// a file that could not be written from a change that was refused. Only the
// edges (the worker, the commands' answers) turn errors into sentences.
#pragma once
#include <cstdint>
#include <mutex>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

#include "store/field_list.h"

struct sqlite3;
struct sqlite3_stmt;

// Raised by any database use while no contest is open.
struct DatabaseNotOpen : std::runtime_error {
  DatabaseNotOpen() : std::runtime_error("Database not initialized") {}
};

// Raised when a statement cannot be prepared or stepped, or a transaction
// cannot begin or commit.
class DatabaseFailure : public std::runtime_error {
 public:
  enum class Kind {
    kNotWritten,  // the file system failed: disk full, read-only file or folder, I/O error
    kRefused,     // the change was refused: a constraint, a trigger's abort, a lock not had in time
    kFailed,      // anything else, such as SQL that does not prepare on this file
  };
  explicit DatabaseFailure(const std::string& what, Kind kind = Kind::kFailed)
      : std::runtime_error(what), kind_(kind) {}
  Kind kind() const { return kind_; }

 private:
  Kind kind_;
};

// A connection to one contest file; closed when it goes. The process shares
// one (contest_database()); tests and checks may hold their own.
//
// The connection keeps the statements it has prepared, by their SQL text,
// and hands them out again, reset and unbound, so a command that runs often
// (a card write) does not parse its SQL every time. It keeps at most
// kStatementCacheSize of them, dropping the one used longest ago, and
// finalizes them all when it closes.
class ContestDatabase {
 public:
  ContestDatabase() = default;
  ~ContestDatabase() { close(); }
  ContestDatabase(const ContestDatabase&) = delete;
  ContestDatabase& operator=(const ContestDatabase&) = delete;

  // Opens `path` (UTF-8) read-write, creating the file. False, and the open
  // connection untouched, when one is already open; false and still closed
  // when the open fails.
  bool open(const std::string& path);
  void close();  // Does nothing when not open.
  bool is_open() const { return db_ != nullptr; }
  // Runs a multi-statement script; false on any failure. Raises
  // DatabaseNotOpen.
  bool execute_script(const char* sql);
  // True when the engine opened the file read-only (the file or its folder
  // cannot be written). Raises DatabaseNotOpen.
  bool is_read_only() const;
  // How long a statement waits for a lock before it fails; false when it
  // cannot be set. Raises DatabaseNotOpen.
  bool set_busy_timeout(int milliseconds);
  // How many prepared statements the connection keeps for use again.
  size_t cached_statement_count() const;

  static constexpr size_t kStatementCacheSize = 64;

 private:
  friend class Statement;
  friend class Transaction;
  struct CachedStatement {
    sqlite3_stmt* statement;
    uint64_t last_used;
  };
  sqlite3* handle() const;  // raises DatabaseNotOpen when not open
  // A kept statement for `sql`, now the caller's; nullptr when none is kept
  // (never prepared, or in use by another Statement).
  sqlite3_stmt* take_statement(const std::string& sql);
  // Keeps `statement` (already reset) for `sql` when it was prepared on the
  // connection that is open now (`generation`); finalizes it otherwise.
  void give_back_statement(const std::string& sql, sqlite3_stmt* statement, uint64_t generation);
  void finalize_cached_statements();

  sqlite3* db_ = nullptr;
  // Counts opens, so a statement that outlived its connection is never
  // kept for the next one.
  uint64_t generation_ = 0;
  uint64_t uses_ = 0;
  mutable std::mutex cache_mutex_;  // tests may read the file from a second thread
  std::unordered_map<std::string, CachedStatement> cache_;
};

ContestDatabase& contest_database();
bool open_database(const std::string& path);
void close_database();

// PRAGMA integrity_check of the file at `path`, on a connection of its own:
// "ok" for a sound file, the first complaint otherwise, and "could not check"
// when the file is missing or will not open.
std::string check_integrity(const std::string& path);

// One prepared statement, handed back to its connection's cache (reset and
// unbound) when it goes out of scope. Move-only. Two Statements of the same
// SQL may be alive at once: each has its own prepared statement. It may
// outlive its connection's close, but not the ContestDatabase object.
class Statement {
 public:
  // On the process's connection, or on `database`. Raises DatabaseNotOpen,
  // or DatabaseFailure "Failed to prepare statement: ...".
  explicit Statement(const char* sql);
  Statement(ContestDatabase& database, const char* sql);
  ~Statement();
  Statement(Statement&& other) noexcept;
  Statement& operator=(Statement&& other) noexcept;
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  // Parameters count from 1; an unbound parameter is NULL.
  void bind_int(int index, int value);
  void bind_text(int index, const std::string& value);
  void bind_null(int index);
  // True when a row is ready, false when the statement completed. Raises
  // DatabaseFailure (kNotWritten or kRefused) when it fails; the failed
  // change is undone and the statement is rewound.
  bool step();
  // Columns count from 0; NULL reads as "" and 0.
  int column_count() const;
  std::string column_text(int column) const;
  int column_int(int column) const;
  bool column_is_null(int column) const;
  // Rewinds and sets every parameter back to NULL.
  void reset();
  // Rows changed by the last step that completed.
  int changes() const { return changes_; }

 private:
  void prepare(ContestDatabase& database, const char* sql);
  void release();
  ContestDatabase* database_ = nullptr;
  std::string sql_;
  uint64_t generation_ = 0;
  sqlite3_stmt* stmt_ = nullptr;
  int changes_ = 0;
};

// BEGIN on construction (DatabaseFailure "Failed to begin transaction" when
// it cannot), ROLLBACK on leaving scope unless commit() ran first.
class Transaction {
 public:
  Transaction();
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;
  // Makes every change since BEGIN permanent. When COMMIT fails (disk full,
  // I/O error, a lock not had in time) rolls back, so the connection is
  // ready for the next command, and raises DatabaseFailure kNotWritten:
  // none of the changes reached the file.
  void commit();
  // False once the engine has undone the whole transaction by itself (some
  // failures do); changes made after that would each commit on their own.
  bool is_active() const;

 private:
  bool finished_ = false;
};

extern const char kConsistencyError[];  // "ERROR:A data consistency check prevented this action."
// A change the file system refused (disk full, read-only folder, I/O error).
extern const char kWriteError[];

// The answer for a failure of `kind`: kWriteError when the file could not be
// written, kConsistencyError otherwise.
const char* change_error(DatabaseFailure::Kind kind);

// Steps a bound change once: "" when it completed, kWriteError when the file
// could not be written, kConsistencyError for any other failure.
std::string run_change(Statement& statement);
// Steps a listing to its end: every column the query names, of every row,
// as one flat FieldList (NULL as an empty field); "" for no rows. Raises
// DatabaseFailure when a step fails, rather than passing off the rows read
// so far as the whole listing.
std::string run_listing(Statement& statement);
