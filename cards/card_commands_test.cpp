#include "cards/card_commands.h"

#include <gtest/gtest.h>

#include "store/database.h"
#include "tests/test_support.h"

namespace {

// The address the card server puts first in a write's fields.
const char kPhone[] = "127.0.0.2";

const char kBadNumber[] = "ERROR:A number in this request is not valid.";
const char kOldTime[] = "2000-01-01 00:00:00";

// Contestant 1011 "Ann" (and 1012 "Ben") in team 1010, classes 1 "Steers"
// and 2 "Heifers".
class CardCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    exec_sql("INSERT INTO divisions (id, name, team_size) VALUES (1, 'Senior', 4)");
    exec_sql("INSERT INTO teams (division_no, name, type) VALUES (1000, 'Reds', 'Team')");
    exec_sql("INSERT INTO contestants (team_no, name) VALUES (1010, 'Ann')");
    exec_sql("INSERT INTO contestants (team_no, name) VALUES (1010, 'Ben')");
    exec_sql("INSERT INTO class_types (name) VALUES ('Beef')");
    exec_sql("INSERT INTO classes (type_id, name, placing, cuts, timestamp) "
             "VALUES (1, 'Steers', 1234, 323, '2000-01-01 00:00:00')");
    exec_sql("INSERT INTO classes (type_id, name, placing, cuts, timestamp) "
             "VALUES (1, 'Heifers', 4321, 323, '2000-01-01 00:00:00')");
  }
  std::string placings() {
    return query_text("SELECT group_concat(contestant_no || '/' || class_id || '=' || placing || "
                      "'/' || ifnull(reasons_score, '-'), ' ') FROM placings");
  }
  OpenContest contest;
};

TEST_F(CardCommandsTest, LookUpsAnswerNamesWithEmptyFieldsForUnknownNumbers) {
  exec_sql("INSERT INTO placings (class_id, contestant_no, placing, timestamp) "
           "VALUES (2, 1011, 3142, '2000-01-01 00:00:00')");
  struct Case {
    std::string argument, names, names_and_placing;
  } cases[] = {
      {fields({"1011", "1"}), fields({"Ann", "Steers"}), fields({"Ann", "Steers", ""})},
      {fields({"1011", "2"}), fields({"Ann", "Heifers"}), fields({"Ann", "Heifers", "3142"})},
      {fields({"1019", "1"}), fields({"", "Steers"}), fields({"", "Steers", ""})},
      {fields({"1012", "9"}), fields({"Ben", ""}), fields({"Ben", "", ""})},
      {fields({"1011", "2", "extra"}), fields({"Ann", "Heifers"}), fields({"Ann", "Heifers", "3142"})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.argument);
    EXPECT_EQ(fetch_card_names(c.argument), c.names);
    EXPECT_EQ(fetch_card_names_and_placing(c.argument), c.names_and_placing);
  }
}

TEST_F(CardCommandsTest, APlacingIsStoredOnceAndNeverChangedByACard) {
  EXPECT_EQ(save_card_placing(fields({kPhone, "1011", "1", "4321"})), "true");
  EXPECT_EQ(save_card_placing(fields({kPhone, "1011", "1", "1234"})), "false");
  EXPECT_EQ(save_card_placing(fields({kPhone, "1012", "1", "0"})), "true");
  EXPECT_EQ(placings(), "1011/1=4321/- 1012/1=0/-");
  EXPECT_NE(query_text("SELECT timestamp FROM placings WHERE contestant_no = 1011"), "");
  // Unknown contestant or class: the foreign keys refuse.
  EXPECT_EQ(save_card_placing(fields({kPhone, "1019", "1", "1234"})), "false");
  EXPECT_EQ(save_card_placing(fields({kPhone, "1011", "9", "1234"})), "false");
  EXPECT_EQ(placings(), "1011/1=4321/- 1012/1=0/-");
}

TEST_F(CardCommandsTest, AReasonsScoreNeedsThePlacingAndIsGivenOnce) {
  EXPECT_EQ(save_card_reasons(fields({kPhone, "1011", "1", "45"})), "false");  // no placing yet
  exec_sql("INSERT INTO placings (class_id, contestant_no, placing, timestamp) "
           "VALUES (1, 1011, 1234, '2000-01-01 00:00:00')");
  EXPECT_EQ(save_card_reasons(fields({kPhone, "1011", "1", "45"})), "true");
  EXPECT_EQ(save_card_reasons(fields({kPhone, "1011", "1", "30"})), "false");
  EXPECT_EQ(placings(), "1011/1=1234/45");
  // The new timestamp makes the next scoring pass rescore the row.
  EXPECT_NE(query_text("SELECT timestamp FROM placings"), kOldTime);
}

