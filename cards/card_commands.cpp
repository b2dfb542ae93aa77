#include "cards/card_commands.h"

#include <climits>
#include <optional>
#include <vector>

#include "store/card_log.h"
#include "store/database.h"

namespace {

const char kNamesSql[] =
    "SELECT (SELECT name FROM contestants WHERE number = ?) AS contestant, "
    "(SELECT name FROM classes WHERE id = ?) AS class;";
const char kNamesAndPlacingSql[] =
    "SELECT (SELECT name FROM contestants WHERE number = ?) AS contestant, "
    "(SELECT name FROM classes WHERE id = ?) AS class, "
    "(SELECT placing FROM placings WHERE contestant_no = ? AND class_id = ?) AS placing;";
const char kInsertPlacingSql[] =
    "INSERT INTO placings (class_id, contestant_no, placing, timestamp) "
    "VALUES (?, ?, ?, datetime('now', 'localtime'));";
const char kSetReasonsSql[] =
    "UPDATE placings SET reasons_score = ?, timestamp = datetime('now', 'localtime') "
    "WHERE class_id = ? AND contestant_no = ? AND reasons_score IS NULL;";

const char kNoContest[] = "ERROR:A contest is not open.";
const char kBadNumber[] = "ERROR:A number in this request is not valid.";
const char kNoRow[] = "ERROR:Database problem. Restart the application if the problem persists.";

bool all_digits(const std::string& text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// Contestant and class numbers as the cards write them: digits without a
// leading zero, within 32 bits.
std::optional<int> card_number(const std::string& text) {
  if (!all_digits(text) || text[0] == '0' || text.size() > 10) return std::nullopt;
  long long value = std::stoll(text);
  if (value > INT_MAX) return std::nullopt;
  return static_cast<int>(value);
}

// "0" (no placing) or the digits 1 to 4, each once.
bool is_card_placing(const std::string& text) {
  if (text == "0") return true;
  if (text.size() != 4) return false;
  for (char digit : {'1', '2', '3', '4'})
    if (text.find(digit) == std::string::npos) return false;
  return true;
}

// 0 to 50 with no sign and no leading zero, as the Reasons Card accepts it.
bool is_card_reasons(const std::string& text) {
  if (!all_digits(text) || text.size() > 2 || (text.size() == 2 && text[0] == '0')) return false;
  return std::stoi(text) <= 50;
}

struct CardKey {
  int contestant;
  int class_id;
};

// Contestant and class from fields 0 and 1, when both are card numbers.
std::optional<CardKey> read_key(const std::vector<std::string>& fields) {
  if (fields.size() < 2) return std::nullopt;
  auto contestant = card_number(fields[0]);
  auto class_id = card_number(fields[1]);
  if (!contestant || !class_id) return std::nullopt;
  return CardKey{*contestant, *class_id};
}

// A names look-up: its one row. The query always yields that row (a name it
// does not find is NULL), so having none means the file failed.
std::string run_lookup(Statement& statement) {
  std::string row;
  try {
    row = run_listing(statement);
  } catch (const DatabaseFailure&) {
    return kNoRow;
  }
  // Even a row of empty names holds a separator, so "" means no row.
  return row.empty() ? kNoRow : row;
}

}  // namespace

std::string fetch_card_names(const std::string& fields) {
  if (!contest_database().is_open()) return kNoContest;
  auto key = read_key(split_fields(fields));
  if (!key) return kBadNumber;
  Statement statement(kNamesSql);
  statement.bind_int(1, key->contestant);
  statement.bind_int(2, key->class_id);
  return run_lookup(statement);
}

std::string fetch_card_names_and_placing(const std::string& fields) {
  if (!contest_database().is_open()) return kNoContest;
  auto key = read_key(split_fields(fields));
  if (!key) return kBadNumber;
  Statement statement(kNamesAndPlacingSql);
  statement.bind_int(1, key->contestant);
  statement.bind_int(2, key->class_id);
  statement.bind_int(3, key->contestant);
  statement.bind_int(4, key->class_id);
  return run_lookup(statement);
}

namespace {

// Steps a card write: true when it completed, false when the database
// refused it (a second placing, an unknown number). A file that cannot be
// written is raised, so the caller gives up the whole write.
bool step_stored(Statement& statement) {
  try {
    statement.step();
    return true;
  } catch (const DatabaseFailure& failure) {
    if (failure.kind() == DatabaseFailure::Kind::kNotWritten) throw;
    return false;
  }
}

bool store_placing(const CardKey& key, const std::string& placing) {
  Statement statement(kInsertPlacingSql);
  statement.bind_int(1, key.class_id);
  statement.bind_int(2, key.contestant);
  statement.bind_int(3, std::stoi(placing));
  return step_stored(statement);
}

bool store_reasons(const CardKey& key, const std::string& reasons) {
  Statement statement(kSetReasonsSql);
  statement.bind_int(1, std::stoi(reasons));
  statement.bind_int(2, key.class_id);
  statement.bind_int(3, key.contestant);
  return step_stored(statement) && statement.changes() > 0;
}

// One of the two card writes: its name in the log, the values a card sends
// for it, and how it is stored (true when stored, false when refused; a
// file that fails is raised).
struct CardWriteKind {
  const char* log_name;
  bool (*valid_value)(const std::string&);
  bool (*store)(const CardKey&, const std::string&);
};
const CardWriteKind kPlacingWrite{"placing", is_card_placing, store_placing};
const CardWriteKind kReasonsWrite{"reasons", is_card_reasons, store_reasons};

// A card write as the card server passes it on: the phone's address, then
// the fields the phone sent.
struct CardWrite {
  std::string address;
  std::vector<std::string> fields;
};

CardWrite read_card_write(const std::string& argument) {
  CardWrite write;
  write.fields = split_fields(argument);
  if (!write.fields.empty()) {
    write.address = write.fields.front();
    write.fields.erase(write.fields.begin());
  }
  return write;
}

// The log entry for `write`, refused until the store says otherwise.
CardLogEntry log_entry(const CardWrite& write, const char* kind) {
  const auto& fields = write.fields;
  CardLogEntry entry{write.address, kind, std::nullopt, std::nullopt, "", false};
  if (fields.size() > 0) entry.contestant = card_number(fields[0]);
  if (fields.size() > 1) entry.class_id = card_number(fields[1]);
  if (fields.size() > 2) entry.value = fields[2];
  return entry;
}

// Stores `argument` when its fields are what a card sends: its log entry,
// with the outcome.
CardLogEntry store(const CardWriteKind& kind, const std::string& argument) {
  CardWrite write = read_card_write(argument);
  auto key = read_key(write.fields);
  CardLogEntry entry = log_entry(write, kind.log_name);
  entry.stored = key && write.fields.size() >= 3 && kind.valid_value(write.fields[2]) &&
                 kind.store(*key, write.fields[2]);
  return entry;
}

// Stores and logs every write in one transaction and answers each in order,
// so the answers, the placings and the log rows all agree: a log row that
// cannot be written undoes the writes and no phone hears "true" for them,
// and a refused write is never answered "true". When the transaction fails,
// nothing of it reached the file; each write of a group then runs again in
// a transaction of its own, so one that cannot be stored costs the others
// nothing.
std::vector<std::string> run_card_writes(const CardWriteKind& kind,
                                         const std::vector<std::string>& arguments) {
  std::vector<std::string> answers;
  try {
    Transaction transaction;
    for (const std::string& argument : arguments) {
      CardLogEntry entry = store(kind, argument);
      // Some failures make the engine undo the whole transaction: the
      // group's earlier writes are gone, and what followed would commit one
      // statement at a time.
      if (arguments.size() > 1 && !transaction.is_active())
        throw DatabaseFailure("The transaction was undone");
      add_card_log_entry(entry);
      answers.push_back(entry.stored ? "true" : "false");
    }
    transaction.commit();
    return answers;
  } catch (const DatabaseFailure&) {
    if (arguments.size() == 1) return {"false"};
  }
  answers.clear();
  for (const std::string& argument : arguments)
    answers.push_back(run_card_writes(kind, {argument}).front());
  return answers;
}

std::vector<std::string> run_card_writes_if_open(const CardWriteKind& kind,
                                                 const std::vector<std::string>& arguments) {
  if (!contest_database().is_open()) return std::vector<std::string>(arguments.size(), "false");
  return run_card_writes(kind, arguments);
}

}  // namespace

std::string save_card_placing(const std::string& argument) {
  return run_card_writes_if_open(kPlacingWrite, {argument}).front();
}

std::string save_card_reasons(const std::string& argument) {
  return run_card_writes_if_open(kReasonsWrite, {argument}).front();
}

std::vector<std::string> save_card_placing_batch(const std::vector<std::string>& arguments) {
  return run_card_writes_if_open(kPlacingWrite, arguments);
}

std::vector<std::string> save_card_reasons_batch(const std::vector<std::string>& arguments) {
  return run_card_writes_if_open(kReasonsWrite, arguments);
}
