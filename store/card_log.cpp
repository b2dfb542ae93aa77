#include "store/card_log.h"

#include "store/database.h"
#include "store/entries.h"

namespace {

const char kCreateCardLog[] = R"sql(
CREATE TABLE IF NOT EXISTS card_log (
  id INTEGER PRIMARY KEY,
  time TEXT NOT NULL,
  address TEXT NOT NULL,
  kind TEXT NOT NULL CHECK (kind IN ('placing', 'reasons')),
  contestant INTEGER,
  class_id INTEGER,
  value TEXT NOT NULL,
  outcome TEXT NOT NULL CHECK (outcome IN ('stored', 'refused'))
) STRICT;
)sql";
const char kInsertEntry[] =
    "INSERT INTO card_log (time, address, kind, contestant, class_id, value, outcome) "
    "VALUES (datetime('now', 'localtime'), ?, ?, ?, ?, ?, ?);";
// Ids only grow, so the newest rows are the largest ids.
const char kDropOldest[] = "DELETE FROM card_log WHERE id <= (SELECT MAX(id) FROM card_log) - ?;";
const char kListEntries[] =
    "SELECT time, address, kind, contestant, class_id, value, outcome FROM card_log "
    "ORDER BY id DESC;";

// Printable ASCII only: the text reaches the page as a listing field, where
// a separator, a control character or a broken UTF-8 sequence would corrupt
// the reply.
std::string loggable(const std::string& text) {
  std::string out = text.substr(0, kCardLogTextLimit);
  for (char& c : out) {
    unsigned char byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte > 0x7e) c = '?';
  }
  return out;
}

}  // namespace

void ensure_card_log() {
  Statement create(kCreateCardLog);
  create.step();
}

void add_card_log_entry(const CardLogEntry& entry) {
  Statement insert(kInsertEntry);
  insert.bind_text(1, loggable(entry.address));
  insert.bind_text(2, entry.kind);
  bind_optional_int(insert, 3, entry.contestant);
  bind_optional_int(insert, 4, entry.class_id);
  insert.bind_text(5, loggable(entry.value));
  insert.bind_text(6, entry.stored ? "stored" : "refused");
  insert.step();
  Statement trim(kDropOldest);
  trim.bind_int(1, kCardLogRowLimit);
  trim.step();
}

std::string fetch_card_log(const std::string&) {
  Statement list(kListEntries);
  return run_listing(list);
}