TEST_F(CardCommandsTest, FieldsThatACardCannotSendAreRefusedAndChangeNothing) {
  exec_sql("INSERT INTO placings (class_id, contestant_no, placing, timestamp) "
           "VALUES (2, 1011, 1234, '2000-01-01 00:00:00')");
  const std::string good_placings[] = {"0", "1234", "4321", "2413"};
  const std::string bad_placings[] = {"", "1123", "123", "12345", "5123", "0123", "00", "-0",
                                      "+1234", " 1234", "1234 ", "12.4", "9999", "abcd"};
  const std::string good_reasons[] = {"0", "7", "10", "49", "50"};
  const std::string bad_reasons[] = {"", "51", "99", "100", "-1", "+5", "05", "00", "5.0",
                                     " 5", "5 ", "x", "4294967296"};
  for (const std::string& placing : bad_placings) {
    SCOPED_TRACE("placing " + placing);
    EXPECT_EQ(save_card_placing(fields({kPhone, "1011", "1", placing})), "false");
  }
  for (const std::string& score : bad_reasons) {
    SCOPED_TRACE("reasons " + score);
    EXPECT_EQ(save_card_reasons(fields({kPhone, "1011", "2", score})), "false");
  }
  EXPECT_EQ(placings(), "1011/2=1234/-");
  EXPECT_EQ(query_text("SELECT timestamp FROM placings"), kOldTime);

  // Each accepted form, on a fresh row.
  for (const std::string& placing : good_placings) {
    SCOPED_TRACE("placing " + placing);
    exec_sql("DELETE FROM placings");
    EXPECT_EQ(save_card_placing(fields({kPhone, "1011", "1", placing})), "true");
  }
  for (const std::string& score : good_reasons) {
    SCOPED_TRACE("reasons " + score);
    exec_sql("UPDATE placings SET reasons_score = NULL");
    EXPECT_EQ(save_card_reasons(fields({kPhone, "1011", "1", score})), "true");
    EXPECT_EQ(query_text("SELECT reasons_score FROM placings"), score);
  }
}

TEST_F(CardCommandsTest, NumbersThatAreNotCardNumbersGiveFalseOrAnError) {
  struct Case {
    std::string contestant, class_id;
  } cases[] = {{"abc", "1"},  {"1011", "x"},  {"-1011", "1"}, {"+1011", "1"},
               {"01011", "1"}, {"1011", "01"}, {"0", "1"},     {"1011", "0"},
               {"1011 ", "1"}, {" 1011", "1"}, {"", "1"},      {"1011", ""},
               {"2147483648", "1"}, {"99999999999", "1"}, {"1011.0", "1"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.contestant + "/" + c.class_id);
    EXPECT_EQ(fetch_card_names(fields({c.contestant, c.class_id})), kBadNumber);
    EXPECT_EQ(fetch_card_names_and_placing(fields({c.contestant, c.class_id})), kBadNumber);
    EXPECT_EQ(save_card_placing(fields({kPhone, c.contestant, c.class_id, "1234"})), "false");
    EXPECT_EQ(save_card_reasons(fields({kPhone, c.contestant, c.class_id, "40"})), "false");
  }
  // Missing fields, an empty argument included.
  for (const std::string& argument :
       {std::string(), fields({kPhone}), fields({kPhone, "1011"}), fields({kPhone, "1011", "1"}),
        fields({"1011", "1", "1234"})}) {  // the last without the address: one field short
    SCOPED_TRACE(argument);
    EXPECT_EQ(save_card_placing(argument), "false");
    EXPECT_EQ(save_card_reasons(argument), "false");
  }
  EXPECT_EQ(fetch_card_names(""), kBadNumber);
  EXPECT_EQ(fetch_card_names_and_placing("1011"), kBadNumber);
  EXPECT_EQ(placings(), "");
}

// The log as "address kind contestant/class=value outcome" rows, oldest first.
std::string card_log() {
  return query_text("SELECT group_concat(address || ' ' || kind || ' ' || ifnull(contestant, '') || "
                    "'/' || ifnull(class_id, '') || '=' || value || ' ' || outcome, '; ') "
                    "FROM (SELECT * FROM card_log ORDER BY id)");
}

