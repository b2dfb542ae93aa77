// The one connection to the open contest file, and the thin layer every
// command uses: statements, a transaction guard, argument fields and the two
// shapes of a command (a change and a listing).
//
// Errors are raised as exceptions with fixed texts; only the worker turns
// them into sentences for the user.
#pragma once
#include <stdexcept>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

// Raised by any database use while no contest is open.
struct DatabaseNotOpen : std::runtime_error {
  DatabaseNotOpen() : std::runtime_error("Database not initialized") {}
};

// Raised when a statement cannot be prepared or a transaction cannot begin.
struct DatabaseFailure : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The process-wide connection. Empty at start; only the worker uses it, and
// the shell closes it at exit after the worker has stopped.
class ContestDatabase {
 public:
  // Opens `path` (UTF-8) read-write, creating the file. False, and the open
  // connection untouched, when one is already open; false and still closed
  // when the open fails.
  bool open(const std::string& path);
  void close();  // Does nothing when not open.
  bool is_open() const { return db_ != nullptr; }
  // The handle; raises DatabaseNotOpen when not open.
  sqlite3* handle() const;
  // Runs a multi-statement script; false on any failure.
  bool execute_script(const char* sql);

 private:
  sqlite3* db_ = nullptr;
};

ContestDatabase& contest_database();
bool open_database(const std::string& path);
void close_database();

// One prepared statement, finalized when it goes out of scope. Move-only.
class Statement {
 public:
  // Raises DatabaseNotOpen, or DatabaseFailure "Failed to prepare statement: ...".
  explicit Statement(const char* sql);
  ~Statement();
  Statement(Statement&& other) noexcept;
  Statement& operator=(Statement&& other) noexcept;
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  // Parameters count from 1; an unbound parameter is NULL.
  void bind_int(int index, int value);
  void bind_text(int index, const std::string& value);
  void bind_null(int index);
  // 100 (a row is ready), 101 (done) or a failure code.
  int step();
  // Columns count from 0; NULL reads as "" and 0.
  std::string column_text(int column) const;
  int column_int(int column) const;
  bool column_is_null(int column) const;
  // Rewinds and sets every parameter back to NULL.
  void reset();
  // Rows changed by the last step that returned 101.
  int changes() const { return changes_; }

 private:
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
  void commit();

 private:
  bool committed_ = false;
};

// The marker for an entry that does not exist yet.
bool is_none(const std::string& field);

// Cuts at every U+001F. The empty text gives no fields and a trailing
// separator adds no empty last field; inner or leading empties are kept.
std::vector<std::string> split_fields(const std::string& text);

// Decimal conversion like std::stoi: leading blanks, an optional sign, digits
// up to the first non-digit. Raises std::invalid_argument without digits and
// std::out_of_range outside the 32-bit signed range.
int read_int(const std::string& text);

// fields[index], or std::out_of_range when fewer fields arrived.
const std::string& field_at(const std::vector<std::string>& fields, size_t index);

extern const char kConsistencyError[];  // "ERROR:A data consistency check prevented this action."
// A change the file system refused (disk full, read-only folder, I/O error).
extern const char kWriteError[];

// True for the step results that mean the file could not be written, as
// opposed to a refused change.
bool is_write_failure(int step_result);

// Steps a bound change once: "" when it completed, kWriteError when the file
// could not be written, kConsistencyError for any other failure.
std::string run_change(Statement& statement);
// Steps a listing to its end: `columns` fields a row, one flat FieldList.
std::string run_listing(Statement& statement, int columns);
// The same, sending only the given columns of each row, in the given order.
std::string run_listing(Statement& statement, const std::vector<int>& columns);
