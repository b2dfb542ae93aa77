// The card log: one row for every placing or reasons score a phone sent,
// stored or refused, so the organiser can see who wrote a card first and
// what was refused after it. The log lives in the contest file beside the
// contest's own tables, in a table of its own.
#pragma once
#include <optional>
#include <string>

// Creates the card_log table when the file lacks it (a contest made before
// the log existed); leaves an existing one as it is. Raises DatabaseNotOpen,
// and DatabaseFailure when the table cannot be made.
void ensure_card_log();

// One card write as the phone sent it. Contestant and class are empty when
// the phone's text was not a card number; address and value are kept as
// printable ASCII (anything else shows as '?') and cut to kCardLogTextLimit
// characters, so nothing a phone sends can grow a row or break the page.
struct CardLogEntry {
  std::string address;
  const char* kind;  // "placing" or "reasons"
  std::optional<int> contestant;
  std::optional<int> class_id;
  std::string value;
  bool stored;
};
constexpr size_t kCardLogTextLimit = 40;
// The log keeps the newest kCardLogRowLimit rows; each new row beyond that
// drops the oldest, so a flood of writes cannot fill the disk.
constexpr int kCardLogRowLimit = 20000;

// Adds the row, stamped datetime('now', 'localtime'). Raises DatabaseFailure
// when it cannot be written; the caller decides what that undoes.
void add_card_log_entry(const CardLogEntry& entry);

// Command: argument ignored. Seven fields per row, newest first: time,
// address, kind, contestant, class, value, outcome ("stored" or "refused");
// "" for an empty log. Raises DatabaseNotOpen with no contest open.
std::string fetch_card_log(const std::string& ignored);