TEST_F(CardCommandsTest, EveryWriteIsLoggedStoredOrRefused) {
  const struct {
    const char* command;
    std::string argument, answer, logged;
  } cases[] = {
      {"placing", fields({"127.0.0.9", "1011", "1", "2143"}), "true", "127.0.0.9 placing 1011/1=2143 stored"},
      {"placing", fields({"127.0.0.2", "1011", "1", "1234"}), "false", "127.0.0.2 placing 1011/1=1234 refused"},
      {"reasons", fields({"127.0.0.2", "1011", "1", "45"}), "true", "127.0.0.2 reasons 1011/1=45 stored"},
      {"reasons", fields({"127.0.0.9", "1011", "1", "3"}), "false", "127.0.0.9 reasons 1011/1=3 refused"},
      {"reasons", fields({"127.0.0.9", "1012", "1", "3"}), "false", "127.0.0.9 reasons 1012/1=3 refused"},
      {"placing", fields({"127.0.0.2", "1011", "2", "1123"}), "false", "127.0.0.2 placing 1011/2=1123 refused"},
      {"placing", fields({"127.0.0.2", "1019", "1", "1234"}), "false", "127.0.0.2 placing 1019/1=1234 refused"},
      // Garbage: numbers that are not card numbers log as empty, the value as sent.
      {"placing", fields({"127.0.0.2", "01011", "x", "<i>"}), "false", "127.0.0.2 placing /=<i> refused"},
      {"reasons", fields({"127.0.0.2", "1011"}), "false", "127.0.0.2 reasons 1011/= refused"},
      {"placing", "", "false", " placing /= refused"},
  };
  std::string expected;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.argument);
    bool placing = std::string(c.command) == "placing";
    EXPECT_EQ(placing ? save_card_placing(c.argument) : save_card_reasons(c.argument), c.answer);
    expected += (expected.empty() ? "" : "; ") + c.logged;
    EXPECT_EQ(card_log(), expected);
  }
  EXPECT_EQ(placings(), "1011/1=2143/45");
}

TEST_F(CardCommandsTest, AWriteWhoseLogRowFailsIsUndoneAndAnsweredFalse) {
  // The log table gone behind the host's back: the row cannot be written.
  exec_sql("DROP TABLE card_log");
  EXPECT_EQ(save_card_placing(fields({kPhone, "1011", "1", "2143"})), "false");
  EXPECT_EQ(placings(), "");
  exec_sql("INSERT INTO placings (class_id, contestant_no, placing, timestamp) "
           "VALUES (1, 1011, 1234, '2000-01-01 00:00:00')");
  EXPECT_EQ(save_card_reasons(fields({kPhone, "1011", "1", "45"})), "false");
  EXPECT_EQ(save_card_placing_batch({fields({kPhone, "1011", "2", "2143"}), fields({kPhone, "1012", "2", "2143"})}),
            (std::vector<std::string>{"false", "false"}));
  EXPECT_EQ(placings(), "1011/1=1234/-");
}

TEST_F(CardCommandsTest, AFullFileStoresNeitherThePlacingNorItsLogRow) {
  // No page may be added, as on a full disk; refused writes then fill the
  // file's last free space with log rows.
  exec_sql("PRAGMA max_page_count = " + query_text("PRAGMA page_count;"));
  std::string garbage = fields({kPhone, "1011", "1", std::string(40, '9')});
  std::string logged, previous;
  for (int i = 0; i < 5000; ++i) {
    EXPECT_EQ(save_card_placing(garbage), "false");
    previous = logged;
    logged = query_text("SELECT COUNT(*) FROM card_log");
    if (logged == previous) break;
  }
  ASSERT_EQ(logged, previous) << "the file never filled";
  EXPECT_EQ(save_card_placing(fields({kPhone, "1011", "1", "2143"})), "false");
  EXPECT_EQ(save_card_placing_batch({fields({kPhone, "1011", "1", "2143"}), fields({kPhone, "1012", "1", "2143"})}),
            (std::vector<std::string>{"false", "false"}));
  EXPECT_EQ(placings(), "");
  EXPECT_EQ(query_text("SELECT COUNT(*) FROM card_log"), logged);
}

// Writes that waited in the queue together are stored in one transaction,
// but each phone hears what it would have heard had they run in turn, and
// the log reads the same.
TEST_F(CardCommandsTest, ABatchAnswersAndLogsAsTheWritesOneAfterAnother) {
  const struct {
    std::string argument, answer, logged;
  } placing_cases[] = {
      {fields({"127.0.0.9", "1011", "1", "2143"}), "true", "127.0.0.9 placing 1011/1=2143 stored"},
      {fields({"127.0.0.2", "1011", "1", "1234"}), "false", "127.0.0.2 placing 1011/1=1234 refused"},
      {fields({"127.0.0.2", "1012", "1", "0"}), "true", "127.0.0.2 placing 1012/1=0 stored"},
      {fields({"127.0.0.2", "1019", "1", "1234"}), "false", "127.0.0.2 placing 1019/1=1234 refused"},
      {fields({"127.0.0.2", "01011", "x", "<i>"}), "false", "127.0.0.2 placing /=<i> refused"},
      {fields({"127.0.0.2", "1011", "2", "1123"}), "false", "127.0.0.2 placing 1011/2=1123 refused"},
      {fields({"127.0.0.2", "1011", "2", "3142"}), "true", "127.0.0.2 placing 1011/2=3142 stored"},
  }, reasons_cases[] = {
      {fields({"127.0.0.2", "1011", "1", "45"}), "true", "127.0.0.2 reasons 1011/1=45 stored"},
      {fields({"127.0.0.9", "1011", "1", "3"}), "false", "127.0.0.9 reasons 1011/1=3 refused"},
      {fields({"127.0.0.9", "1012", "2", "3"}), "false", "127.0.0.9 reasons 1012/2=3 refused"},
      {fields({"127.0.0.9", "1012", "1", "51"}), "false", "127.0.0.9 reasons 1012/1=51 refused"},
      {fields({"127.0.0.9", "1012", "1", "50"}), "true", "127.0.0.9 reasons 1012/1=50 stored"},
  };
  std::string logged;
  auto run = [&](const auto& cases, const auto& batch) {
    std::vector<std::string> arguments, answers;
    for (const auto& c : cases) {
      arguments.push_back(c.argument);
      answers.push_back(c.answer);
      logged += (logged.empty() ? "" : "; ") + c.logged;
    }
    EXPECT_EQ(batch(arguments), answers);
  };
  run(placing_cases, save_card_placing_batch);
  run(reasons_cases, save_card_reasons_batch);
  EXPECT_EQ(card_log(), logged);
  EXPECT_EQ(placings(), "1011/1=2143/45 1012/1=0/50 1011/2=3142/-");
}

// When the engine undoes a batch's whole transaction by itself, the
// writes before it are gone: each must then be run again, not answered
// "true" from the undone transaction.
TEST_F(CardCommandsTest, ABatchTheEngineUndoesRunsEachWriteOnItsOwn) {
  exec_sql("CREATE TRIGGER undo_all BEFORE INSERT ON placings WHEN NEW.contestant_no = 1012 "
           "BEGIN SELECT RAISE(ROLLBACK, 'undone'); END");
  EXPECT_EQ(save_card_placing_batch({fields({kPhone, "1011", "1", "2143"}), fields({kPhone, "1012", "1", "2143"}),
                                fields({kPhone, "1011", "2", "2143"})}),
            (std::vector<std::string>{"true", "false", "true"}));
  EXPECT_EQ(placings(), "1011/1=2143/- 1011/2=2143/-");
  EXPECT_EQ(card_log(), "127.0.0.2 placing 1011/1=2143 stored; 127.0.0.2 placing 1012/1=2143 refused; "
                        "127.0.0.2 placing 1011/2=2143 stored");
}

TEST(CardCommandsWithoutContest, LookUpsAnswerAnErrorAndWritesFalse) {
  EXPECT_EQ(fetch_card_names(fields({"1011", "1"})), "ERROR:A contest is not open.");
  EXPECT_EQ(fetch_card_names_and_placing(fields({"1011", "1"})), "ERROR:A contest is not open.");
  EXPECT_EQ(save_card_placing(fields({kPhone, "1011", "1", "1234"})), "false");
  EXPECT_EQ(save_card_reasons(fields({kPhone, "1011", "1", "40"})), "false");
  EXPECT_EQ(save_card_placing_batch({fields({kPhone, "1011", "1", "1234"})}), std::vector<std::string>{"false"});
  EXPECT_EQ(save_card_reasons_batch({fields({kPhone, "1011", "1", "40"}), ""}),
            (std::vector<std::string>{"false", "false"}));
}

}  // namespace
